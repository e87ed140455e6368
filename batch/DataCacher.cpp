// The batch engine: queue, worker threads, cache and result messages.
#include "batch/DataCacher.h"

#include <QThread>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <exception>
#include <mutex>
#include <pthread.h>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "batch/AnalyserClient.h"
#include "model/HelperKeys.h"
#include "model/Keys.h"
#include "model/Log.h"
#include "model/Settings.h"
#include "taglink/TaglinkStayOpenProcess.h"

namespace perspix {

namespace {

const QString kThreadName = QStringLiteral("DataCacherThread");
constexpr auto kWaitStep = std::chrono::milliseconds(20);

std::atomic<int> g_liveWorkers{0};

quint32 validMode(quint32 mode)
{
    switch (mode) {
    case 1:
    case 2:
    case 4:
    case 8:
    case 256:
        return mode;
    default:
        return 1;
    }
}

} // namespace

struct DataCacher::Worker
{
    std::atomic<bool> stop{false};
    bool ended = false; // guarded by the state's lock
    std::thread thread; // touched only by the thread that owns the cacher
};

struct DataCacher::State
{
    mutable std::mutex safeLock;
    // Workers not yet joined (cancelled ones included) and the running, not cancelled ones.
    std::vector<std::shared_ptr<Worker>> workers;
    std::vector<Worker*> threads;
    QSet<QString> filesInProcess;
    QSet<QString> filesProcessed;
    QSet<QString> filesFailed;
    QHash<QString, QString> failures; // of failed files whose helper stopped
    std::vector<QueueEntry> fileStack;
    QHash<QString, PerspixDataPtr> dataCache;
    QHash<QString, int> filesWaitingForFinishProcessing;

    std::atomic<DataCacherDelegate*> delegate{nullptr};
    QObject* context = nullptr; // null once the cacher is gone

    OptionsProvider optionsProvider;
    ExiftoolFactory exiftoolFactory;
    Analyser analyser;
    std::shared_ptr<ResultStore> store;

