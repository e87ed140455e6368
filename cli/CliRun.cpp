// The run of perspix-cli: file list, batch engine, ordered output, progress.
#include "cli/CliRun.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QTimer>

#include "filelist/FilelistFiller.h"
#include "model/HelperKeys.h"
#include "model/Keys.h"
#include "model/Log.h"
#include "model/NativePath.h"
#include "model/Settings.h"

namespace perspix::cli {

namespace {
constexpr int kStallCheckMs = 250;
const QString kCanNotProcess = QStringLiteral("Can not process the file");
} // namespace

CliRun::CliRun(const CliOptions& options, const QVariantMap& analysisOptions, QTextStream& out,
               QTextStream& err, bool showProgress)
    : m_options(options), m_analysisOptions(analysisOptions), m_out(out), m_err(err),
      m_progress(err, showProgress)
{
}

CliRun::~CliRun()
{
    m_cacher.setDelegate(nullptr);
    m_cacher.cancelThreadsAndWait();
}

std::optional<QStringList> CliRun::listedPaths()
{
    if (!CommandLineExport::isProjectArgument(m_options.paths))
        return absolutePaths(m_options.paths);
    QStringList messages;
    std::optional<QStringList> documents;
    {
        LogCapture log; // the project's own log lines explain what was wrong with it
        documents = CommandLineExport::openProject(m_options.paths.first(), &messages);
        for (const QString& line : log.lines())
            m_err << "Perspix: " << line << '\n';
    }
    printMessages(messages);
    return documents;
}

int CliRun::saveProjectIfAsked()
{
    if (m_options.saveProject.isEmpty())
        return kExitOk;
    QStringList filenames;
    for (const FilelistItemPtr& item : m_items)
        filenames.append(item->filename());
    QStringList messages;
    const auto status = CommandLineExport::saveProject(m_options.saveProject, filenames, &messages);
    printMessages(messages);
    return status == CommandLineExport::Ok ? kExitOk : kExitFailedFiles;
}

void CliRun::printMessages(const QStringList& messages)
{
    for (const QString& message : messages)
        m_err << "perspix-cli: " << message << '\n';
    m_err.flush();
}

int CliRun::exportRecords()
{
    m_out.flush();
    if (m_stream) {
        const bool ok = m_stream->finish();
        if (m_streamBuffer)
            m_out << QString::fromUtf8(m_streamBuffer->data());
        printMessages(m_stream->messages());
        return ok ? kExitOk : kExitFailedFiles;
    }
    QStringList messages;
    CommandLineExport::Status status;
    if (QIODevice* device = m_out.device()) {
        status = CommandLineExport::run(exportRequest(m_options), m_records, *device, &messages);
    } else {
        QBuffer buffer; // a stream on a string: text formats only
        buffer.open(QIODevice::WriteOnly);
        status = CommandLineExport::run(exportRequest(m_options), m_records, buffer, &messages);
        m_out << QString::fromUtf8(buffer.data());
    }
    printMessages(messages);
    return status == CommandLineExport::Ok ? kExitOk : kExitFailedFiles;
}

// The export is opened before any file is analysed: a target that cannot be written
// ends the run before the work is spent.
bool CliRun::openExport()
{
    QIODevice* device = m_out.device();
    if (!device) {
        m_streamBuffer = std::make_unique<QBuffer>();
        m_streamBuffer->open(QIODevice::WriteOnly);
        device = m_streamBuffer.get();
    }
    m_stream = CommandLineExport::openStream(exportRequest(m_options), device);
    if (m_stream && m_stream->failed()) {
        printMessages(m_stream->messages());
        m_stream.reset();
        return false;
    }
    return true;
}

std::optional<int> CliRun::start()
{
    const std::optional<QStringList> paths = listedPaths();
    if (!paths)
        return kExitFailedFiles;
    m_items = FilelistFiller::fillerWithPaths(*paths).filelist();
    for (const FilelistItemPtr& item : m_items)
        ++m_paths[item->filename()].entries;
    m_projectStatus = saveProjectIfAsked();
    if (!m_options.saveProject.isEmpty() && !m_options.exporting())
        return m_projectStatus;
    if (m_items.isEmpty())
        return m_projectStatus;
    if (m_options.exporting() && !openExport())
        return kExitFailedFiles;
    m_progress.begin(m_items.size());
    return std::nullopt;
}

int CliRun::finish()
{
    m_progress.end();
    m_out.flush();
    m_err.flush();
    int status = m_failed > 0 ? kExitFailedFiles : kExitOk;
    if (m_options.exporting() && exportRecords() != kExitOk)
        status = kExitFailedFiles;
    return m_projectStatus != kExitOk ? m_projectStatus : status;
}

int CliRun::exec()
{
    if (const std::optional<int> status = start())
        return *status;

    m_cacher.setMTMode(m_options.threads);
    m_cacher.setDelegate(this);
    QVariantMap analysisOptions = m_analysisOptions;
    if (!m_options.exporting())
        analysisOptions.insert(keys::kOptSummaryOnly, true);
    m_cacher.setOptionsProvider([analysisOptions] { return analysisOptions; });
    if (!m_options.noStore)
        m_cacher.setResultStore(ResultStore::forSettings(Settings()));

    m_cacher.processFiles(m_items);
    QTimer stallCheck;
    QObject::connect(&stallCheck, &QTimer::timeout, [this] { checkStalled(); });
    stallCheck.start(kStallCheckMs);
    if (!m_done)
        m_loop.exec();
    stallCheck.stop();
    m_cacher.cancelThreadsAndWait();
    return finish();
}

void CliRun::dataCacherNewObjectReady(const CacherResult& result)
{
    const auto it = m_paths.find(result.filename);
    if (it == m_paths.end() || it->answered >= it->entries)
        return;
    PathState& state = *it;
    ++state.answered;
    ++m_answered;
    if (result.data)
        state.data = result.data;
    else if (PerspixDataPtr cached = m_cacher.dataFromCacheForFile(result.filename))
        state.data = cached;
    printReady();
    finishIfDone();
}

void CliRun::printReady()
{
    bool printed = false;
    while (m_nextToPrint < m_items.size()) {
        const FilelistItemPtr& item = m_items[m_nextToPrint];
        const QString path = item->filename();
        const auto it = m_paths.find(path);
        if (it == m_paths.end() || it->answered == 0)
            break;
        if (!printed) {
            m_progress.clear();
            m_progress.flushLog();
            printed = true;
        }
        printItem(*item, it->data);
        ++it->printed;
        ++m_nextToPrint;
        // The engine's cache is not needed once a file is printed and answered for good;
        // dropping it keeps the memory of long runs flat.
        if (it->printed >= it->entries && it->answered >= it->entries) {
            m_cacher.removeFileFromCache(path);
            m_paths.erase(it);
        }
    }
    if (printed) {
        m_out.flush();
        m_progress.update(m_answered, m_failed, true);
    } else {
        m_progress.update(m_answered, m_failed);
    }
}

void CliRun::printItem(const FilelistItem& item, const PerspixDataPtr& data)
{
    if (!data) {
        ++m_failed;
        m_err << "perspix-cli: failed to analyse " << NativePath::shown(item.filename());
        // A reader that stopped in its helper process says how.
        if (const QString failure = m_cacher.failureOfFile(item.filename()); !failure.isEmpty())
            m_err << ": " << failure;
        m_err << '\n';
        m_err.flush();
        return;
    }
    if (m_options.exporting()) {
        if (m_stream)
            m_stream->add({item.filename(), item.prefixedPath(), data});
        else
            m_records.append({item.filename(), item.prefixedPath(), data});
        return;
    }
    const QString shown = NativePath::shown(item.prefixedPath());
    if (m_blocks++ > 0)
        m_out << '\n';
    m_out << shown << '\n' << QString(shown.size(), QLatin1Char('-')) << '\n';
    m_out << data->stringForExportGeneral().value_or(kCanNotProcess) << '\n';
}

void CliRun::finishIfDone()
{
    if (m_done || m_answered < m_items.size())
        return;
    m_done = true;
    m_loop.quit();
}

// Every queued file is answered by one message; should one never come (a worker that
// ended without answering), the run still ends once no worker is left, and the files
// without an answer count as failed.
void CliRun::checkStalled()
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
    printReady();
    finishIfDone();
}

} // namespace perspix::cli
