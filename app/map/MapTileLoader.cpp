// Tile fetching (see MapTileLoader.h).
#include "app/map/MapTileLoader.h"

#include <QCoreApplication>
#include <QDir>
#include <QNetworkAccessManager>
#include <QNetworkDiskCache>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStandardPaths>

#include "model/Log.h"

namespace perspix {

namespace {
constexpr int kMaxRunning = 2;
constexpr int kMemoryTiles = 400;
constexpr qint64 kDiskCacheBytes = 200LL * 1024 * 1024;
// After this many network failures in a row, with no tile ever received, the map stops
// asking: it is offline.
constexpr int kFailuresBeforeGivingUp = 3;
} // namespace

size_t qHash(const TileKey& key, size_t seed)
{
    return ::qHash(qint64(key.layer) << 58 ^ qint64(key.z) << 52 ^ qint64(key.x) << 26 ^ key.y,
                   seed);
}

MapTileLoader::MapTileLoader(QObject* parent) : QObject(parent)
{
    m_memory.setMaxCost(kMemoryTiles);
}

MapTileLoader::~MapTileLoader() = default;

void MapTileLoader::setSource(const MapTileSource& source)
{
    m_source = source;
    m_memory.clear();
    m_queue.clear();
    m_missing.clear();
    m_networkFailures = 0;
    m_gaveUp = false;
    emit availabilityChanged(isAvailable());
}

bool MapTileLoader::isAvailable() const
{
    return !m_source.isEmpty() && !m_gaveUp;
}

QString MapTileLoader::urlForTile(const QString& urlTemplate, int z, int x, int y)
{
    QString url = urlTemplate;
    url.replace(QLatin1String("{z}"), QString::number(z));
    url.replace(QLatin1String("{x}"), QString::number(x));
    url.replace(QLatin1String("{y}"), QString::number(y));
    return url;
}

QString MapTileLoader::userAgent()
{
    QString version = QCoreApplication::applicationVersion();
    if (version.isEmpty())
        version = QStringLiteral("1.0");
    return QStringLiteral("Perspix/%1 (desktop viewer of media file metadata; map of the "
                          "files' locations; Qt %2)")
        .arg(version, QString::fromLatin1(qVersion()));
}

QPixmap MapTileLoader::cachedTile(const TileKey& key) const
{
    if (const QPixmap* pixmap = m_memory.object(key))
        return *pixmap;
    return {};
}

QPixmap MapTileLoader::tile(const TileKey& key)
{
    if (const QPixmap* pixmap = m_memory.object(key))
        return *pixmap;
    if (isAvailable() && key.layer < m_source.urlTemplates.size() && !m_running.contains(key) &&
        !m_missing.contains(key) && !m_queue.contains(key)) {
        m_queue.append(key);
        startRequests();
    }
    return {};
}

void MapTileLoader::beginFrame()
{
    m_queue.clear();
}

void MapTileLoader::startRequests()
{
    while (m_running.size() < kMaxRunning && !m_queue.isEmpty() && isAvailable()) {
        const TileKey key = m_queue.takeFirst();
        if (!m_network) {
            m_network = new QNetworkAccessManager(this);
            auto* cache = new QNetworkDiskCache(m_network);
            const QString folder = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
            cache->setCacheDirectory(QDir(folder).filePath(QStringLiteral("map-tiles")));
            cache->setMaximumCacheSize(kDiskCacheBytes);
            m_network->setCache(cache);
        }
        QNetworkRequest request(
            QUrl(urlForTile(m_source.urlTemplates[key.layer], key.z, key.x, key.y)));
        request.setHeader(QNetworkRequest::UserAgentHeader, userAgent());
        request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                             QNetworkRequest::PreferCache);
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                             QNetworkRequest::NoLessSafeRedirectPolicy);
        request.setTransferTimeout(15000);
        QNetworkReply* reply = m_network->get(request);
        m_running.insert(key);
        connect(reply, &QNetworkReply::finished, this,
                [this, reply, key] { finished(reply, key); });
    }
}

void MapTileLoader::finished(QNetworkReply* reply, const TileKey& key)
{
    reply->deleteLater();
    m_running.remove(key);
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() == QNetworkReply::NoError) {
        QPixmap pixmap;
        if (pixmap.loadFromData(reply->readAll())) {
            m_networkFailures = 0;
            m_anyTileArrived = true;
            m_memory.insert(key, new QPixmap(pixmap), 1);
            emit tileArrived();
        } else {
            m_missing.insert(key);
        }
    } else if (status >= 400) {
        // The server answered: this tile is not to be had, the others may be.
        m_missing.insert(key);
    } else {
        m_missing.insert(key);
        if (++m_networkFailures >= kFailuresBeforeGivingUp && !m_anyTileArrived && !m_gaveUp) {
            m_gaveUp = true;
            m_queue.clear();
            logLine(QStringLiteral("Map tiles unavailable (%1): showing the offline basemap")
                        .arg(reply->errorString()));
            emit availabilityChanged(false);
        }
    }
    startRequests();
}

} // namespace perspix
