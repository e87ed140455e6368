// Painting of chart pictures (see ChartPainter.h). Lines of one colour and width go to the
// painter in one call, and so do filled rectangles of one colour: a plot of a long film has
// a bar for each pixel column.
#include "app/charts/ChartPainter.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <vector>

namespace perspix {

void ChartPainter::paint(QPainter& painter, const ChartPicture& picture)
{
    using Kind = ChartPicture::Kind;
    painter.save();
    painter.fillRect(QRectF(QPointF(0, 0), picture.size), picture.background);
    std::vector<QLineF> lines;
    QColor lineColour;
    double lineWidth = -1;
    std::vector<QRectF> rects;
    QColor rectColour;
    auto flushRects = [&] {
        if (rects.empty())
            return;
        painter.setPen(Qt::NoPen);
        painter.setBrush(rectColour);
        painter.drawRects(rects.data(), int(rects.size()));
        rects.clear();
    };
    auto flushLines = [&] {
        flushRects();
        if (lines.empty())
            return;
        QPen pen(lineColour, lineWidth, Qt::SolidLine, Qt::FlatCap);
        pen.setCosmetic(true);
        painter.setPen(pen);
        painter.drawLines(lines.data(), int(lines.size()));
        lines.clear();
    };
    for (const ChartPicture::Item& item : picture.items) {
        if (item.kind == Kind::Line) {
            if (item.stroke != lineColour || item.width != lineWidth) {
                flushLines();
                lineColour = item.stroke;
                lineWidth = item.width;
            }
            flushRects();
            lines.emplace_back(item.points[0], item.points[1]);
            continue;
        }
        if (item.kind == Kind::Rect && !item.stroke.isValid() && item.fill.isValid()) {
            flushLines();
            if (item.fill != rectColour) {
                flushRects();
                rectColour = item.fill;
            }
            rects.push_back(QRectF(item.points[0], item.points[1]).normalized());
            continue;
        }
        flushLines();
        switch (item.kind) {
        case Kind::Rect:
            painter.setPen(item.stroke.isValid() ? QPen(item.stroke) : QPen(Qt::NoPen));
            painter.setBrush(item.fill.isValid() ? QBrush(item.fill) : QBrush(Qt::NoBrush));
            painter.drawRect(QRectF(item.points[0], item.points[1]).normalized());
            break;
        case Kind::Polyline:
            painter.setPen(
                QPen(item.stroke, item.width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            painter.setBrush(Qt::NoBrush);
            painter.drawPolyline(item.points.data(), int(item.points.size()));
            break;
        case Kind::Text: {
            QFont font = painter.font();
            font.setPixelSize(int(item.fontSize + 0.5));
            font.setBold(item.bold);
            painter.setFont(font);
            painter.setPen(item.fill.isValid() ? item.fill : QColor(Qt::black));
            const double width = QFontMetricsF(font).horizontalAdvance(item.text);
            const double shift = item.anchor == ChartPicture::Anchor::Start    ? 0
                                 : item.anchor == ChartPicture::Anchor::Middle ? width / 2
                                                                               : width;
            painter.save();
            painter.translate(item.points[0]);
            if (item.vertical)
                painter.rotate(-90);
            painter.drawText(QPointF(-shift, 0), item.text);
            painter.restore();
            break;
        }
        case Kind::Line:
            break;
        }
    }
    flushLines();
    flushRects();
    painter.restore();
}

QImage ChartPainter::image(const ChartPicture& picture, qreal ratio)
{
    QImage image((picture.size * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(picture.background);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    paint(painter, picture);
    return image;
}

} // namespace perspix
