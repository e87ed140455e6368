// The one font rule of parameter names and values: the extended outline and the comparison
// tables take their size from the "Parameter font size" preference the same way.
#pragma once

#include <QFont>

namespace perspix {

// The stored sizes count the points of a 72-dpi screen; ours count 96. Sizes below 5
// leave the font as it is.
inline QFont parameterFont(QFont base, qint64 storedSize)
{
    if (storedSize > 4)
        base.setPointSizeF(double(storedSize) * 0.8);
    return base;
}

} // namespace perspix
