// SVG writing (see ChartSvg.h): one element per shape, numbers with two decimals.
#include "charts/ChartSvg.h"

namespace perspix {

namespace {

QByteArray number(double value)
{
    QByteArray text = QByteArray::number(value, 'f', 2);
    while (text.endsWith('0'))
        text.chop(1);
    if (text.endsWith('.'))
        text.chop(1);
    return text == "-0" ? QByteArray("0") : text;
}

QByteArray colour(const QColor& c)
{
    if (!c.isValid() || c.alpha() == 0)
        return "none";
    return c.name(QColor::HexRgb).toLatin1();
}

QByteArray opacity(const char* attribute, const QColor& c)
{
    if (!c.isValid() || c.alpha() == 255 || c.alpha() == 0)
        return {};
    return QByteArray(" ") + attribute + "=\"" + number(c.alphaF()) + "\"";
}

QByteArray escaped(const QString& text)
{
    QByteArray out;
    for (const QChar c : text) {
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else if (c == '"')
            out += "&quot;";
        else if (c.unicode() < 0x20 && c != '\t')
            out += ' '; // not allowed in XML 1.0
        else
            out += QString(c).toUtf8();
    }
    return out;
}

} // namespace

QByteArray ChartSvg::document(const ChartPicture& picture)
{
    QByteArray svg;
    const QByteArray w = number(picture.size.width());
    const QByteArray h = number(picture.size.height());
    svg += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + w + "\" height=\"" + h +
           "\" viewBox=\"0 0 " + w + " " + h + "\" font-family=\"sans-serif\">\n";
    svg += "<rect x=\"0\" y=\"0\" width=\"" + w + "\" height=\"" + h + "\" fill=\"" +
           colour(picture.background) + "\"/>\n";
    for (const ChartPicture::Item& item : picture.items) {
        using Kind = ChartPicture::Kind;
        switch (item.kind) {
        case Kind::Line:
            svg += "<line x1=\"" + number(item.points[0].x()) + "\" y1=\"" +
                   number(item.points[0].y()) + "\" x2=\"" + number(item.points[1].x()) +
                   "\" y2=\"" + number(item.points[1].y()) + "\" stroke=\"" + colour(item.stroke) +
                   "\"" + opacity("stroke-opacity", item.stroke) + " stroke-width=\"" +
                   number(item.width) + "\"/>\n";
            break;
        case Kind::Rect: {
            const QRectF r = QRectF(item.points[0], item.points[1]).normalized();
            svg += "<rect x=\"" + number(r.x()) + "\" y=\"" + number(r.y()) + "\" width=\"" +
                   number(r.width()) + "\" height=\"" + number(r.height()) + "\" fill=\"" +
                   colour(item.fill) + "\"" + opacity("fill-opacity", item.fill);
            if (item.stroke.isValid())
                svg += " stroke=\"" + colour(item.stroke) + "\"";
            svg += "/>\n";
            break;
        }
        case Kind::Polyline: {
            svg += "<polyline fill=\"none\" stroke=\"" + colour(item.stroke) + "\"" +
                   opacity("stroke-opacity", item.stroke) + " stroke-width=\"" +
                   number(item.width) + "\" stroke-linejoin=\"round\" points=\"";
            bool first = true;
            for (const QPointF& p : item.points) {
                if (!first)
                    svg += ' ';
                first = false;
                svg += number(p.x()) + "," + number(p.y());
            }
            svg += "\"/>\n";
            break;
        }
        case Kind::Text: {
            const char* anchor = item.anchor == ChartPicture::Anchor::Start    ? "start"
                                 : item.anchor == ChartPicture::Anchor::Middle ? "middle"
                                                                               : "end";
            const QByteArray x = number(item.points[0].x());
            const QByteArray y = number(item.points[0].y());
            svg += "<text x=\"" + x + "\" y=\"" + y + "\" font-size=\"" + number(item.fontSize) +
                   "\" text-anchor=\"" + anchor + "\" fill=\"" + colour(item.fill) + "\"";
            if (item.bold)
                svg += " font-weight=\"bold\"";
            if (item.vertical)
                svg += " transform=\"rotate(-90 " + x + " " + y + ")\"";
            svg += ">" + escaped(item.text) + "</text>\n";
            break;
        }
        }
    }
    svg += "</svg>\n";
    return svg;
}

} // namespace perspix
