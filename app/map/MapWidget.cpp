// The map widget (see MapWidget.h).
#include "app/map/MapWidget.h"

#include <QGraphicsScene>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QScrollBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "app/map/MapBasemap.h"
#include "app/map/MapPin.h"

namespace perspix {

namespace {
// Without tiles the basemap's 1:50m outlines carry no detail beyond this level (a view of
// about a hundred kilometres).
constexpr double kOfflineMaxZoom = 10;
// Beyond this level the outlines are not drawn at all: tiles show the land there.
constexpr double kBasemapMaxZoom = 11;
// Without tiles a view of a kilometre is plain land: a single location is shown with the
// coasts and borders around it instead (a view of some hundreds of kilometres).
constexpr double kOfflineRegionZoom = 6;
constexpr double kWheelStep = 0.5;
constexpr int kFitMargin = 56;
constexpr double kSinglePinSpan = 1000; // metres

QToolButton* zoomButton(const QString& text, const QString& tip)
{
    auto* button = new QToolButton;
    button->setText(text);
    button->setToolTip(tip);
    button->setFixedSize(28, 28);
    QFont font = button->font();
    font.setPointSize(14);
    font.setBold(true);
    button->setFont(font);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

// A friendly length for the scale bar, at most `maxMetres`.
double niceLength(double maxMetres)
{
    const double power = std::pow(10.0, std::floor(std::log10(maxMetres)));
    for (double step : {5.0, 2.0, 1.0})
        if (step * power <= maxMetres)
            return step * power;
    return power;
}
} // namespace

MapWidget::MapWidget(QWidget* parent)
    : QGraphicsView(parent), m_scene(new QGraphicsScene(this)), m_tiles(new MapTileLoader(this))
{
    m_scene->setSceneRect(0, 0, mercator::kWorldSize, mercator::kWorldSize);
    m_scene->setItemIndexMethod(QGraphicsScene::NoIndex);
    setScene(m_scene);
    setDragMode(QGraphicsView::ScrollHandDrag);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setTransformationAnchor(QGraphicsView::NoAnchor);
    setResizeAnchor(QGraphicsView::AnchorViewCenter);
    setViewportUpdateMode(QGraphicsView::FullViewportUpdate);
    setRenderHint(QPainter::Antialiasing, true);
    setRenderHint(QPainter::SmoothPixmapTransform, true);
    setFrameShape(QFrame::NoFrame);
    setMinimumSize(240, 180);

    m_zoomBox = new QWidget(this);
    m_zoomBox->setObjectName(QStringLiteral("mapZoomBox"));
    m_zoomBox->setAutoFillBackground(true);
    QPalette boxPalette = m_zoomBox->palette();
    boxPalette.setColor(QPalette::Window, QColor(255, 255, 255, 230));
    boxPalette.setColor(QPalette::ButtonText, QColor(40, 40, 40));
    m_zoomBox->setPalette(boxPalette);
    auto* zoomLayout = new QVBoxLayout(m_zoomBox);
    zoomLayout->setContentsMargins(1, 1, 1, 1);
    zoomLayout->setSpacing(0);
    m_zoomInButton = zoomButton(QStringLiteral("+"), tr("Zoom In"));
    m_zoomOutButton = zoomButton(QStringLiteral("−"), tr("Zoom Out"));
    zoomLayout->addWidget(m_zoomInButton);
    zoomLayout->addWidget(m_zoomOutButton);
    connect(m_zoomInButton, &QToolButton::clicked, this, &MapWidget::zoomIn);
    connect(m_zoomOutButton, &QToolButton::clicked, this, &MapWidget::zoomOut);

    m_attribution = new QLabel(this);
    m_attribution->setObjectName(QStringLiteral("mapAttribution"));
    m_attribution->setOpenExternalLinks(true);
    m_attribution->setTextFormat(Qt::RichText);
    m_attribution->setAutoFillBackground(true);
    m_attribution->setContentsMargins(5, 1, 5, 1);
    QPalette attributionPalette = m_attribution->palette();
    attributionPalette.setColor(QPalette::Window, QColor(255, 255, 255, 200));
    attributionPalette.setColor(QPalette::WindowText, QColor(50, 50, 50));
    attributionPalette.setColor(QPalette::Link, QColor(0, 90, 170));
    m_attribution->setPalette(attributionPalette);
    QFont small = m_attribution->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    m_attribution->setFont(small);

    connect(m_scene, &QGraphicsScene::selectionChanged, this, &MapWidget::pinSelectionChanged);
    connect(m_tiles, &MapTileLoader::tileArrived, viewport(), qOverload<>(&QWidget::update));
    connect(m_tiles, &MapTileLoader::availabilityChanged, this,
            &MapWidget::tilesAvailabilityChanged);

    updateAttribution();
    setZoomLevel(2);
    centerOn(mercator::sceneFromCoordinate(20, 0));
}

MapWidget::~MapWidget()
{
    disconnect(m_scene, nullptr, this, nullptr);
}

void MapWidget::setTileSource(const MapTileSource& source)
{
    m_tiles->setSource(source);
    updateAttribution();
    viewport()->update();
}

bool MapWidget::tilesAvailable() const
{
    return m_tiles->isAvailable();
}

void MapWidget::updateAttribution()
{
    const QString text = tilesAvailable() && !m_tiles->source().attribution.isEmpty()
                             ? m_tiles->source().attribution
                             : tr("Offline map: outlines from "
                                  "<a href=\"https://www.naturalearthdata.com/\">Natural "
                                  "Earth</a>");
    m_attribution->setText(text);
    m_attribution->adjustSize();
    placeOverlays();
}

void MapWidget::tilesAvailabilityChanged()
{
    updateAttribution();
    if (m_framing != Framing::None)
        applyFraming();
    else if (zoomLevel() > maximumZoom())
        setZoomLevel(maximumZoom());
    viewport()->update();
}

// ---- pins -------------------------------------------------------------------------------

MapPin* MapWidget::addPin(const MapLocationRecord& record)
{
    auto* pin = new MapPin(record);
    m_scene->addItem(pin);
    return pin;
}

void MapWidget::removeAllPins()
{
    const QList<MapPin*> all = pins();
    for (MapPin* pin : all) {
        m_scene->removeItem(pin);
        delete pin;
    }
}

QList<MapPin*> MapWidget::pins() const
{
    QList<MapPin*> out;
    for (QGraphicsItem* item : m_scene->items(Qt::AscendingOrder))
        if (auto* pin = dynamic_cast<MapPin*>(item))
            out.append(pin);
    return out;
}

MapPin* MapWidget::selectedPin() const
{
    for (QGraphicsItem* item : m_scene->selectedItems())
        if (auto* pin = dynamic_cast<MapPin*>(item))
            return pin;
    return nullptr;
}

// ---- zoom and position --------------------------------------------------------------------

double MapWidget::zoomLevel() const
{
    return std::log2(transform().m11());
}

double MapWidget::minimumZoom() const
{
    // The world always covers the view: no empty margins around it.
    const double side = std::max(viewport()->width(), viewport()->height());
    return std::max(0.0, std::log2(side / mercator::kWorldSize));
}

double MapWidget::maximumZoom() const
{
    return tilesAvailable() ? double(m_tiles->source().maxZoom) : kOfflineMaxZoom;
}

void MapWidget::setZoomLevel(double zoom)
{
    const QPointF centre = mapToScene(viewport()->rect().center());
    setZoomAround(zoom, centre, viewport()->rect().center());
}

void MapWidget::setZoomAround(double zoom, const QPointF& scenePoint, const QPoint& viewPoint)
{
    zoom = std::clamp(zoom, minimumZoom(), std::max(minimumZoom(), maximumZoom()));
    const double scale = std::pow(2.0, zoom);
    setTransform(QTransform::fromScale(scale, scale));
    const QPointF offset = QPointF(viewPoint - viewport()->rect().center()) / scale;
    centerOn(scenePoint - offset);
    m_zoomInButton->setEnabled(zoom < maximumZoom() - 1e-6);
    m_zoomOutButton->setEnabled(zoom > minimumZoom() + 1e-6);
    viewport()->update();
}

void MapWidget::zoomIn()
{
    m_framing = Framing::None;
    setZoomLevel(std::floor(zoomLevel() + 1e-6) + 1);
}

void MapWidget::zoomOut()
{
    m_framing = Framing::None;
    setZoomLevel(std::ceil(zoomLevel() - 1e-6) - 1);
}

QRectF MapWidget::visibleSceneRect() const
{
    return mapToScene(viewport()->rect()).boundingRect();
}

void MapWidget::centerOnCoordinate(double latitude, double longitude)
{
    m_framing = Framing::None;
    centerOn(mercator::sceneFromCoordinate(latitude, longitude));
    viewport()->update();
}

void MapWidget::showRegion(double latitude, double longitude, double metres)
{
    m_framing = Framing::Region;
    m_frameLatitude = latitude;
    m_frameLongitude = longitude;
    m_frameMetres = metres;
    applyFraming();
}

void MapWidget::showAllPins()
{
    m_framing = Framing::AllPins;
    applyFraming();
}

void MapWidget::applyFraming()
{
    if (m_framing == Framing::Region) {
        const double units = m_frameMetres / mercator::metresPerSceneUnit(m_frameLatitude);
        const double side = std::max(1, std::min(viewport()->width(), viewport()->height()));
        const QPointF centre = mercator::sceneFromCoordinate(m_frameLatitude, m_frameLongitude);
        double zoom = std::log2(side / units);
        if (!tilesAvailable())
            zoom = std::min(zoom, kOfflineRegionZoom);
        setZoomAround(zoom, centre, viewport()->rect().center());
        return;
    }
    if (m_framing != Framing::AllPins)
        return;
    const QList<MapPin*> all = pins();
    if (all.isEmpty())
        return;
    // Bounds from the points themselves: QRectF::united() skips empty rectangles, so a
    // union of zero-sized ones stays empty whatever the pins' spread.
    double left = all.first()->pos().x();
    double right = left;
    double top = all.first()->pos().y();
    double bottom = top;
    for (MapPin* pin : all) {
        left = std::min(left, pin->pos().x());
        right = std::max(right, pin->pos().x());
        top = std::min(top, pin->pos().y());
        bottom = std::max(bottom, pin->pos().y());
    }
    const QRectF bounds(QPointF(left, top), QPointF(right, bottom));
    if (bounds.width() < 1e-9 && bounds.height() < 1e-9) {
        showRegion(all.first()->latitude(), all.first()->longitude(), kSinglePinSpan);
        m_framing = Framing::AllPins;
        return;
    }
    // Room for the pins' heads above their points and for the overlays at the edges.
    const double width = std::max(1, viewport()->width() - 2 * kFitMargin);
    const double height = std::max(1, viewport()->height() - 2 * kFitMargin - 30);
    const double scale =
        std::min(width / std::max(bounds.width(), 1e-9), height / std::max(bounds.height(), 1e-9));
    const double zoom = std::log2(scale);
    setZoomAround(zoom, bounds.center(), viewport()->rect().center() + QPoint(0, 15));
}

// ---- drawing ----------------------------------------------------------------------------

void MapWidget::drawBackground(QPainter* painter, const QRectF& rect)
{
    if (zoomLevel() <= kBasemapMaxZoom)
        MapBasemap::shipped().draw(painter, rect);
    else
        painter->fillRect(rect, MapBasemap::landColor());
    if (tilesAvailable())
        drawTiles(painter, rect);
}

void MapWidget::drawTiles(QPainter* painter, const QRectF& rect)
{
    const int maxZoom = std::max(0, m_tiles->source().maxZoom);
    const int z = std::clamp(int(std::lround(zoomLevel())), 0, maxZoom);
    const int n = 1 << z;
    const double size = mercator::kWorldSize / n;
    const int x0 = std::clamp(int(std::floor(rect.left() / size)), 0, n - 1);
    const int x1 = std::clamp(int(std::floor(rect.right() / size)), 0, n - 1);
    const int y0 = std::clamp(int(std::floor(rect.top() / size)), 0, n - 1);
    const int y1 = std::clamp(int(std::floor(rect.bottom() / size)), 0, n - 1);
    m_tiles->beginFrame();
    painter->save();
    painter->setRenderHint(QPainter::SmoothPixmapTransform, true);
    for (int layer = 0; layer < m_tiles->source().urlTemplates.size(); ++layer) {
        for (int y = y0; y <= y1; ++y) {
            for (int x = x0; x <= x1; ++x) {
                const QRectF target(x * size, y * size, size, size);
                const QPixmap pixmap = m_tiles->tile({layer, z, x, y});
                if (!pixmap.isNull()) {
                    painter->drawPixmap(target, pixmap, QRectF(pixmap.rect()));
                    continue;
                }
                // While a tile loads, a coarser one already in memory stands in.
                for (int up = 1; up <= 4 && up <= z; ++up) {
                    const QPixmap parent = m_tiles->cachedTile({layer, z - up, x >> up, y >> up});
                    if (parent.isNull())
                        continue;
                    const double part = parent.width() / double(1 << up);
                    const QRectF source((x & ((1 << up) - 1)) * part, (y & ((1 << up) - 1)) * part,
                                        part, part);
                    painter->drawPixmap(target, parent, source);
                    break;
                }
            }
        }
    }
    painter->restore();
}

void MapWidget::drawForeground(QPainter* painter, const QRectF&)
{
    drawScaleBar(painter);
}

void MapWidget::drawScaleBar(QPainter* painter)
{
    const QPointF centre = mapToScene(viewport()->rect().center());
    const double latitude = mercator::coordinateFromScene(centre).latitude;
    const double metresPerPixel = mercator::metresPerSceneUnit(latitude) / transform().m11();
    if (!(metresPerPixel > 0))
        return;
    const double metres = niceLength(110 * metresPerPixel);
    const double pixels = metres / metresPerPixel;
    const QString text = metres >= 1000 ? tr("%1 km").arg(metres / 1000) : tr("%1 m").arg(metres);
    painter->save();
    painter->resetTransform();
    painter->setRenderHint(QPainter::Antialiasing, false);
    const QFontMetrics metrics(painter->font());
    const QPointF origin(12, viewport()->height() - 14);
    const QRectF box(origin.x() - 4, origin.y() - metrics.height() - 6,
                     std::max(pixels, double(metrics.horizontalAdvance(text))) + 10,
                     metrics.height() + 10);
    painter->fillRect(box, QColor(255, 255, 255, 190));
    painter->setPen(QPen(QColor(50, 50, 50), 2));
    painter->drawLine(origin, origin + QPointF(pixels, 0));
    painter->drawLine(origin, origin - QPointF(0, 5));
    painter->drawLine(origin + QPointF(pixels, 0), origin + QPointF(pixels, -5));
    painter->setPen(QColor(40, 40, 40));
    painter->drawText(QPointF(origin.x() + 2, origin.y() - 5), text);
    painter->restore();
}

// ---- events -----------------------------------------------------------------------------

void MapWidget::wheelEvent(QWheelEvent* event)
{
    const double steps = event->angleDelta().y() / 120.0;
    if (steps == 0)
        return;
    m_framing = Framing::None;
    const QPoint at = event->position().toPoint();
    setZoomAround(zoomLevel() + steps * kWheelStep, mapToScene(at), at);
    event->accept();
}

void MapWidget::mousePressEvent(QMouseEvent* event)
{
    // A drag pans the map: the user chose what to look at.
    m_framing = Framing::None;
    QGraphicsView::mousePressEvent(event);
}

void MapWidget::resizeEvent(QResizeEvent* event)
{
    const QPointF centre = mapToScene(viewport()->rect().center());
    QGraphicsView::resizeEvent(event);
    if (m_framing != Framing::None)
        applyFraming();
    else if (zoomLevel() < minimumZoom())
        setZoomAround(minimumZoom(), centre, viewport()->rect().center());
    placeOverlays();
}

void MapWidget::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Plus || event->key() == Qt::Key_Equal) {
        zoomIn();
        return;
    }
    if (event->key() == Qt::Key_Minus) {
        zoomOut();
        return;
    }
    QGraphicsView::keyPressEvent(event);
}

void MapWidget::placeOverlays()
{
    m_zoomBox->adjustSize();
    m_zoomBox->move(width() - m_zoomBox->width() - 10, 10);
    m_attribution->adjustSize();
    m_attribution->move(width() - m_attribution->width(), height() - m_attribution->height());
}

} // namespace perspix
