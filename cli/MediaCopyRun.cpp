// The copy and extraction runs of perspix-cli: file list, batch engine, one file after the
// other in list order, progress.
#include "cli/MediaCopyRun.h"

#include <QFileInfo>

#include "export/AttachmentsExtractor.h"
#include "export/CommandLineExport.h"
#include "model/Keys.h"
#include "model/Log.h"
#include "model/NativePath.h"
#include "readers/image/MetadataRemover.h"

namespace perspix::cli {

MediaCopyRun::MediaCopyRun(const CliOptions& options, const QVariantMap& analysisOptions,
                           QTextStream& out, QTextStream& err, bool showProgress)
    : OrderedRun(err, showProgress), m_options(options.copy), m_paths(options.paths),
      m_threads(options.threads), m_analysisOptions(analysisOptions), m_out(out)
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

// The workers stop before the remover and the extractor go.
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

    std::optional<QStringList> paths = CommandLineExport::isProjectArgument(m_paths)
                                           ? pathsOrProject(m_paths)
                                           : absolutePaths(m_paths);
    if (!paths)
        return kExitFailedFiles;
    listFiles(*paths);

    if (m_options.mode == MediaCopyOptions::Mode::Strip) {
        m_remover = std::make_unique<MetadataRemover>();
        m_remover->setMetadata(m_options.parts);
        m_remover->setPrivacyStrip(m_options.privacy);
    } else {
        m_extractor = std::make_unique<AttachmentsExtractor>();
        m_extractor->beginRun();
    }

    analyse(m_threads, m_analysisOptions);

    if (m_extractor)
        m_extractor->endRun();
    m_progress.end();
    m_out.flush();
    m_err << "perspix-cli: " << m_items.size() << (m_items.size() == 1 ? " file, " : " files, ")
          << m_written << " written, " << m_failed << " failed\n";
    m_err.flush();
    return kExitOk;
}

void MediaCopyRun::handleItem(const FilelistItem& item, const PerspixDataPtr& data)
{
    QStringList written;
    bool failed = false;
    if (!data) {
        failed = true;
        const QString failure = m_cacher.failureOfFile(item.filename());
        logLine(failure.isEmpty()
                    ? QStringLiteral("failed to analyse %1").arg(item.filename())
                    : QStringLiteral("failed to analyse %1: %2").arg(item.filename(), failure));
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
    // The bar comes back after the items that were ready.
    m_progress.clear();
    for (const QString& path : written)
        m_out << NativePath::shown(path) << '\n';
    m_out.flush();
    m_written += written.size();
}

} // namespace perspix::cli
