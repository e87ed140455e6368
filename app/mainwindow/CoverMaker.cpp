// Covers made when they are shown (see CoverMaker.h).
#include "app/mainwindow/CoverMaker.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <memory>

#include "batch/AnalyserClient.h"
#include "model/HelperKeys.h"
#include "model/Keys.h"
#include "model/Settings.h"

namespace perspix {

namespace {
// About a hundred covers of 256 pixels.
constexpr int kCacheKiB = 32 * 1024;

// Decoding a whole picture or a film's frame is reading the file: it happens in a helper
// process, which the pool's thread keeps for the covers after it.
QImage makeInHelper(const QString& path, const QString& what)
{
    static thread_local std::unique_ptr<AnalyserClient> helper;
    if (!helper) {
        const QVariantMap options = Settings().analysisOptions();
        AnalyserClient::Limits limits;
        limits.timeoutSeconds = options.value(keys::kOptAnalysisTimeout).toDouble();
        limits.memoryBytes = options.value(keys::kOptAnalysisMemoryLimit).toLongLong();
        helper = std::make_unique<AnalyserClient>(limits);
    }
    return helper->makeCover(path, what);
}
} // namespace

CoverMaker& CoverMaker::instance()
{
    static CoverMaker* maker = new CoverMaker(QCoreApplication::instance());
    return *maker;
}

CoverMaker::CoverMaker(QObject* parent) : QObject(parent), m_made(kCacheKiB)
{
    // One decode at a time: the analysis workers share the cores.
    m_pool.setMaxThreadCount(1);
}

CoverMaker::~CoverMaker()
{
    // Covers not yet started are dropped; the one being made is waited for.
    m_pool.clear();
    m_pool.waitForDone();
}

QImage CoverMaker::cover(const PerspixDataPtr& data)
{
    const GeneralRecord* general = data ? data->generalInfo() : nullptr;
    if (!general)
        return {};
    const QString what = general->string(keys::kCoverToMake);
    if (what.isEmpty())
        return {};
    const QString path = data->filename;
    const QString key = what + QLatin1Char('\n') + path;
    if (const QImage* image = m_made.object(key))
        return *image;
    if (m_failed.contains(key) || m_waiting.contains(key))
        return {};
    m_waiting.insert(key);
    // The latest request first: rows scrolled past wait behind the ones now on screen.
    m_pool.start(
        [this, key, path, what] {
            const QImage image = makeInHelper(path, what);
            QMetaObject::invokeMethod(
                this, [this, key, path, image] { made(key, path, image); }, Qt::QueuedConnection);
        },
        ++m_requests);
    return {};
}

void CoverMaker::made(const QString& key, const QString& path, const QImage& image)
{
    m_waiting.remove(key);
    if (image.isNull()) {
        m_failed.insert(key);
        return;
    }
    m_made.insert(key, new QImage(image), std::max<int>(1, int(image.sizeInBytes() / 1024)));
    emit coverMade(path);
}

} // namespace perspix
