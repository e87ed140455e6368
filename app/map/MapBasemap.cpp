// The offline basemap (see MapBasemap.h).
#include "app/map/MapBasemap.h"

#include <QFile>
#include <QFontMetricsF>
#include <QPainter>
#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "app/map/MapProjection.h"
#include "model/Log.h"

// The resources live in a static library: make sure they are registered before reading.
static void initResources()
{
    Q_INIT_RESOURCE(perspix);
}

namespace perspix {

namespace {
constexpr char kMagic[] = "PXBMAP01";
constexpr qsizetype kMagicSize = 8;

// Reads little-endian values and never past the end.
class Reader
{
public:
    explicit Reader(const QByteArray& data) : m_data(data) {}
    bool ok() const { return m_ok; }
    bool has(qsizetype bytes) const { return m_ok && m_data.size() - m_pos >= bytes; }

    quint32 u32() { return read<quint32>(); }
    quint16 u16() { return read<quint16>(); }
    float f32()
    {
        const quint32 bits = u32();
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    QByteArray bytes(qsizetype n)
    {
        if (!has(n)) {
            m_ok = false;
            return {};
        }
        const QByteArray out = m_data.mid(m_pos, n);
        m_pos += n;
        return out;
    }

private:
    template <typename T> T read()
    {
        if (!has(sizeof(T))) {
            m_ok = false;
            return 0;
        }
        const T value = qFromLittleEndian<T>(m_data.constData() + m_pos);
        m_pos += sizeof(T);
        return value;
    }

    const QByteArray& m_data;
    qsizetype m_pos = kMagicSize;
    bool m_ok = true;
};

void addLine(QPainterPath& path, const QList<QPointF>& lonLat, double shift, bool close)
{
    for (qsizetype i = 0; i < lonLat.size(); ++i) {
        // The projection keeps longitudes within the world; these may leave it on purpose.
        const double x = (lonLat[i].x() + shift + 180.0) / 360.0 * mercator::kWorldSize;
        const QPointF p(x, mercator::sceneFromCoordinate(lonLat[i].y(), 0).y());
        if (i == 0)
            path.moveTo(p);
        else
            path.lineTo(p);
    }
    if (close && !lonLat.isEmpty())
        path.closeSubpath();
}

bool readLine(Reader& in, QPainterPath& path, bool close)
{
    const quint32 count = in.u32();
    // Every point takes 8 bytes: a count that runs past the end is no basemap.
    if (!in.has(qsizetype(count) * 8))
        return false;
    QList<QPointF> points; // longitude, latitude
    points.reserve(count);
    for (quint32 i = 0; i < count; ++i) {
        const double lon = in.f32();
        const double lat = in.f32();
        points.append(QPointF(lon, lat));
    }
    if (!in.ok())
        return false;

    // A shape that crosses the antimeridian jumps from +180 to -180 and back; drawn as it
    // stands, each jump is a line across the whole world. Such a shape is drawn with its
    // longitudes made continuous, once as it is and once a world further, so that both
    // edges of the map show their part. A ring that goes round the whole world (the
    // Antarctic coast) jumps only once and is drawn as it stands.
    QList<QPointF> unwrapped = points;
    bool crosses = false;
    for (qsizetype i = 1; i < unwrapped.size(); ++i) {
        double lon = unwrapped[i].x();
        const double previous = unwrapped[i - 1].x();
        while (lon - previous > 180) {
            lon -= 360;
            crosses = true;
        }
        while (previous - lon > 180) {
            lon += 360;
            crosses = true;
        }
        unwrapped[i].setX(lon);
    }
    const bool circlesTheWorld = close && !unwrapped.isEmpty() &&
                                 std::abs(unwrapped.last().x() - unwrapped.first().x()) > 180;
    if (!crosses || circlesTheWorld) {
        addLine(path, points, 0, close);
        return true;
    }
    double west = unwrapped.first().x();
    double east = west;
    for (const QPointF& p : unwrapped) {
        west = std::min(west, p.x());
        east = std::max(east, p.x());
    }
    addLine(path, unwrapped, 0, close);
    if (east > 180)
        addLine(path, unwrapped, -360, close);
    if (west < -180)
        addLine(path, unwrapped, 360, close);
    return true;
}
} // namespace

std::optional<MapBasemap> MapBasemap::fromData(const QByteArray& data)
{
    if (data.size() < kMagicSize + 12 || !data.startsWith(QByteArray(kMagic, kMagicSize)))
        return std::nullopt;
    Reader in(data);
    const quint32 rings = in.u32();
    const quint32 lines = in.u32();
    const quint32 labels = in.u32();
    MapBasemap map;
    map.m_land.setFillRule(Qt::OddEvenFill);
    for (quint32 i = 0; i < rings; ++i)
        if (!readLine(in, map.m_land, true))
            return std::nullopt;
    for (quint32 i = 0; i < lines; ++i)
        if (!readLine(in, map.m_borders, false))
            return std::nullopt;
    for (quint32 i = 0; i < labels; ++i) {
        const double lon = in.f32();
        const double lat = in.f32();
        const double area = in.f32();
        const QByteArray name = in.bytes(in.u16());
        if (!in.ok())
            return std::nullopt;
        map.m_labels.append(
            {mercator::sceneFromCoordinate(lat, lon), area, QString::fromUtf8(name)});
    }
    std::sort(map.m_labels.begin(), map.m_labels.end(),
              [](const Label& a, const Label& b) { return a.area > b.area; });
    map.m_rings = int(rings);
    return map;
}

const MapBasemap& MapBasemap::shipped()
{
    static const MapBasemap basemap = [] {
        initResources();
        QFile file(QStringLiteral(":/basemap/basemap-50m.bin"));
        if (!file.open(QIODevice::ReadOnly)) {
            logLine(QStringLiteral("The map's basemap is missing"));
            return MapBasemap();
        }
        std::optional<MapBasemap> map = fromData(file.readAll());
        if (!map) {
            logLine(QStringLiteral("The map's basemap can not be read"));
            return MapBasemap();
        }
        return std::move(*map);
    }();
    return basemap;
}

QColor MapBasemap::seaColor()
{
    return QColor(170, 211, 223);
}

QColor MapBasemap::landColor()
{
    return QColor(242, 239, 233);
}

void MapBasemap::draw(QPainter* painter, const QRectF& exposed) const
{
    painter->fillRect(exposed, seaColor());
    painter->setRenderHint(QPainter::Antialiasing, true);
    // Cosmetic pens: lines keep their width in pixels at every zoom.
    QPen coast(QColor(150, 180, 190), 0.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    coast.setCosmetic(true);
    painter->setPen(coast);
    painter->setBrush(landColor());
    painter->drawPath(m_land);

    QPen border(QColor(170, 150, 170), 1.0, Qt::DashLine);
    border.setCosmetic(true);
    painter->setPen(border);
    painter->setBrush(Qt::NoBrush);
    painter->drawPath(m_borders);

    // Names in screen pixels, biggest countries first, none over another.
    const QTransform toDevice = painter->worldTransform();
    const double scale = toDevice.m11();
    const double pixelsPerDegree = scale * mercator::kWorldSize / 360.0;
    painter->save();
    painter->resetTransform();
    QFont font = painter->font();
    font.setPointSizeF(8.5);
    font.setLetterSpacing(QFont::PercentageSpacing, 104);
    painter->setFont(font);
    const QFontMetricsF metrics(font);
    painter->setPen(QColor(110, 100, 110));
    QList<QRectF> taken;
    const QRectF visible = toDevice.mapRect(exposed);
    for (const Label& label : m_labels) {
        const double areaPixels = label.area * pixelsPerDegree * pixelsPerDegree;
        const QPointF at = toDevice.map(label.position);
        if (!visible.adjusted(-100, -20, 100, 20).contains(at))
            continue;
        const double width = metrics.horizontalAdvance(label.name);
        // A name goes where its country is big enough to hold it, and no further in.
        if (areaPixels < width * metrics.height() * 3 || areaPixels > 4.0e6)
            continue;
        const QRectF box(at.x() - width / 2, at.y() - metrics.height() / 2, width,
                         metrics.height());
        bool free = true;
        for (const QRectF& other : taken)
            if (other.intersects(box.adjusted(-6, -3, 6, 3))) {
                free = false;
                break;
            }
        if (!free)
            continue;
        taken.append(box);
        painter->drawText(box, Qt::AlignCenter, label.name);
    }
    painter->restore();
}

} // namespace perspix