    void post(const CacherResult& result);
    ClaimResult claim(const Worker* worker, const QString& path, bool checkInCache);
    void record(const PerspixDataPtr& data, const FilelistItemPtr& file, int status,
                bool answerEntry, const QString& failure = QString());
};

namespace {
// The cacher state and worker record of the calling thread, when it is a worker.
thread_local const void* t_workerState = nullptr;
thread_local const void* t_worker = nullptr;
} // namespace

// Queues one message to the delegate's thread. Called under the lock, so that the cacher
// cannot go away between the test and the post.
void DataCacher::State::post(const CacherResult& result)
{
    if (!context || !delegate.load())
        return;
    State* self = this;
    QMetaObject::invokeMethod(
        context,
        [self, result] {
            // Runs only while the context, and with it the cacher, is alive.
            if (DataCacherDelegate* d = self->delegate.load())
                d->dataCacherNewObjectReady(result);
        },
        Qt::QueuedConnection);
}

ClaimResult DataCacher::State::claim(const Worker* worker, const QString& path, bool checkInCache)
{
    if (worker && worker->stop.load())
        return ClaimResult::Cancelled;
    if (filesInProcess.contains(path)) {
        ++filesWaitingForFinishProcessing[path];
        return ClaimResult::Busy;
    }
    if (checkInCache && filesProcessed.contains(path))
        return ClaimResult::Done;
    filesInProcess.insert(path);
    return ClaimResult::Claimed;
}

// Records a result under the lock and queues its messages: one for the entry itself (unless
// told not to) and one per entry that waited for this analysis. Every waiting entry is
// answered, so the whole count is taken off.
void DataCacher::State::record(const PerspixDataPtr& data, const FilelistItemPtr& file, int status,
                               bool answerEntry, const QString& failure)
{
    const QString path = file->filename();
    int waiting = 0;
    int waitingStatus = kStatusFailed;
    QString reason = failure;
    if (data) {
        dataCache.insert(path, data);
        filesFailed.remove(path);
        failures.remove(path);
        waiting = filesWaitingForFinishProcessing.take(path);
        waitingStatus = kStatusCached;
    } else if (status != kStatusCached && status != kStatusCachedOnRequest) {
        filesFailed.insert(path);
        if (failure.isEmpty())
            failures.remove(path);
        else
            failures.insert(path, failure);
        waiting = filesWaitingForFinishProcessing.take(path);
        waitingStatus = kStatusFailed;
    } else {
        reason = failures.value(path);
    }
    if (answerEntry)
        post({path, file, data, status, reason});
    for (int i = 0; i < waiting; ++i)
        post({path, nullptr, data, waitingStatus, reason});
}

DataCacher::DataCacher()
    : m_state(std::make_shared<State>()), m_context(std::make_unique<QObject>())
{
    m_state->context = m_context.get();
}

DataCacher::~DataCacher()
{
    std::vector<std::shared_ptr<Worker>> ended;
    std::vector<std::shared_ptr<Worker>> running;
    {
        std::lock_guard guard(m_state->safeLock);
        m_state->context = nullptr;
        m_state->delegate.store(nullptr);
        for (const auto& w : m_state->workers) {
            w->stop.store(true);
            (w->ended ? ended : running).push_back(w);
        }
        m_state->threads.clear();
        m_state->workers.clear();
    }
    // Pending queued calls die with the context.
    m_context.reset();
    // Workers still busy finish their file on their own, holding the state until then.
    for (auto& w : ended)
        if (w->thread.joinable())
            w->thread.join();
    for (auto& w : running)
        if (w->thread.joinable())
            w->thread.detach();
}

void DataCacher::setMTMode(quint32 mode)
{
    m_mode = validMode(mode);
}

void DataCacher::setDelegate(DataCacherDelegate* delegate)
{
    m_state->delegate.store(delegate);
}

DataCacherDelegate* DataCacher::delegate() const
{
    return m_state->delegate.load();
}

void DataCacher::setOptionsProvider(OptionsProvider provider)
{
    std::lock_guard guard(m_state->safeLock);
    m_state->optionsProvider = std::move(provider);
}

void DataCacher::setExiftoolFactory(ExiftoolFactory factory)
{
    std::lock_guard guard(m_state->safeLock);
    m_state->exiftoolFactory = std::move(factory);
}

void DataCacher::setAnalyser(Analyser analyser)
{
    std::lock_guard guard(m_state->safeLock);
    m_state->analyser = std::move(analyser);
}

void DataCacher::setResultStore(std::shared_ptr<ResultStore> store)
{
    std::lock_guard guard(m_state->safeLock);
    m_state->store = std::move(store);
}

int DataCacher::numberOfWorkers(quint32 mode, qsizetype entries, int cores)
{
    mode = validMode(mode);
    if (mode == 1)
        return 1;
    cores = std::max(cores, 1);
    int candidate = cores;
    if (mode == 2 && cores >= 2)
        candidate = 2;
    else if (mode == 4 && cores >= 4)
        candidate = 4;
    else if (mode == 8 && cores >= 8)
        candidate = 8;
    if (entries < 11 || candidate == 1)
        return 1;
    // At least about ten files per worker.
    const qsizetype perTen = (entries + 9) / 10;
    return static_cast<int>(std::min<qsizetype>(candidate, perTen));
}

int DataCacher::activeProcessorCores()
{
    return std::max(QThread::idealThreadCount(), 1);
}

int DataCacher::liveWorkerThreads()
{
    return g_liveWorkers.load();
}

void DataCacher::joinFinishedWorkers()
{
    std::vector<std::shared_ptr<Worker>> ended;
    {
        std::lock_guard guard(m_state->safeLock);
        auto& all = m_state->workers;
        const auto split = std::stable_partition(
            all.begin(), all.end(), [](const std::shared_ptr<Worker>& w) { return !w->ended; });
        ended.assign(split, all.end());
        all.erase(split, all.end());
    }
    for (auto& w : ended)
        if (w->thread.joinable())
            w->thread.join();
}

void DataCacher::processFiles(const Filelist& items)
{
    joinFinishedWorkers();
    std::vector<std::shared_ptr<Worker>> started;
    {
        std::lock_guard guard(m_state->safeLock);
        auto& stack = m_state->fileStack;
        if (!m_state->threads.empty()) {
            // Taken after every waiting entry, the last item first.
            std::vector<QueueEntry> fresh;
            fresh.reserve(items.size());
            for (const FilelistItemPtr& item : items)
                fresh.push_back({item, false});
            stack.insert(stack.begin(), fresh.begin(), fresh.end());
            return;
        }
        // Entries already waiting (a forced one, say) are taken first, then the new items in
        // list order.
        std::vector<QueueEntry> kept;
        kept.swap(stack);
        stack.reserve(items.size() + kept.size());
        for (auto it = items.crbegin(); it != items.crend(); ++it)
            stack.push_back({*it, false});
        stack.insert(stack.end(), kept.begin(), kept.end());
        if (stack.empty())
            return;
        const int count =
            numberOfWorkers(m_mode, static_cast<qsizetype>(stack.size()), activeProcessorCores());
        for (int i = 0; i < count; ++i) {
            auto worker = std::make_shared<Worker>();
            m_state->workers.push_back(worker);
            m_state->threads.push_back(worker.get());
            started.push_back(worker);
        }
    }
    for (auto& worker : started) {
        g_liveWorkers.fetch_add(1);
        worker->thread = std::thread(&DataCacher::workerMain, m_state, worker);
    }
}

bool DataCacher::processFileFirstly(const FilelistItemPtr& item)
{
    std::lock_guard guard(m_state->safeLock);
    m_state->fileStack.push_back({item, true});
    return m_state->threads.empty();
}

void DataCacher::cancelThreads()
{
    std::lock_guard guard(m_state->safeLock);
    for (Worker* w : m_state->threads)
        w->stop.store(true);
    m_state->threads.clear();
}

void DataCacher::cancelThreadsAndWait()
{
    {
        std::lock_guard guard(m_state->safeLock);
        for (const auto& w : m_state->workers)
            w->stop.store(true);
        m_state->threads.clear();
    }
    for (;;) {
        {
            std::lock_guard guard(m_state->safeLock);
            const bool allEnded =
                std::all_of(m_state->workers.begin(), m_state->workers.end(),
                            [](const std::shared_ptr<Worker>& w) { return w->ended; });
            if (allEnded)
                break;
        }
        std::this_thread::sleep_for(kWaitStep);
    }
    joinFinishedWorkers();
}

PerspixDataPtr DataCacher::dataFromCacheForFile(const QString& path) const
{
    std::lock_guard guard(m_state->safeLock);
    return m_state->dataCache.value(path);
}

bool DataCacher::isFileFailed(const QString& path) const
{
    std::lock_guard guard(m_state->safeLock);
    return m_state->filesFailed.contains(path);
}

QString DataCacher::failureOfFile(const QString& path) const
{
    std::lock_guard guard(m_state->safeLock);
    return m_state->failures.value(path);
}

bool DataCacher::isFileProcessed(const QString& path) const
{
    std::lock_guard guard(m_state->safeLock);
    return m_state->filesProcessed.contains(path);
}

void DataCacher::removeFileFromCache(const QString& path)
{
    std::lock_guard guard(m_state->safeLock);
    m_state->dataCache.remove(path);
    m_state->filesFailed.remove(path);
    m_state->failures.remove(path);
    m_state->filesProcessed.remove(path);
}

void DataCacher::dataReady(const PerspixDataPtr& data, const FilelistItemPtr& file, int status)
{
    if (!file)
        return;
    std::lock_guard guard(m_state->safeLock);
    m_state->record(data, file, status, true);
}

ClaimResult DataCacher::setFileIsInProcess(const QString& path, bool checkInCache)
{
    const Worker* worker =
        t_workerState == m_state.get() ? static_cast<const Worker*>(t_worker) : nullptr;
    std::lock_guard guard(m_state->safeLock);
    return m_state->claim(worker, path, checkInCache);
}

void DataCacher::setFileIsProcessed(const QString& path)
{
    std::lock_guard guard(m_state->safeLock);
    m_state->filesInProcess.remove(path);
    m_state->filesProcessed.insert(path);
}

std::optional<QueueEntry> DataCacher::nextFile()
{
    std::lock_guard guard(m_state->safeLock);
    if (m_state->fileStack.empty())
        return std::nullopt;
    QueueEntry entry = std::move(m_state->fileStack.back());
    m_state->fileStack.pop_back();
    return entry;
}

int DataCacher::runningWorkers() const
{
    std::lock_guard guard(m_state->safeLock);
    return static_cast<int>(m_state->threads.size());
}

qsizetype DataCacher::queuedEntries() const
{
    std::lock_guard guard(m_state->safeLock);
    return static_cast<qsizetype>(m_state->fileStack.size());
}

namespace {
constexpr int kWorkerNiceIncrement = 5;
} // namespace

void DataCacher::workerMain(std::shared_ptr<State> state, std::shared_ptr<Worker> worker)
{
    // The kernel keeps at most 15 characters of a thread's name; Qt keeps the whole name.
    pthread_setname_np(pthread_self(), kThreadName.left(15).toLatin1().constData());
    QThread::currentThread()->setObjectName(kThreadName);
    // Analysis is background work: with as many workers as cores, a thread of the same
    // weight as the GUI's made the window wait up to a few hundred milliseconds for a turn.
    // On Linux the nice value belongs to the thread (and to the ExifTool children it starts).
    const auto tid = static_cast<id_t>(gettid());
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, tid);
    if (errno == 0)
        setpriority(PRIO_PROCESS, tid, std::min(nice + kWorkerNiceIncrement, 19));
    t_workerState = state.get();
    t_worker = worker.get();
    runWorker(*state, *worker);
    {
        std::lock_guard guard(state->safeLock);
        worker->ended = true;
    }
    t_workerState = nullptr;
    t_worker = nullptr;
    worker.reset();
    state.reset();
    g_liveWorkers.fetch_sub(1);
}

