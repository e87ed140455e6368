// The run of perspix-cli: file list, batch engine, ordered output, progress.
#include "cli/CliRun.h"

#include <QBuffer>

#include "filelist/FilelistFiller.h"
#include "model/HelperKeys.h"
#include "model/Keys.h"
#include "model/Log.h"
#include "model/NativePath.h"
#include "model/Settings.h"

namespace perspix::cli {

namespace {
const QString kCanNotProcess = QStringLiteral("Can not process the file");
} // namespace

CliRun::CliRun(const CliOptions& options, const QVariantMap& analysisOptions, QTextStream& out,
               QTextStream& err, bool showProgress)
    : OrderedRun(err, showProgress), m_options(options), m_analysisOptions(analysisOptions),
      m_out(out)
{
}

std::optional<QStringList> CliRun::listedPaths()
{
    if (CommandLineExport::isProjectArgument(m_options.paths))
        return pathsOrProject(m_options.paths);
    return absolutePaths(m_options.paths);
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
    listFiles(*paths);
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
    // The summaries are kept apart in the store, and no export writes the cover; the JSON
    // forms write the export record alone.
    const bool recordOnly =
        m_options.format == QLatin1String("json") || m_options.format == QLatin1String("jsonl");
    // A summary needs the general record alone: the helper sends no more.
    QVariantMap analysisOptions = m_analysisOptions;
    if (!m_options.exporting())
        analysisOptions.insert(keys::kOptSummaryOnly, true);
    analyse(m_options.threads, analysisOptions,
            m_options.noStore ? nullptr : ResultStore::forSettings(Settings()),
            {recordOnly ? ResultStore::Part::ExportRecord : ResultStore::Part::WithoutCover,
             !m_options.exporting()});
    return finish();
}

void CliRun::handedOver()
{
    m_out.flush();
}

void CliRun::handleItem(const FilelistItem& item, const PerspixDataPtr& data)
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
    printSummary(item, data->stringForExportGeneral().value_or(kCanNotProcess));
}

void CliRun::handleSummary(const FilelistItem& item, const QString& summary)
{
    printSummary(item, summary);
}

void CliRun::printSummary(const FilelistItem& item, const QString& summary)
{
    const QString shown = NativePath::shown(item.prefixedPath());
    if (m_blocks++ > 0)
        m_out << '\n';
    m_out << shown << '\n' << QString(shown.size(), QLatin1Char('-')) << '\n';
    m_out << summary << '\n';
}

} // namespace perspix::cli
