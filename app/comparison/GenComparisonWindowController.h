// The general comparison window: the general view's stream lines of every file side by side.
#pragma once

#include "app/comparison/ComparisonWindowController.h"

namespace perspix {

class GenComparisonWindowController : public ComparisonWindowController
{
    Q_OBJECT
public:
    explicit GenComparisonWindowController(QWidget* parent = nullptr);
};

} // namespace perspix
