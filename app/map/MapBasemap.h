// The map's offline basemap: land, the borders between countries and country names from
// Natural Earth (1:50m), shipped with the program, drawn under the tiles so that the map
// shows where things are with no network at all. Coordinates are projected once, into the
// map's Web-Mercator scene.
#pragma once

#include <QByteArray>
#include <QColor>
#include <QList>
#include <QPainterPath>
#include <QPointF>
#include <QString>
#include <optional>

class QPainter;

namespace perspix {

class MapBasemap
{
public:
    struct Label
    {
        QPointF position; // scene coordinates
        double area = 0;  // square degrees: larger countries are named first
        QString name;
    };

    // Reads the format written by scripts/make-basemap; nothing for data that is not one
    // (wrong signature, counts that run past the end).
    static std::optional<MapBasemap> fromData(const QByteArray& data);
    // The basemap shipped in the resources, read once; empty paths when it is missing.
    static const MapBasemap& shipped();

    const QPainterPath& land() const { return m_land; }
    const QPainterPath& borders() const { return m_borders; }
    const QList<Label>& labels() const { return m_labels; }
    int ringCount() const { return m_rings; }
    bool isEmpty() const { return m_rings == 0; }

    // Sea, land, borders and the names that fit, for the scene rectangle `exposed` at the
    // painter's current transform.
    void draw(QPainter* painter, const QRectF& exposed) const;

    static QColor seaColor();
    static QColor landColor();

private:
    QPainterPath m_land;
    QPainterPath m_borders;
    QList<Label> m_labels;
    int m_rings = 0;
};

} // namespace perspix
