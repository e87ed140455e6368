#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <condition_variable>
#include <fcntl.h>
#include <functional>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "batch/DataCacher.h"
#include "filelist/FilelistFiller.h"
#include "model/Keys.h"
#include "model/Log.h"
#include "model/Settings.h"
#include "support/TestSupport.h"

using namespace perspix;
using perspix::test::dataPath;
using perspix::test::TempDir;

namespace {

// Pumps the event loop until the condition holds or the time is up.
bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 20000)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        QThread::msleep(1);
    }
    return true;
}

struct Recorder : DataCacherDelegate
{
    std::vector<CacherResult> results;
    bool allOnMainThread = true;

    void dataCacherNewObjectReady(const CacherResult& r) override
    {
        allOnMainThread &= QThread::currentThread() == QCoreApplication::instance()->thread();
        results.push_back(r);
    }
    std::vector<CacherResult> forPath(const QString& path) const
    {
        std::vector<CacherResult> out;
        for (const auto& r : results)
            if (r.filename == path)
                out.push_back(r);
        return out;
    }
};

// Wraps the real analysis: records the order of analyses and the threads that ran them,
// and holds back the files it is told to hold until they are released.
struct Gate
{
    std::mutex lock;
    std::condition_variable changed;
    QSet<QString> held;
    QStringList analysed;
    QSet<QString> threadNames;
    std::vector<QVariantMap> options;
    int running = 0;
    int returned = 0;

    void hold(const QString& path)
    {
        std::lock_guard g(lock);
        held.insert(path);
    }
    void release(const QString& path)
    {
        std::lock_guard g(lock);
        held.remove(path);
        changed.notify_all();
    }
    int analysedCount(const QString& path = {})
    {
        std::lock_guard g(lock);
        return path.isEmpty() ? analysed.size() : analysed.count(path);
    }
    int returnedCount()
    {
        std::lock_guard g(lock);
        return returned;
    }
    bool isRunning(const QString& path)
    {
        std::lock_guard g(lock);
        return running > 0 && analysed.contains(path);
    }
};

Analyser gatedAnalyser(const std::shared_ptr<Gate>& gate)
{
    return [gate](const QString& path, const QVariantMap& options,
                  taglink::TaglinkStayOpenProcess* exiftool) {
        {
            std::unique_lock g(gate->lock);
            gate->analysed.append(path);
            gate->threadNames.insert(QThread::currentThread()->objectName());
            gate->options.push_back(options);
            ++gate->running;
            gate->changed.wait(g, [&] { return !gate->held.contains(path); });
        }
        PerspixDataPtr data = PerspixData::dataAboutFile(path, options, exiftool);
        std::lock_guard g(gate->lock);
        --gate->running;
        ++gate->returned;
        return data;
    };
}

QVariantMap fixedOptions()
{
    return {{keys::kOptUseSIUnits, true}, {keys::kOptVideoUtility, QStringLiteral("mediainfo")}};
}

// Whether the real analysis reads the file: the status expected from the cacher follows.
bool analysable(const QString& path)
{
    LogCapture quiet;
    return PerspixData::dataAboutFile(path, fixedOptions()) != nullptr;
}

class DataCacherTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // Workers that are given no options read the store: never the user's.
        Settings::registerDefaults();
        Settings::useStoreFile(m_dir.filePath(QStringLiteral("settings.ini")));
        m_cacher.setDelegate(&m_recorder);
        m_cacher.setOptionsProvider(fixedOptions);
        m_cacher.setAnalyser(gatedAnalyser(m_gate));
    }
    void TearDown() override
    {
        m_cacher.cancelThreadsAndWait();
        Settings::useStoreFile(QString());
    }

    Filelist itemsFor(const QStringList& paths)
    {
        Filelist items;
        for (const QString& p : paths)
            items.append(FilelistItem::itemWithFilename(p, QFileInfo(p).fileName()));
        return items;
    }
    // Waits until the cacher has delivered n messages and has no worker left.
    void waitForMessages(size_t n, int timeoutMs = 20000)
    {
        ASSERT_TRUE(waitUntil([&] { return m_recorder.results.size() >= n; }, timeoutMs))
            << m_recorder.results.size() << " of " << n;
        ASSERT_TRUE(waitUntil([&] { return m_cacher.runningWorkers() == 0; }));
        QCoreApplication::processEvents();
    }

    TempDir m_dir;
    LogCapture m_log;
    Recorder m_recorder;
    std::shared_ptr<Gate> m_gate = std::make_shared<Gate>();
    DataCacher m_cacher;
};

