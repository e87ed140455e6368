// A pin on the map (see MapPin.h).
#include "app/map/MapPin.h"

#include <QApplication>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QPainter>

#include "app/map/MapProjection.h"

namespace perspix {

namespace {
constexpr double kHeadRadius = 9;
constexpr double kHeight = 30;
constexpr double kLabelGap = 4;
constexpr double kLabelMaxWidth = 280;

QFont labelFont()
{
    QFont font = QApplication::font();
    font.setBold(true);
    return font;
}
} // namespace

MapPin::MapPin(const MapLocationRecord& record)
    : m_record(record), m_title(QFileInfo(record.filename).fileName())
{
    setFlag(ItemIsSelectable);
    setFlag(ItemIgnoresTransformations);
    setPos(mercator::sceneFromCoordinate(record.latitude, record.longitude));
    setToolTip(m_title);
    setZValue(1);
    setCursor(Qt::PointingHandCursor);
}

QRectF MapPin::labelRect() const
{
    const QFontMetricsF metrics(labelFont());
    const double width = std::min(kLabelMaxWidth, metrics.horizontalAdvance(m_title)) + 12;
    const double height = metrics.height() + 6;
    return QRectF(-width / 2, -kHeight - kLabelGap - height, width, height);
}

QRectF MapPin::boundingRect() const
{
    const QRectF pin(-kHeadRadius - 2, -kHeight - 2, 2 * kHeadRadius + 4, kHeight + 4);
    return isSelected() ? pin.united(labelRect().adjusted(-2, -2, 2, 2)) : pin;
}

QPainterPath MapPin::shape() const
{
    QPainterPath path;
    path.addEllipse(QPointF(0, -kHeight + kHeadRadius), kHeadRadius + 2, kHeadRadius + 2);
    path.addRect(QRectF(-3, -kHeight + kHeadRadius, 6, kHeight - kHeadRadius));
    return path;
}

void MapPin::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*)
{
    painter->setRenderHint(QPainter::Antialiasing, true);
    const bool selected = isSelected();
    const QColor fill = selected ? QColor(30, 110, 220) : QColor(220, 50, 47);

    // A drop shape: round head, point on the location.
    const QPointF head(0, -kHeight + kHeadRadius);
    QPainterPath drop;
    drop.moveTo(0, 0);
    drop.cubicTo(QPointF(-2, -6), QPointF(-kHeadRadius, -kHeight * 0.45),
                 QPointF(-kHeadRadius, head.y()));
    drop.arcTo(QRectF(-kHeadRadius, -kHeight, 2 * kHeadRadius, 2 * kHeadRadius), 180, -180);
    drop.cubicTo(QPointF(kHeadRadius, -kHeight * 0.45), QPointF(2, -6), QPointF(0, 0));
    painter->setPen(QPen(fill.darker(150), 1.2));
    painter->setBrush(fill);
    painter->drawPath(drop);
    painter->setPen(Qt::NoPen);
    painter->setBrush(Qt::white);
    painter->drawEllipse(head, 3.5, 3.5);

    if (!selected)
        return;
    const QRectF label = labelRect();
    painter->setPen(QPen(QColor(0, 0, 0, 90), 1));
    painter->setBrush(QColor(255, 255, 255, 240));
    painter->drawRoundedRect(label, 5, 5);
    painter->setFont(labelFont());
    painter->setPen(QColor(30, 30, 30));
    const QFontMetricsF metrics(painter->font());
    painter->drawText(label.adjusted(6, 0, -6, 0), Qt::AlignCenter,
                      metrics.elidedText(m_title, Qt::ElideMiddle, kLabelMaxWidth));
}

QVariant MapPin::itemChange(GraphicsItemChange change, const QVariant& value)
{
    if (change == ItemSelectedChange) {
        prepareGeometryChange();
        setZValue(value.toBool() ? 2 : 1);
    }
    return QGraphicsItem::itemChange(change, value);
}

} // namespace perspix
