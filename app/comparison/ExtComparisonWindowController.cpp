// The extended comparison window (see ExtComparisonWindowController.h).
#include "app/comparison/ExtComparisonWindowController.h"

namespace perspix {

ExtComparisonWindowController::ExtComparisonWindowController(QWidget* parent)
    : ComparisonWindowController(ComparisonController::Kind::ExtendedWindow,
                                 tr("Extended Comparison"), parent)
{
}

} // namespace perspix