QStringList sampleFiles()
{
    QStringList files;
    for (const QString& folder : {QStringLiteral("media"), QStringLiteral("audio")})
        for (const QString& name : QDir(dataPath(folder)).entryList(QDir::Files, QDir::Name))
            files.append(dataPath(folder + QLatin1Char('/') + name));
    return files;
}

} // namespace

TEST(DataCacherRules, WorkerCountsForModesAndCores)
{
    struct Case
    {
        quint32 mode;
        qsizetype entries;
        int cores;
        int expected;
    };
    const Case cases[] = {
        {4, 100, 2, 2},   {8, 100, 16, 8},  {8, 25, 16, 3},   {1, 100, 16, 1},  {2, 10, 8, 1},
        {256, 10, 16, 1}, {8, 10, 16, 1},   {256, 11, 16, 2}, {256, 100, 4, 4}, {256, 1000, 64, 64},
        {2, 100, 1, 1},   {4, 100, 4, 4},   {8, 100, 4, 4},   {2, 30, 8, 2},    {256, 200, 1, 1},
        {3, 100, 16, 1},  {16, 100, 16, 1}, {256, 0, 4, 1},   {256, 21, 0, 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DataCacher::numberOfWorkers(c.mode, c.entries, c.cores), c.expected)
            << "mode " << c.mode << ", " << c.entries << " entries, " << c.cores << " cores";
}

TEST(DataCacherRules, ModeValues)
{
    DataCacher cacher;
    EXPECT_EQ(cacher.mode(), 1u);
    const std::pair<quint32, quint32> cases[] = {{0, 1}, {1, 1},  {2, 2},     {3, 1},  {4, 4},
                                                 {8, 8}, {16, 1}, {256, 256}, {255, 1}};
    for (const auto& [given, stored] : cases) {
        cacher.setMTMode(given);
        EXPECT_EQ(cacher.mode(), stored) << given;
    }
}

TEST(DataCacherRules, ClaimsAndWaitingEntriesWithoutThreads)
{
    DataCacher cacher;
    Recorder recorder;
    cacher.setDelegate(&recorder);
    const FilelistItemPtr item = FilelistItem::itemWithFilename("/nowhere/a.mov", "a.mov");
    const QString path = item->filename();

    EXPECT_EQ(cacher.setFileIsInProcess(path, true), ClaimResult::Claimed);
    EXPECT_EQ(cacher.setFileIsInProcess(path, true), ClaimResult::Busy);
    EXPECT_EQ(cacher.setFileIsInProcess(path, false), ClaimResult::Busy);
    cacher.setFileIsProcessed(path);
    EXPECT_EQ(cacher.setFileIsInProcess(path, true), ClaimResult::Done);

    // A failure answers the entry and both waiting entries, these without the item.
    cacher.dataReady(nullptr, item, kStatusFailed);
    QCoreApplication::processEvents();
    ASSERT_EQ(recorder.results.size(), 3u);
    EXPECT_EQ(recorder.results[0].file, item);
    for (size_t i = 1; i < 3; ++i) {
        EXPECT_FALSE(recorder.results[i].file);
        EXPECT_EQ(recorder.results[i].status, kStatusFailed);
    }
    EXPECT_TRUE(cacher.isFileFailed(path));

    // The waiting entries are answered once: a later result sends one message.
    cacher.removeFileFromCache(path);
    const auto data = std::make_shared<PerspixData>(path);
    cacher.dataReady(data, item, kStatusAnalysed);
    QCoreApplication::processEvents();
    ASSERT_EQ(recorder.results.size(), 4u);
    EXPECT_EQ(recorder.results[3].data, data);
    EXPECT_FALSE(cacher.isFileFailed(path));
    EXPECT_EQ(cacher.dataFromCacheForFile(path), data);

    // With the delegate cleared nothing is sent, not even what was queued before.
    cacher.dataReady(data, item, kStatusAnalysed);
    cacher.setDelegate(nullptr);
    QCoreApplication::processEvents();
    EXPECT_EQ(recorder.results.size(), 4u);

    // The queue is a stack: the last entry comes first.
    const FilelistItemPtr other = FilelistItem::itemWithFilename("/nowhere/b.mov", "b.mov");
    EXPECT_TRUE(cacher.processFileFirstly(item));
    EXPECT_TRUE(cacher.processFileFirstly(other));
    EXPECT_EQ(cacher.nextFile()->file, other);
    const auto first = cacher.nextFile();
    EXPECT_EQ(first->file, item);
    EXPECT_TRUE(first->forced);
    EXPECT_FALSE(cacher.nextFile().has_value());
}

TEST_F(DataCacherTest, AnalysesEveryFileOnceAndAnswersOnTheCreatingThread)
{
    QStringList paths = sampleFiles();
    paths.append(m_dir.filePath("missing.mov"));
    const Filelist items = itemsFor(paths);
    m_cacher.setMTMode(256);
    m_cacher.processFiles(items);
    waitForMessages(items.size());

    EXPECT_TRUE(m_recorder.allOnMainThread);
    ASSERT_EQ(m_recorder.results.size(), static_cast<size_t>(items.size()));
    EXPECT_EQ(m_gate->threadNames, QSet<QString>{"DataCacherThread"});
    for (const FilelistItemPtr& item : items) {
        const QString path = item->filename();
        const auto results = m_recorder.forPath(path);
        ASSERT_EQ(results.size(), 1u) << path.toStdString();
        const bool ok = analysable(path);
        EXPECT_EQ(results[0].file, item);
        EXPECT_EQ(results[0].status, ok ? kStatusAnalysed : kStatusFailed) << path.toStdString();
        EXPECT_EQ(results[0].data != nullptr, ok);
        EXPECT_EQ(m_cacher.dataFromCacheForFile(path), results[0].data);
        EXPECT_TRUE(m_cacher.isFileProcessed(path));
        EXPECT_EQ(m_cacher.isFileFailed(path), !ok);
        EXPECT_EQ(m_gate->analysedCount(path), 1);
    }
    EXPECT_FALSE(analysable(m_dir.filePath("missing.mov")));
}

TEST_F(DataCacherTest, SamePathQueuedTwiceWhileInProcess)
{
    if (DataCacher::activeProcessorCores() < 2)
        GTEST_SKIP() << "needs two workers";
    const QString busy = dataPath("media/paris.mp4");
    QStringList paths{busy, busy};
    for (int i = 0; i < 10; ++i)
        paths.append(m_dir.write(QStringLiteral("f%1.mov").arg(i), "not media"));
    const Filelist items = itemsFor(paths);
    m_gate->hold(busy);
    m_cacher.setMTMode(2);
    m_cacher.processFiles(items);

    // One worker holds the file; the other finds it busy and goes on with the rest.
    ASSERT_TRUE(waitUntil([&] { return m_recorder.results.size() == 10; }));
    EXPECT_EQ(m_recorder.forPath(busy).size(), 0u);
    m_gate->release(busy);
    waitForMessages(12);

    const auto results = m_recorder.forPath(busy);
    ASSERT_EQ(results.size(), 2u);
    const bool ok = analysable(busy);
    EXPECT_TRUE(results[0].file == items[0] || results[0].file == items[1]);
    EXPECT_EQ(results[0].status, ok ? kStatusAnalysed : kStatusFailed);
    EXPECT_FALSE(results[1].file); // the waiting entry's answer carries no item
    EXPECT_EQ(results[1].status, ok ? kStatusCached : kStatusFailed);
    EXPECT_EQ(results[1].data, results[0].data);
    EXPECT_EQ(m_gate->analysedCount(busy), 1);
}

TEST_F(DataCacherTest, UserRequestsAnsweredFromTheCacheOrAnalysedAgain)
{
    const QString path = dataPath("audio/song.mp3");
    const FilelistItemPtr item = itemsFor({path}).first();
    m_cacher.processFiles({item});
    waitForMessages(1);
    const bool ok = analysable(path);
    EXPECT_EQ(m_recorder.results[0].status, ok ? kStatusAnalysed : kStatusFailed);

    // Selected after its analysis: from the cache, status 4, no data, no new analysis.
    ASSERT_TRUE(m_cacher.processFileFirstly(item));
    m_cacher.processFiles({});
    waitForMessages(2);
    EXPECT_EQ(m_recorder.results[1].status, kStatusCachedOnRequest);
    EXPECT_EQ(m_recorder.results[1].file, item);
    EXPECT_FALSE(m_recorder.results[1].data);
    EXPECT_EQ(m_gate->analysedCount(path), 1);

    // Re-analysis of the current file: removed from the cache, analysed again, status 3.
    m_cacher.removeFileFromCache(path);
    EXPECT_FALSE(m_cacher.isFileProcessed(path));
    ASSERT_TRUE(m_cacher.processFileFirstly(item));
    m_cacher.processFiles({});
    waitForMessages(3);
    EXPECT_EQ(m_recorder.results[2].status, ok ? kStatusAnalysedOnRequest : kStatusFailed);
    EXPECT_EQ(m_recorder.results[2].data != nullptr, ok);
    EXPECT_EQ(m_gate->analysedCount(path), 2);
}

TEST_F(DataCacherTest, FilesAddedWhileWorkersRunComeAfterTheWaitingOnes)
{
    const QStringList names{"a", "b", "x", "c", "d", "e"};
    QStringList paths;
    for (const QString& n : names)
        paths.append(m_dir.write(n + QStringLiteral(".mov"), "not media"));
    const Filelist items = itemsFor(paths);
    m_gate->hold(paths[0]);
    m_cacher.setMTMode(1);
    m_cacher.processFiles({items[0], items[1], items[2]});
    ASSERT_TRUE(waitUntil([&] { return m_gate->isRunning(paths[0]); }));

    m_cacher.processFiles({items[3], items[4]});
    EXPECT_FALSE(m_cacher.processFileFirstly(items[5])); // a worker runs: nothing to start
    EXPECT_EQ(m_cacher.runningWorkers(), 1);
    m_gate->release(paths[0]);
    waitForMessages(6);

    QStringList order;
    for (const QString& p : m_gate->analysed)
        order.append(QFileInfo(p).baseName());
    EXPECT_EQ(order, QStringList({"a", "e", "b", "x", "d", "c"}));
    const auto forced = m_recorder.forPath(paths[5]);
    ASSERT_EQ(forced.size(), 1u);
    EXPECT_EQ(forced[0].status, analysable(paths[5]) ? kStatusAnalysedOnRequest : kStatusFailed);
}

TEST_F(DataCacherTest, FileRemovedWhileQueuedFails)
{
    const QString first = m_dir.copyData("media/paris.mp4", "first.mp4");
    const QString doomed = m_dir.copyData("media/clip.webm", "doomed.webm");
    m_gate->hold(first);
    m_cacher.processFiles(itemsFor({first, doomed}));
    ASSERT_TRUE(waitUntil([&] { return m_gate->isRunning(first); }));
    ASSERT_TRUE(QFile::remove(doomed));
    m_gate->release(first);
    waitForMessages(2);
    const auto results = m_recorder.forPath(doomed);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].status, kStatusFailed);
    EXPECT_TRUE(m_cacher.isFileFailed(doomed));
}

