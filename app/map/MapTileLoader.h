// Fetches the map's slippy-map tiles over HTTP through a disk cache, at most two at a time
// and only those on screen, as public tile servers ask. Keeps recent tiles in memory. With
// no source configured, or once the network keeps failing, it asks for nothing and the map
// shows its offline basemap.
#pragma once

#include <QCache>
#include <QHash>
#include <QObject>
#include <QPixmap>
#include <QSet>
#include <QStringList>

class QNetworkAccessManager;
class QNetworkReply;

namespace perspix {

// A kind of map: tile URL templates ("{z}", "{x}", "{y}") drawn one over the other, and
// the attribution their terms ask for.
struct MapTileSource
{
    QStringList urlTemplates;
    QString attribution;
    int maxZoom = 19;
    bool isEmpty() const { return urlTemplates.isEmpty(); }
};

struct TileKey
{
    int layer = 0;
    int z = 0;
    int x = 0;
    int y = 0;
    bool operator==(const TileKey&) const = default;
};
size_t qHash(const TileKey& key, size_t seed = 0);

class MapTileLoader : public QObject
{
    Q_OBJECT
public:
    explicit MapTileLoader(QObject* parent = nullptr);
    ~MapTileLoader() override;

    void setSource(const MapTileSource& source);
    const MapTileSource& source() const { return m_source; }
    // False with no source, or after the network failed again and again without a tile.
    bool isAvailable() const;

    // The tile when it is in memory; otherwise nothing, and it is asked for.
    QPixmap tile(const TileKey& key);
    // The tile when it is in memory, without asking.
    QPixmap cachedTile(const TileKey& key) const;
    // Drops the queue of tiles not yet asked for: the next frame asks again for what it shows.
    void beginFrame();

    static QString urlForTile(const QString& urlTemplate, int z, int x, int y);
    static QString userAgent();

signals:
    void tileArrived();
    void availabilityChanged(bool available);

private:
    void startRequests();
    void finished(QNetworkReply* reply, const TileKey& key);

    MapTileSource m_source;
    QNetworkAccessManager* m_network = nullptr;
    QCache<TileKey, QPixmap> m_memory;
    QList<TileKey> m_queue;
    QSet<TileKey> m_running;
    QSet<TileKey> m_missing;
    int m_networkFailures = 0;
    bool m_anyTileArrived = false;
    bool m_gaveUp = false;
};

} // namespace perspix
