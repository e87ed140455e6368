// Paints a chart picture with QPainter: the window's view, PNG export and screenshots.
#pragma once

#include <QImage>

#include "charts/ChartPicture.h"

class QPainter;

namespace perspix {

class ChartPainter
{
public:
    static void paint(QPainter& painter, const ChartPicture& picture);
    // The picture as an image at the given pixel ratio (2: twice as sharp).
    static QImage image(const ChartPicture& picture, qreal ratio = 1);
};

} // namespace perspix
