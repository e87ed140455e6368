// A chart picture as an SVG document (the same shapes the window paints).
#pragma once

#include <QByteArray>

#include "charts/ChartPicture.h"

namespace perspix {

class ChartSvg
{
public:
    static QByteArray document(const ChartPicture& picture);
};

} // namespace perspix