TEST_F(DataCacherTest, CancelAndWaitReturnsAfterTheFileInHand)
{
    QStringList paths;
    for (int i = 0; i < 30; ++i)
        paths.append(m_dir.write(QStringLiteral("f%1.mov").arg(i, 2, 10, QLatin1Char('0')), ""));
    m_gate->hold(paths[0]);
    m_cacher.setMTMode(1);
    m_cacher.processFiles(itemsFor(paths));
    ASSERT_TRUE(waitUntil([&] { return m_gate->isRunning(paths[0]); }));

    std::thread releaser([gate = m_gate, path = paths[0]] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        gate->release(path);
    });
    QElapsedTimer timer;
    timer.start();
    m_cacher.cancelThreadsAndWait();
    const qint64 waited = timer.elapsed();
    releaser.join();

    EXPECT_GE(waited, 50);
    EXPECT_LT(waited, 10000);
    EXPECT_EQ(m_cacher.runningWorkers(), 0);
    EXPECT_EQ(m_gate->analysedCount(), 1); // nothing after the file in hand
    QCoreApplication::processEvents();
    EXPECT_TRUE(m_recorder.results.empty()); // the result in hand is dropped
    EXPECT_EQ(m_cacher.queuedEntries(), 29);

    // The entries left behind are analysed by the next workers.
    m_cacher.processFiles({});
    waitForMessages(29);
    EXPECT_EQ(m_gate->analysedCount(), 30);
}

