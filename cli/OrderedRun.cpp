// The ordered-run loop of perspix-cli (see OrderedRun.h).
#include "cli/OrderedRun.h"

#include <QCoreApplication>
#include <QTimer>
#include <thread>

#include "export/CommandLineExport.h"
#include "filelist/FilelistFiller.h"
#include "model/Log.h"

namespace perspix::cli {

namespace {
constexpr int kStallCheckMs = 250;
// Files looked up in the store in one read, and handed over before the next read.
constexpr qsizetype kStoreBatch = 500;
} // namespace

OrderedRun::OrderedRun(QTextStream& err, bool showProgress)
    : m_err(err), m_progress(err, showProgress)
{
}

OrderedRun::~OrderedRun()
{
    m_cacher.setDelegate(nullptr);
    m_cacher.cancelThreadsAndWait();
}

void OrderedRun::printMessages(const QStringList& messages)
{
    for (const QString& message : messages)
        m_err << "perspix-cli: " << message << '\n';
    m_err.flush();
}

std::optional<QStringList> OrderedRun::pathsOrProject(const QStringList& paths)
{
    if (!CommandLineExport::isProjectArgument(paths))
        return paths;
    QStringList messages;
    std::optional<QStringList> documents;
    {
        LogCapture log; // the project's own log lines explain what was wrong with it
        documents = CommandLineExport::openProject(paths.first(), &messages);
        for (const QString& line : log.lines())
            m_err << "Perspix: " << line << '\n';
    }
    printMessages(messages);
    return documents;
}

void OrderedRun::listFiles(const QStringList& paths)
{
    m_items = FilelistFiller::fillerWithPaths(paths).filelist();
    for (const FilelistItemPtr& item : m_items)
        ++m_paths[item->filename()].entries;
}

Filelist OrderedRun::answerFromStore(ResultStore& store, const QVariantMap& options, StoreRead read)
{
    QStringList paths;
    paths.reserve(m_paths.size());
    for (const FilelistItemPtr& item : m_items)
        paths.append(item->filename());
    paths.removeDuplicates();
    std::thread freeing;
    for (qsizetype from = 0; from < paths.size() && store.isOn(); from += kStoreBatch) {
        const QStringList batch = paths.mid(from, kStoreBatch);
        const auto answer = [this](const QString& path) -> PathState& {
            PathState& state = m_paths[path];
            m_answered += state.entries - state.answered;
            state.answered = state.entries;
            return state;
        };
        if (read.summaries) {
            const std::vector<std::optional<QString>> found = store.findSummaries(batch, options);
            for (qsizetype i = 0; i < batch.size(); ++i)
                if (found[i])
                    answer(batch[i]).summary = found[i];
            handleReady();
            continue;
        }
        std::vector<PerspixDataPtr> found = store.findAll(batch, options, read.part);
        for (qsizetype i = 0; i < batch.size(); ++i)
            if (found[i])
                answer(batch[i]).data = found[i];
        handleReady();
        // Freeing a batch of results costs about as much as writing it: it is freed beside
        // the next batch.
        if (freeing.joinable())
            freeing.join();
        freeing = std::thread([results = std::move(found)]() mutable { results.clear(); });
    }
    if (freeing.joinable())
        freeing.join();
    Filelist rest;
    for (const FilelistItemPtr& item : m_items) {
        const auto it = m_paths.constFind(item->filename());
        if (it != m_paths.constEnd() && it->answered < it->entries)
            rest.append(item);
    }
    return rest;
}

void OrderedRun::analyse(quint32 threads, const QVariantMap& options,
                         std::shared_ptr<ResultStore> store, StoreRead read)
{
    if (m_items.isEmpty())
        return;
    m_progress.begin(m_items.size());
    const Filelist rest = store ? answerFromStore(*store, options, read) : m_items;
    finishIfDone();
    if (m_done)
        return;
    m_cacher.setMTMode(threads);
    m_cacher.setDelegate(this);
    m_cacher.setOptionsProvider([options] { return options; });
    if (store)
        m_cacher.setResultStore(std::move(store));
    m_cacher.processFiles(rest);
    QTimer stallCheck;
    QObject::connect(&stallCheck, &QTimer::timeout, [this] { checkStalled(); });
    stallCheck.start(kStallCheckMs);
    if (!m_done)
        m_loop.exec();
    stallCheck.stop();
    m_cacher.cancelThreadsAndWait();
}

void OrderedRun::dataCacherNewObjectReady(const CacherResult& result)
{
    const auto it = m_paths.find(result.filename);
    if (it == m_paths.end() || it->answered >= it->entries)
        return;
    ++it->answered;
    ++m_answered;
    if (result.data)
        it->data = result.data;
    else if (PerspixDataPtr cached = m_cacher.dataFromCacheForFile(result.filename))
        it->data = cached;
    handleReady();
    finishIfDone();
}

void OrderedRun::handleReady()
{
    bool handed = false;
    while (m_handed < m_items.size()) {
        const FilelistItemPtr& item = m_items[m_handed];
        const QString path = item->filename();
        const auto it = m_paths.find(path);
        if (it == m_paths.end() || it->answered == 0)
            break;
        if (!handed) {
            m_progress.clear();
            m_progress.flushLog();
            handed = true;
        }
        if (it->summary)
            handleSummary(*item, *it->summary);
        else
            handleItem(*item, it->data);
        ++it->handed;
        ++m_handed;
        // The engine's cache is not needed once a file is handed over and answered for
        // good; dropping it keeps the memory of long runs flat.
        if (it->handed >= it->entries && it->answered >= it->entries) {
            m_cacher.removeFileFromCache(path);
            m_paths.erase(it);
        }
    }
    if (handed)
        handedOver();
    m_progress.update(m_answered, m_failed, handed);
}

void OrderedRun::finishIfDone()
{
    if (m_done || m_handed < m_items.size())
        return;
    m_done = true;
    m_loop.quit();
}

// Every queued file is answered by one message; should one never come (a worker that
// ended without answering), the run still ends once no worker is left, and the files
// without an answer count as failed.
void OrderedRun::checkStalled()
{
    if (m_done || m_cacher.runningWorkers() > 0)
        return;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
    if (m_done || m_cacher.runningWorkers() > 0 || m_cacher.queuedEntries() > 0)
        return;
    for (PathState& state : m_paths) {
        if (state.answered < state.entries) {
            m_answered += state.entries - state.answered;
            state.answered = state.entries;
        }
    }
    handleReady();
    finishIfDone();
}

} // namespace perspix::cli
