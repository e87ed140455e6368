// Shapes of a chart (see ChartPicture.h).
#include "charts/ChartPicture.h"

#include <cmath>

namespace perspix {

void ChartPicture::line(QPointF a, QPointF b, const QColor& color, double width)
{
    Item item;
    item.kind = Kind::Line;
    item.points = {a, b};
    item.stroke = color;
    item.width = width;
    items.push_back(std::move(item));
}

void ChartPicture::rect(const QRectF& r, const QColor& fill, const QColor& stroke)
{
    Item item;
    item.kind = Kind::Rect;
    item.points = {r.topLeft(), r.bottomRight()};
    item.fill = fill;
    item.stroke = stroke;
    items.push_back(std::move(item));
}

void ChartPicture::polyline(std::vector<QPointF> points, const QColor& color, double width)
{
    if (points.size() < 2)
        return;
    Item item;
    item.kind = Kind::Polyline;
    item.points = std::move(points);
    item.stroke = color;
    item.width = width;
    items.push_back(std::move(item));
}

void ChartPicture::text(QPointF at, const QString& text, double fontSize, Anchor anchor,
                        const QColor& color, bool bold, bool vertical)
{
    Item item;
    item.kind = Kind::Text;
    item.points = {at};
    item.text = text;
    item.fontSize = fontSize;
    item.anchor = anchor;
    item.fill = color;
    item.bold = bold;
    item.vertical = vertical;
    items.push_back(std::move(item));
}

std::vector<double> niceTicks(double low, double high, int count, double* stepOut)
{
    std::vector<double> ticks;
    if (!(high > low) || !std::isfinite(low) || !std::isfinite(high) || count < 1)
        return ticks;
    const double raw = (high - low) / count;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    double step = power;
    for (const double factor : {1.0, 2.0, 5.0, 10.0}) {
        step = factor * power;
        if (step >= raw)
            break;
    }
    if (stepOut)
        *stepOut = step;
    for (double t = std::ceil(low / step - 1e-9) * step; t <= high + step * 1e-9; t += step)
        ticks.push_back(std::fabs(t) < step * 1e-9 ? 0.0 : t);
    return ticks;
}

QString shortNumber(double value)
{
    const double magnitude = std::fabs(value);
    const char* suffix = "";
    double shown = value;
    if (magnitude >= 1e9) {
        shown = value / 1e9;
        suffix = "G";
    } else if (magnitude >= 1e6) {
        shown = value / 1e6;
        suffix = "M";
    } else if (magnitude >= 1e3) {
        shown = value / 1e3;
        suffix = "k";
    }
    // Up to three significant digits, without trailing zeros.
    QString text = QString::number(shown, 'g', std::fabs(shown) >= 100 ? 4 : 3);
    if (text.contains('e'))
        text = QString::number(shown, 'f', 0);
    return text + QLatin1String(suffix);
}

} // namespace perspix