// Closing a window cancels: an ExifTool that reads for ever is stopped at once, and the file
// it was reading is not taken for failed but waits for the next workers.
TEST_F(DataCacherTest, CancelStopsAnExifToolThatReadsForEver)
{
    TempDir home;
    home.write(".ExifTool_config", "%Image::ExifTool::UserDefined = ('Image::ExifTool::Composite'"
                                   " => { PerspixSlow => { Require => 'FileName', ValueConv =>"
                                   " q{ sleep(60) if $val =~ /slow/; $val } } });\n1;\n");
    qputenv("EXIFTOOL_HOME", QFile::encodeName(home.path()));
    const QString slow = m_dir.copyData("audio/stereo.wav", "slow.wav");
    m_cacher.setOptionsProvider([] {
        return QVariantMap{{keys::kOptVideoUtility, keys::kVideoUtilityExiftool}};
    });
    m_cacher.setMTMode(1);
    m_cacher.processFiles(itemsFor({slow}));
    ASSERT_TRUE(waitUntil([&] { return m_gate->isRunning(slow); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(1500)); // ExifTool is asleep
    QElapsedTimer timer;
    timer.start();
    m_cacher.cancelThreadsAndWait();
    qunsetenv("EXIFTOOL_HOME");
    EXPECT_LT(timer.elapsed(), 5000);
    EXPECT_FALSE(m_cacher.isFileFailed(slow));
    EXPECT_FALSE(m_cacher.isFileProcessed(slow));
    EXPECT_EQ(m_cacher.queuedEntries(), 1);
    QDir proc("/proc");
    for (const QString& pid : proc.entryList(QDir::Dirs)) {
        QFile cmdline(proc.filePath(pid + "/cmdline"));
        QFile status(proc.filePath(pid + "/status"));
        if (!cmdline.open(QIODevice::ReadOnly) || !status.open(QIODevice::ReadOnly))
            continue;
        const bool ours = status.readAll().contains(
            QByteArray("\nPPid:\t" + QByteArray::number(::getpid()) + "\n"));
        EXPECT_FALSE(ours && cmdline.readAll().contains("exiftool")) << pid.toStdString();
    }
}

TEST_F(DataCacherTest, DestroyedWhileAWorkerIsBusy)
{
    const QString path = dataPath("media/paris.mp4");
    auto cacher = std::make_unique<DataCacher>();
    Recorder recorder;
    cacher->setDelegate(&recorder);
    cacher->setOptionsProvider(fixedOptions);
    cacher->setAnalyser(gatedAnalyser(m_gate));
    m_gate->hold(path);
    cacher->processFiles(itemsFor({path, dataPath("audio/song.mp3")}));
    ASSERT_TRUE(waitUntil([&] { return m_gate->isRunning(path); }));
    cacher.reset(); // returns at once
    m_gate->release(path);
    ASSERT_TRUE(waitUntil([] { return DataCacher::liveWorkerThreads() == 0; }));
    QCoreApplication::processEvents();
    EXPECT_TRUE(recorder.results.empty());
    EXPECT_EQ(m_gate->analysedCount(), 1);
}

TEST_F(DataCacherTest, OddNamesAndManyEmptyFilesAllEnd)
{
    QDir().mkpath(m_dir.filePath("odd"));
    m_dir.write("odd/line\nbreak.mov", "x");
    const QByteArray invalid = QFile::encodeName(m_dir.filePath("odd/")) + "bad\xff.mov";
    ::close(::open(invalid.constData(), O_CREAT | O_WRONLY, 0644));
    const std::unique_ptr<const char, void (*)(const char*)> removeInvalid(
        invalid.constData(), [](const char* p) { ::unlink(p); });
    // A pipe, and a link to it: reading either would block a worker for good.
    ASSERT_EQ(::mkfifo(QFile::encodeName(m_dir.filePath("odd/pipe.mp4")).constData(), 0644), 0);
    ASSERT_TRUE(QFile::link(m_dir.filePath("odd/pipe.mp4"), m_dir.filePath("odd/pipe.jpg")));
    QDir().mkpath(m_dir.filePath("odd/many"));
    for (int i = 0; i < 2000; ++i)
        ::close(::open(
            QFile::encodeName(m_dir.filePath(QStringLiteral("odd/many/%1").arg(i))).constData(),
            O_CREAT | O_WRONLY, 0644));
    const Filelist items = FilelistFiller::fillerWithPaths({m_dir.filePath("odd")}).filelist();
    ASSERT_EQ(items.size(), 2004);
    m_cacher.setAnalyser({}); // the plain analysis
    m_cacher.setMTMode(256);
    m_cacher.processFiles(items);
    waitForMessages(items.size(), 120000);
    EXPECT_EQ(m_recorder.results.size(), static_cast<size_t>(items.size()));
    for (const FilelistItemPtr& item : items)
        EXPECT_TRUE(m_cacher.isFileProcessed(item->filename()));
}

TEST_F(DataCacherTest, WorkersReadTheirOptionsFromTheStore)
{
    {
        Settings store;
        store.setValue(prefs::kUseSystemMetadata, false);
        store.setValue(prefs::kVideoUtility, QStringLiteral("exiftool"));
        store.setValue(prefs::kComputeFileHashes, true);
    }
    std::atomic<int> processes{0};
    m_cacher.setOptionsProvider({});
    m_cacher.setExiftoolFactory([&processes]() -> ExiftoolProcessPtr {
        ++processes;
        return nullptr;
    });
    m_cacher.processFiles(itemsFor({m_dir.write("a.mov", "x"), m_dir.write("b.mov", "y")}));
    waitForMessages(2);
    EXPECT_EQ(processes.load(), 1); // one process per worker, not per file
    ASSERT_EQ(m_gate->options.size(), 2u);
    const QVariantMap& o = m_gate->options[0];
    EXPECT_EQ(o.value(keys::kOptSkipExtAttributes), true);
    EXPECT_EQ(o.value(keys::kOptVideoUtility), "exiftool");
    EXPECT_EQ(o.value(keys::kOptComputeFileHashes), true);
    EXPECT_EQ(o.value(keys::kOptUseSIUnits), true);
}
