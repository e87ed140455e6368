// Analyses the files of one file list on background threads and keeps the finished results
// in a cache keyed by path. Results reach the delegate on the thread that created the
// cacher, as queued calls. Does not decide what is shown; the window or front end does.
#pragma once

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QVariantMap>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "batch/ResultStore.h"
#include "filelist/FilelistItem.h"
#include "model/PerspixData.h"

namespace perspix {

// Status of a result message.
enum CacherStatus : int {
    kStatusFailed = 0,            // the analysis failed; no data
    kStatusAnalysed = 1,          // analysed now; data included
    kStatusCached = 2,            // analysed earlier; no data: read it from the cache
    kStatusAnalysedOnRequest = 3, // analysed now for a forced entry; data included
    kStatusCachedOnRequest = 4,   // analysed earlier, forced entry; read it from the cache
};

// One result message: "filename", "file" (absent for the answers to entries that waited
// for another worker), "data" when present, "status", and for a file whose reader failed
// in its helper process, what happened ("analysis stopped after 60 s").
struct CacherResult
{
    QString filename;
    FilelistItemPtr file;
    PerspixDataPtr data;
    int status = kStatusFailed;
    QString failure;
};

class DataCacherDelegate
{
public:
    virtual ~DataCacherDelegate() = default;
    virtual void dataCacherNewObjectReady(const CacherResult& result) = 0;
};

// A queued file; "forced" for entries the user put at the head.
struct QueueEntry
{
    FilelistItemPtr file;
    bool forced = false;
};

// Result of a worker's claim on a path.
enum class ClaimResult { Claimed = 0, Done = 1, Busy = 2, Cancelled = 3 };

// The ExifTool process a worker thread uses for all its files; made once per worker when
// the options select ExifTool.
using ExiftoolProcessPtr = std::shared_ptr<taglink::TaglinkStayOpenProcess>;
using ExiftoolFactory = std::function<ExiftoolProcessPtr()>;
// The analysis of one file in the worker's own thread. Without one, files are read in
// perspix-analyser helpers, one per worker, unless the options ask for the analysis in
// this process (inProcessAnalysis), which then is PerspixData::dataAboutFile.
using Analyser = std::function<PerspixDataPtr(const QString& path, const QVariantMap& options,
                                              taglink::TaglinkStayOpenProcess* exiftool)>;
// The analysis options of a worker, read once when it starts (by default from the
// settings store, on the worker's thread).
using OptionsProvider = std::function<QVariantMap()>;

// The factory that starts one ExifTool process per worker thread. Gives no process until
// the ExifTool bridge is linked into the core; analyses then report the file as failed.
ExiftoolFactory defaultExiftoolFactory();

class DataCacher
{
public:
    // Must be created and destroyed on a thread that runs an event loop: the delegate is
    // called there.
    DataCacher();
    // Stops the workers without waiting; a worker busy with a file ends after it and its
    // result is dropped.
    ~DataCacher();
    DataCacher(const DataCacher&) = delete;
    DataCacher& operator=(const DataCacher&) = delete;

    // Modes 1, 2, 4, 8 and 256 (one worker per core); any other value means 1.
    void setMTMode(quint32 mode);
    quint32 mode() const { return m_mode; }

    // The delegate (not owned). Messages still queued when it is cleared are not delivered.
    void setDelegate(DataCacherDelegate* delegate);
    DataCacherDelegate* delegate() const;

    void setOptionsProvider(OptionsProvider provider);
    void setExiftoolFactory(ExiftoolFactory factory);
    void setAnalyser(Analyser analyser);
    // Results are looked up in and kept in this store (none by default).
    void setResultStore(std::shared_ptr<ResultStore> store);

    // Queues the items and starts workers when none is running.
    void processFiles(const Filelist& items);
    // Puts the item at the head of the queue. True when no worker runs: the caller then
    // calls processFiles({}) to start one.
    bool processFileFirstly(const FilelistItemPtr& item);
    // Asks every worker to stop and forgets it; does not wait.
    void cancelThreads();
    // Asks every worker to stop and waits until none remains (each finishes the file in
    // hand first).
    void cancelThreadsAndWait();

    PerspixDataPtr dataFromCacheForFile(const QString& path) const;
    bool isFileFailed(const QString& path) const;
    // What stopped the reader of a failed file in its helper; empty for a file that simply
    // gave no result, and for one not failed.
    QString failureOfFile(const QString& path) const;
    bool isFileProcessed(const QString& path) const;
    // Forgets the file's result, so that its next queue entry analyses it again.
    void removeFileFromCache(const QString& path);

    // Worker steps, usable from any thread.
    void dataReady(const PerspixDataPtr& data, const FilelistItemPtr& file, int status);
    ClaimResult setFileIsInProcess(const QString& path, bool checkInCache);
    void setFileIsProcessed(const QString& path);
    std::optional<QueueEntry> nextFile();

    // Worker threads now running (cancelled ones are forgotten at once).
    int runningWorkers() const;
    qsizetype queuedEntries() const;
    // Worker threads alive in the process, of every cacher, cancelled ones included.
    static int liveWorkerThreads();

    // Workers for n queued entries in a mode on a machine with the given number of cores.
    static int numberOfWorkers(quint32 mode, qsizetype entries, int cores);
    static int activeProcessorCores();

private:
    struct State;
    struct Worker;
    static void workerMain(std::shared_ptr<State> state, std::shared_ptr<Worker> worker);
    static void runWorker(State& state, Worker& worker);
    void joinFinishedWorkers();

    std::shared_ptr<State> m_state;
    std::unique_ptr<QObject> m_context; // queued calls to the delegate run in its thread
    quint32 m_mode = 1;
};

} // namespace perspix
