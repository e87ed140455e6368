// Attachment extraction (see AttachmentsExtractor.h).
#include "export/AttachmentsExtractor.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <filesystem>
#include <system_error>
#include <unistd.h>

#include "model/ContainedPath.h"
#include "model/Keys.h"
#include "model/Log.h"
#include "model/NativePath.h"
#include "model/Utilities.h"
#include "readers/image/oEXIV2.h"
#include "readers/mediainfo/oMediaInfo.h"
#include "taglink/Taglink.h"

namespace perspix {

namespace {

std::filesystem::path fsPath(const QString& path)
{
    return std::filesystem::path(NativePath::encoded(path).toStdString());
}

// The folders above the path that do not exist yet, deepest first.
QStringList missingFoldersAbove(const QString& path)
{
    QStringList missing;
    QString folder = QFileInfo(path).absolutePath();
    while (!NativePath::exists(folder)) {
        missing.append(folder);
        const QString up = QFileInfo(folder).absolutePath();
        if (up == folder)
            break;
        folder = up;
    }
    return missing;
}

} // namespace

AttachmentsExtractor::AttachmentsExtractor() = default;

AttachmentsExtractor::~AttachmentsExtractor()
{
    m_run.cancel();
    m_run.wait();
}

bool AttachmentsExtractor::doProcessInFolderUrl(const QString& folder)
{
    processAll(folder);
    return true;
}

bool AttachmentsExtractor::startInFolder(const QString& folder, std::function<void()> finished)
{
    return m_run.start([this, folder] { processAll(folder); }, std::move(finished));
}

void AttachmentsExtractor::processAll(const QString& folder)
{
    beginRun();
    for (const FileRecord& record : std::as_const(m_data)) {
        if (m_run.isCancelled())
            break;
        if (willProcessTheFileBlock)
            willProcessTheFileBlock();
        const AttachmentsOutcome outcome = processRecord(record, folder);
        if (fileProcessedBlock)
            fileProcessedBlock(outcome);
        if (didProcessTheFileBlock)
            didProcessTheFileBlock();
    }
    endRun();
}

void AttachmentsExtractor::beginRun()
{
    // Without ExifTool the run goes on; Matroska files then give nothing.
    m_exiftool = taglink::TaglinkStayOpenProcess::init();
}

void AttachmentsExtractor::endRun()
{
    m_exiftool.reset();
}

AttachmentsOutcome AttachmentsExtractor::processRecord(const FileRecord& record,
                                                       const QString& folder)
{
    AttachmentsOutcome outcome;
    outcome.source = record.filename;
    const PerspixData* data = record.data.get();
    if (!data || data->isUnknown())
        return outcome;

    const QString name = QStringLiteral("%1 embedded")
                             .arg(containedRelativePath(record.pathPrefix, record.filename));
    const QString path = folder.isEmpty() ? QString() : QDir(folder).filePath(name);
    const QStringList madeAbove = path.isEmpty() ? QStringList() : missingFoldersAbove(path);
    const auto created = Utilities::createUniqueFolder(path);
    if (!created) {
        logLine(
            QStringLiteral("Failed to create folder for %1 in %2").arg(record.pathPrefix, path));
        outcome.failed = true;
        return outcome;
    }

    QStringList written;
    if (data->isImage()) {
        oEXIV2::savePreviewsOfFile(record.filename, *created, &written);
    } else if (data->format().value_or(QString()) == QLatin1String("Matroska")) {
        std::vector<std::string> files;
        taglink::Taglink::saveEmbeddedFilesFromFile(
            NativePath::encoded(record.filename).toStdString(),
            NativePath::encoded(*created).toStdString(), &files, m_exiftool.get());
        for (const std::string& file : files)
            written.append(NativePath::decoded(QByteArray::fromStdString(file)));
    } else {
        oMediaInfo::saveCoversOfFile(record.filename, *created, &written);
    }

    // Two attachments of one name are written to one path: it holds one file.
    written.removeDuplicates();
    if (written.isEmpty()) {
        // The folder is new and ours: whatever a reader left in it without listing it goes
        // too. Folders made above it go when nothing else has come into them.
        std::error_code error;
        std::filesystem::remove_all(fsPath(*created), error);
        if (error)
            logLine(QStringLiteral("failed to remove temp folder, error %1")
                        .arg(QString::fromLocal8Bit(error.message().c_str())));
        for (const QString& folderAbove : madeAbove)
            ::rmdir(NativePath::encoded(folderAbove).constData());
        return outcome;
    }
    outcome.folder = *created;
    outcome.written = written;
    return outcome;
}

} // namespace perspix
