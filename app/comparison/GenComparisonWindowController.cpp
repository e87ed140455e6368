// The general comparison window (see GenComparisonWindowController.h).
#include "app/comparison/GenComparisonWindowController.h"

namespace perspix {

GenComparisonWindowController::GenComparisonWindowController(QWidget* parent)
    : ComparisonWindowController(ComparisonController::Kind::GeneralWindow,
                                 tr("General Comparison"), parent)
{
}

} // namespace perspix
