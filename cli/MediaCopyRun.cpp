// The copy and extraction runs of perspix-cli: file list, batch engine, one file after the
// other in list order, progress.
#include "cli/MediaCopyRun.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTimer>

#include "export/AttachmentsExtractor.h"
#include "export/CommandLineExport.h"
#include "filelist/FilelistFiller.h"
#include "model/Keys.h"
#include "model/Log.h"
#include "model/NativePath.h"
#include "readers/image/MetadataRemover.h"

namespace perspix::cli {

namespace {
constexpr int kStallCheckMs = 250;
} // namespace

MediaCopyRun::MediaCopyRun(const CliOptions& options, const QVariantMap& analysisOptions,
                           QTextStream& out, QTextStream& err, bool showProgress)
    : m_options(options.copy), m_paths(options.paths), m_threads(options.threads),
      m_analysisOptions(analysisOptions), m_out(out), m_err(err), m_progress(err, showProgress)
{
    // The copies depend on telling films, sound and images apart, which the MediaInfo
    // branch does; the digests are not needed.
    m_analysisOptions.remove(keys::kOptVideoUtility);
    m_analysisOptions.insert(keys::kOptComputeFileHashes, false);
    // The privacy removal reads images as its report does, with ExifTool beside Exiv2.
    if (m_options.mode == MediaCopyOptions::Mode::Strip &&
        m_options.privacy != privacy::Strip::None)
        m_analysisOptions = privacy::PrivacyReader::withBothReaders(m_analysisOptions);
}

MediaCopyRun::~MediaCopyRun()
{
    m_cacher.setDelegate(nullptr);
    m_cacher.cancelThreadsAndWait();
}

int MediaCopyRun::exec()
{
    const QFileInfo folder(m_options.folder);
    if (folder.exists() && !folder.isDir()) {
        m_err << "perspix-cli: " << m_options.folder << " is not a folder\n";
        m_err.flush();
        return kExitFailedFiles;
    }

    QStringList paths = absolutePaths(m_paths);
    if (CommandLineExport::isProjectArgument(m_paths)) {
        QStringList messages;
        std::optional<QStringList> documents;
        {
            LogCapture log; // the project's own log lines explain what was wrong with it
            documents = CommandLineExport::openProject(m_paths.first(), &messages);
            for (const QString& line : log.lines())
                m_err << "Perspix: " << line << '\n';
        }
        for (const QString& message : messages)
            m_err << "perspix-cli: " << message << '\n';
        m_err.flush();
        if (!documents)
            return kExitFailedFiles;
        paths = *documents;
    }

    m_items = FilelistFiller::fillerWithPaths(paths).filelist();
    for (const FilelistItemPtr& item : m_items)
        ++m_states[item->filename()].entries;

    if (m_options.mode == MediaCopyOptions::Mode::Strip) {
        m_remover = std::make_unique<MetadataRemover>();
        m_remover->setMetadata(m_options.parts);
        m_remover->setPrivacyStrip(m_options.privacy);
    } else {
        m_extractor = std::make_unique<AttachmentsExtractor>();
        m_extractor->beginRun();
    }

    if (!m_items.isEmpty()) {
        m_cacher.setMTMode(m_threads);
        m_cacher.setDelegate(this);
        const QVariantMap analysisOptions = m_analysisOptions;
        m_cacher.setOptionsProvider([analysisOptions] { return analysisOptions; });
        m_progress.begin(m_items.size());
        m_cacher.processFiles(m_items);
        QTimer stallCheck;
        QObject::connect(&stallCheck, &QTimer::timeout, [this] { checkStalled(); });
        stallCheck.start(kStallCheckMs);
        if (!m_done)
            m_loop.exec();
        stallCheck.stop();
        m_cacher.cancelThreadsAndWait();
    }

    if (m_extractor)
        m_extractor->endRun();
    m_progress.end();
    m_out.flush();
    m_err << "perspix-cli: " << m_items.size() << (m_items.size() == 1 ? " file, " : " files, ")
          << m_written << " written, " << m_failed << " failed\n";
    m_err.flush();
    return kExitOk;
}

void MediaCopyRun::dataCacherNewObjectReady(const CacherResult& result)
{
    const auto it = m_states.find(result.filename);
    if (it == m_states.end() || it->answered >= it->entries)
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

// Files are handed over in list order, so that numbered names follow the list.
void MediaCopyRun::handleReady()
{
    while (m_next < m_items.size()) {
        const FilelistItemPtr& item = m_items[m_next];
        const QString path = item->filename();
        const auto it = m_states.find(path);
        if (it == m_states.end() || it->answered == 0)
            break;
        handleItem(*item, it->data);
        ++it->handled;
        ++m_next;
        // A file handed over for good is not needed any more: dropping it keeps the memory
        // of long runs flat.
        if (it->handled >= it->entries && it->answered >= it->entries) {
            m_cacher.removeFileFromCache(path);
            m_states.erase(it);
        }
        // The last state is always shown.
        m_progress.update(m_next, m_failed, m_next == m_items.size());
    }
}

void MediaCopyRun::handleItem(const FilelistItem& item, const PerspixDataPtr& data)
{
    QStringList written;
    bool failed = false;
    if (!data) {
        failed = true;
        logLine(QStringLiteral("failed to analyse %1").arg(item.filename()));
    } else if (m_remover) {
        const MetadataRemovalOutcome outcome = m_remover->processRecord(
            {item.filename(), item.prefixedPath(), data}, m_options.folder);
        failed = outcome.kind == MetadataRemovalOutcome::Kind::Failed;
        if (!failed)
            written.append(outcome.copyPath);
    } else {
        const AttachmentsOutcome outcome = m_extractor->processRecord(
            {item.filename(), item.prefixedPath(), data}, m_options.folder);
        failed = outcome.failed;
        written = outcome.written;
    }
    if (failed)
        ++m_failed;
    m_progress.flushLog();
    if (written.isEmpty())
        return;
    // The bar comes back after the item (handleReady).
    m_progress.clear();
    for (const QString& path : written)
        m_out << NativePath::shown(path) << '\n';
    m_out.flush();
    m_written += written.size();
}

void MediaCopyRun::finishIfDone()
{
    if (m_done || m_next < m_items.size())
        return;
    m_done = true;
    m_loop.quit();
}

// Every queued file is answered by one message; should one never come, the run still ends
// once no worker is left, and the files without an answer count as failed.
void MediaCopyRun::checkStalled()
{
    if (m_done || m_cacher.runningWorkers() > 0)
        return;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
    if (m_done || m_cacher.runningWorkers() > 0 || m_cacher.queuedEntries() > 0)
        return;
    for (PathState& state : m_states) {
        if (state.answered < state.entries) {
            m_answered += state.entries - state.answered;
            state.answered = state.entries;
        }
    }
    handleReady();
    finishIfDone();
}

} // namespace perspix::cli
