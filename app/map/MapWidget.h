// Perspix's map: a QGraphicsView over a Web-Mercator scene, with the offline basemap,
// slippy-map tiles over it when a tile source answers, pins as scene items, zoom buttons,
// a scale bar and the tiles' attribution. Zooms with the wheel and the buttons, pans by
// dragging.
#pragma once

#include <QGraphicsView>
#include <optional>

#include "app/map/MapProjection.h"
#include "app/map/MapTileLoader.h"
#include "app/WindowInfo.h"

class QLabel;
class QToolButton;

namespace perspix {

class MapPin;

class MapWidget : public QGraphicsView
{
    Q_OBJECT
public:
    explicit MapWidget(QWidget* parent = nullptr);
    ~MapWidget() override;

    void setTileSource(const MapTileSource& source);
    MapTileLoader* tileLoader() const { return m_tiles; }
    // Tiles can be had: the map may zoom in to street level.
    bool tilesAvailable() const;

    MapPin* addPin(const MapLocationRecord& record);
    void removeAllPins();
    QList<MapPin*> pins() const;
    // The selected pin, or none.
    MapPin* selectedPin() const;

    // Zoom so that every pin shows; a single pin gets about a kilometre around it.
    void showAllPins();
    // Centres on a coordinate at the present zoom.
    void centerOnCoordinate(double latitude, double longitude);
    // Centres on a coordinate showing about `metres` across the smaller side of the view.
    void showRegion(double latitude, double longitude, double metres);

    double zoomLevel() const;
    void setZoomLevel(double zoom);
    double minimumZoom() const;
    double maximumZoom() const;
    void zoomIn();
    void zoomOut();
    // The part of the scene the view shows.
    QRectF visibleSceneRect() const;

signals:
    // The scene's pin selection changed (by the user or the program).
    void pinSelectionChanged();

protected:
    void drawBackground(QPainter* painter, const QRectF& rect) override;
    void drawForeground(QPainter* painter, const QRectF& rect) override;
    void wheelEvent(QWheelEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void drawTiles(QPainter* painter, const QRectF& rect);
    void drawScaleBar(QPainter* painter);
    void placeOverlays();
    void tilesAvailabilityChanged();
    void setZoomAround(double zoom, const QPointF& scenePoint, const QPoint& viewPoint);
    void updateAttribution();
    // Fits the view to the framing asked for last (all pins, or a region).
    void applyFraming();

    // What the view was last asked to show. The view applies it again when its size changes
    // (a window is laid out, or placed by the window manager, after it was asked) until the
    // user or the program moves the map.
    enum class Framing { None, AllPins, Region };
    Framing m_framing = Framing::None;
    double m_frameLatitude = 0;
    double m_frameLongitude = 0;
    double m_frameMetres = 0;

    QGraphicsScene* m_scene;
    MapTileLoader* m_tiles;
    QWidget* m_zoomBox;
    QToolButton* m_zoomInButton;
    QToolButton* m_zoomOutButton;
    QLabel* m_attribution;
};

} // namespace perspix