void DataCacher::runWorker(State& state, Worker& worker)
{
    OptionsProvider provider;
    ExiftoolFactory factory;
    Analyser analyser;
    std::shared_ptr<ResultStore> store;
    {
        std::lock_guard guard(state.safeLock);
        provider = state.optionsProvider;
        factory = state.exiftoolFactory ? state.exiftoolFactory : defaultExiftoolFactory();
        analyser = state.analyser;
        store = state.store;
    }
    QVariantMap options = provider ? provider() : Settings().analysisOptions();
    // How files are read is no part of what is read: neither the analysis nor the store's
    // key sees these.
    AnalyserClient::Limits limits;
    if (options.contains(keys::kOptAnalysisTimeout))
        limits.timeoutSeconds = options.take(keys::kOptAnalysisTimeout).toDouble();
    if (options.contains(keys::kOptAnalysisMemoryLimit))
        limits.memoryBytes = options.take(keys::kOptAnalysisMemoryLimit).toLongLong();
    const bool inProcess = options.take(keys::kOptInProcessAnalysis).toBool() || analyser;
    std::optional<AnalyserClient> helper;
    if (!inProcess)
        helper.emplace(limits);
    ExiftoolProcessPtr exiftool;
    if ((options.value(keys::kOptVideoUtility).toString() == keys::kVideoUtilityExiftool ||
         options.value(keys::kOptReadImagesWithExiftool).toBool()) &&
        factory)
        exiftool = factory();
    if (exiftool) {
        // Cancelling ends a request under way at once: a window closing never waits for an
        // ExifTool that reads for ever.
        exiftool->setStopFlag(&worker.stop);
        const double seconds = options.value(keys::kOptExiftoolTimeout).toDouble();
        if (seconds > 0)
            exiftool->setTimeout(std::chrono::milliseconds(qint64(seconds * 1000)));
    }

    for (;;) {
        std::optional<QueueEntry> entry;
        {
            // Taking the last entry and leaving the running set are one step, so that items
            // queued for the running workers never find them gone.
            std::lock_guard guard(state.safeLock);
            // A stopped worker leaves what is queued to the workers that come after it.
            if (state.fileStack.empty() || worker.stop.load()) {
                std::erase(state.threads, &worker);
                break;
            }
            entry = std::move(state.fileStack.back());
            state.fileStack.pop_back();
        }
        if (!entry->file)
            continue;
        const QString path = entry->file->filename();
        ClaimResult claim;
        {
            std::lock_guard guard(state.safeLock);
            claim = state.claim(&worker, path, true);
            if (claim == ClaimResult::Done)
                state.record(nullptr, entry->file,
                             entry->forced ? kStatusCachedOnRequest : kStatusCached, true);
        }
        if (claim != ClaimResult::Claimed)
            continue;

        PerspixDataPtr data;
        // The facts are read before the analysis: a result is kept only under facts that
        // still hold once it is made.
        const std::optional<ResultStore::FileFacts> facts =
            store ? ResultStore::factsOf(path) : std::nullopt;
        if (facts)
            data = store->find(path, options, *facts);
        QString failure;
        bool cancelled = false;
        if (!data && helper) {
            AnalyserClient::Outcome outcome =
                helper->analyse(path, options, exiftool.get(), &worker.stop);
            data = std::move(outcome.data);
            failure = outcome.failure;
            cancelled = outcome.cancelled;
            if (data && facts)
                store->put(path, options, *facts, *data);
        } else if (!data) {
            try {
                data = analyser ? analyser(path, options, exiftool.get())
                                : PerspixData::dataAboutFile(path, options, exiftool.get());
            } catch (const std::exception& e) {
                logLine(QStringLiteral("Analysis of %1 failed: %2")
                            .arg(path, QString::fromLocal8Bit(e.what())));
                data.reset();
            }
            if (data && facts)
                store->put(path, options, *facts, *data);
        }

        // Marking the file processed, caching the result and answering the entries that
        // waited for it are one step: an entry claimed in between would otherwise find the
        // file processed but its data not yet cached, or wait for an answer already sent.
        std::lock_guard guard(state.safeLock);
        state.filesInProcess.remove(path);
        if (cancelled ||
            (!data && exiftool &&
             exiftool->lastFailure() == taglink::TaglinkStayOpenProcess::Failure::Cancelled)) {
            // Cancelled in the middle of reading: the file was not analysed, and waits, first
            // in line, for the workers that come after this one.
            state.fileStack.push_back(std::move(*entry));
            std::erase(state.threads, &worker);
            break;
        }
        state.filesProcessed.insert(path);
        const bool stopped = worker.stop.load();
        const int status = entry->forced ? kStatusAnalysedOnRequest : kStatusAnalysed;
        // A stopped worker still keeps the result, so that the cache stays consistent and
        // entries of other workers that waited for it are answered, but reports nothing of
        // its own.
        state.record(data, entry->file, data ? status : kStatusFailed, !stopped, failure);
        if (stopped) {
            std::erase(state.threads, &worker);
            break;
        }
    }
    // The helper ends before the ExifTool whose requests it passed on.
    helper.reset();
    if (exiftool)
        exiftool->setStopFlag(nullptr);
    exiftool.reset();
    if (store)
        store->flush();
}

ExiftoolFactory defaultExiftoolFactory()
{
    // One ExifTool per worker, kept for the worker's whole run and closed when it ends.
    return []() -> ExiftoolProcessPtr {
        return ExiftoolProcessPtr(taglink::TaglinkStayOpenProcess::init().release());
    };
}

} // namespace perspix
