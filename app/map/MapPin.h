// A pin on the map: one located file, drawn the same size at every zoom with its tip on the
// location; a selected pin also shows the file's name.
#pragma once

#include <QGraphicsItem>

#include "app/WindowInfo.h"

namespace perspix {

class MapPin : public QGraphicsItem
{
public:
    explicit MapPin(const MapLocationRecord& record);

    const QString& title() const { return m_title; }
    const QString& filename() const { return m_record.filename; }
    const MapLocationRecord& mapLocationInfo() const { return m_record; }
    double latitude() const { return m_record.latitude; }
    double longitude() const { return m_record.longitude; }

    QRectF boundingRect() const override;
    QPainterPath shape() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

protected:
    QVariant itemChange(GraphicsItemChange change, const QVariant& value) override;

private:
    QRectF labelRect() const;

    MapLocationRecord m_record;
    QString m_title;
};

} // namespace perspix
