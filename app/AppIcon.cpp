// The program's icon (see AppIcon.h): a picture frame with a magnifying glass.
#include "app/AppIcon.h"

#include <QPainter>
#include <QPainterPath>

namespace perspix {

namespace {
QPixmap drawIcon(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x2f, 0x6f, 0xb3));
    p.drawRoundedRect(QRectF(4, 8, 56, 44), 6, 6);
    p.setBrush(QColor(0xea, 0xf2, 0xfb));
    p.drawRoundedRect(QRectF(10, 14, 44, 32), 3, 3);
    QPainterPath hills;
    hills.moveTo(16, 40);
    hills.lineTo(28, 26);
    hills.lineTo(36, 34);
    hills.lineTo(42, 28);
    hills.lineTo(50, 40);
    hills.closeSubpath();
    p.setBrush(QColor(0x2f, 0x6f, 0xb3, 140));
    p.drawPath(hills);
    QPen lens(QColor(0xf0, 0xa0, 0x30), 5);
    lens.setCapStyle(Qt::RoundCap);
    p.setPen(lens);
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(44, 44), 12, 12);
    lens.setWidth(6);
    p.setPen(lens);
    p.drawLine(QPointF(52.5, 52.5), QPointF(60, 60));
    return pixmap;
}
} // namespace

QIcon appIcon()
{
    static const QIcon icon = [] {
        QIcon result;
        for (int size : {16, 24, 32, 48, 64, 128, 256})
            result.addPixmap(drawIcon(size));
        return result;
    }();
    return icon;
}

} // namespace perspix
