// A chart or plot as a list of simple shapes in pixels: what the chart layouts make and
// what the window's painter and the SVG writer draw, so that a chart on screen, in a PNG and
// in an SVG file is one and the same. No drawing here.
#pragma once

#include <QColor>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <vector>

namespace perspix {

struct ChartPicture
{
    enum class Kind { Line, Rect, Polyline, Text };
    enum class Anchor { Start, Middle, End };
    struct Item
    {
        Kind kind = Kind::Line;
        std::vector<QPointF> points; // Line: 2; Rect: top left and bottom right; Polyline: any
        QColor stroke;               // invalid: none
        QColor fill;                 // invalid: none
        double width = 1;
        QString text;
        double fontSize = 11;
        Anchor anchor = Anchor::Start; // of the text, horizontally at its point
        bool bold = false;
        bool vertical = false; // text turned a quarter to the left
    };

    QSizeF size;
    QColor background = Qt::white;
    std::vector<Item> items;

    void line(QPointF a, QPointF b, const QColor& color, double width = 1);
    void rect(const QRectF& r, const QColor& fill, const QColor& stroke = QColor());
    void polyline(std::vector<QPointF> points, const QColor& color, double width = 1);
    // The text's baseline starts, centres or ends at the point.
    void text(QPointF at, const QString& text, double fontSize = 11, Anchor anchor = Anchor::Start,
              const QColor& color = Qt::black, bool bold = false, bool vertical = false);
};

// Round steps for an axis: about `count` ticks from low to high at 1, 2 or 5 times a power of
// ten; the first tick is the first multiple of the step at or above low.
std::vector<double> niceTicks(double low, double high, int count, double* step = nullptr);
// A number for an axis or a readout, with k, M, G for thousands, millions, billions.
QString shortNumber(double value);

} // namespace perspix
