// The extended comparison window: every parameter of every stream, with the marks of values
// that differ from the most common one and their count for the selected row.
#pragma once

#include "app/comparison/ComparisonWindowController.h"

namespace perspix {

class ExtComparisonWindowController : public ComparisonWindowController
{
    Q_OBJECT
public:
    explicit ExtComparisonWindowController(QWidget* parent = nullptr);

    // The selected comparison row, or none; the statistics window reads it.
    std::optional<ComparisonRow> extComparisonSelectionInfo() const
    {
        return controller()->extComparisonSelectionInfo();
    }
};

} // namespace perspix
