// Metadata removal on copies (see MetadataRemover.h).
#include "readers/image/MetadataRemover.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

#include "model/ContainedPath.h"
#include "model/Log.h"
#include "model/NativePath.h"
#include "model/Utilities.h"
#include "privacy/PrivacyRemoval.h"
#include "taglink/Taglink.h"

namespace perspix {

namespace {

const QString kPartExif = QStringLiteral("exif");
const QString kPartMakernote = QStringLiteral("makernote");
const QString kPartGps = QStringLiteral("gps");
const QString kPartIptc = QStringLiteral("iptc");
const QString kPartXmp = QStringLiteral("xmp");

std::string encoded(const QString& path)
{
    return NativePath::encoded(path).toStdString();
}

QString errnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Makes the folder and its missing parents; the reason when that fails.
std::optional<QString> makeFolder(const QString& path)
{
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(encoded(path)), error);
    if (error)
        return QString::fromLocal8Bit(error.message().c_str());
    struct stat st;
    if (::stat(encoded(path).c_str(), &st) != 0)
        return errnoText(errno);
    if (!S_ISDIR(st.st_mode))
        return QStringLiteral("not a folder");
    return std::nullopt;
}

// A copy that still carries what was to be removed must not stand under a name that
// looks done.
void discardCopy(const QString& copy, const QString& why)
{
    if (::unlink(encoded(copy).c_str()) == 0)
        logLine(QStringLiteral("Removed the copy '%1': %2").arg(copy, why));
    else
        logLine(QStringLiteral("Failed to remove the copy '%1' (%2): %3")
                    .arg(copy, why, errnoText(errno)));
}

} // namespace

MetadataRemover::MetadataRemover() = default;

MetadataRemover::~MetadataRemover()
{
    m_run.cancel();
    m_run.wait();
}

void MetadataRemover::setMetadataParts(const QVariantMap& parts)
{
    const auto isSet = [&parts](const QString& key) {
        return parts.contains(key) && parts.value(key).toBool();
    };
    m_metadata = oEXIV2Metadata{};
    m_metadata.exif = isSet(kPartExif);
    m_metadata.makernote = isSet(kPartMakernote);
    m_metadata.gps = isSet(kPartGps);
    m_metadata.iptc = isSet(kPartIptc);
    m_metadata.xmp = isSet(kPartXmp);
}

bool MetadataRemover::doProcessInFolderUrl(const QString& folder)
{
    processAll(folder);
    if (m_delegate)
        m_delegate->metadataRemoverDidFinish(this, kResultFinished);
    return true;
}

bool MetadataRemover::startInFolder(const QString& folder)
{
    return m_run.start([this, folder] { processAll(folder); },
                       [this] {
                           if (m_delegate)
                               m_delegate->metadataRemoverDidFinish(this, kResultFinished);
                       });
}

void MetadataRemover::processAll(const QString& folder)
{
    for (const FileRecord& record : std::as_const(m_data)) {
        if (m_run.isCancelled())
            break;
        if (willProcessTheFileBlock)
            willProcessTheFileBlock();
        const MetadataRemovalOutcome outcome = processRecord(record, folder);
        if (fileProcessedBlock)
            fileProcessedBlock(outcome);
        if (didProcessTheFileBlock)
            didProcessTheFileBlock();
    }
}

MetadataRemovalOutcome MetadataRemover::processRecord(const FileRecord& record,
                                                      const QString& folder)
{
    MetadataRemovalOutcome outcome;
    outcome.source = record.filename;

    const QString relative = containedRelativePath(record.pathPrefix, record.filename);
    const auto target = folder.isEmpty()
                            ? std::nullopt
                            : Utilities::uniqueFilename(QDir(folder).filePath(relative));
    if (!target) {
        logLine(QStringLiteral("Failed to find unique name for %1 in %2")
                    .arg(record.pathPrefix, folder));
        return outcome;
    }
    const QString parent = QFileInfo(*target).absolutePath();
    if (const auto error = makeFolder(parent)) {
        logLine(QStringLiteral("Failed to create subdirectory %1 : %2").arg(parent, *error));
        return outcome;
    }

    if (m_privacyStrip != privacy::Strip::None) {
        if (!m_privacyReader)
            m_privacyReader = std::make_unique<privacy::PrivacyReader>();
        const privacy::CopyResult result =
            privacy::writeCopy(record, *target, m_privacyStrip, m_privacyReader.get());
        if (result != privacy::CopyResult::Failed) {
            outcome.kind = result == privacy::CopyResult::Stripped
                               ? MetadataRemovalOutcome::Kind::Stripped
                               : MetadataRemovalOutcome::Kind::Copied;
            outcome.copyPath = *target;
        }
        return outcome;
    }

    const PerspixData* data = record.data.get();
    if (data && m_metadata.gps && data->isVideo() &&
        data->format().value_or(QString()) == QLatin1String("MPEG-4")) {
        const bool isQuickTime =
            data->formatProfile().value_or(QString()) == QLatin1String("QuickTime");
        if (removeLocationFromMPEG4VideoFile(record.filename, *target, isQuickTime)) {
            if (!copyShowsNoPosition(record, *target))
                return outcome;
            outcome.kind = MetadataRemovalOutcome::Kind::LocationRemoved;
            outcome.copyPath = *target;
        } else {
            // A plain copy would still say where the film was made.
            logLine(QStringLiteral("No copy of '%1' was made: its location could not be removed")
                        .arg(record.filename));
        }
        return outcome;
    }

    QString error;
    if (!NativePath::copy(record.filename, *target, &error)) {
        logLine(QStringLiteral("Failed to copy '%1' to '%2' : %3")
                    .arg(record.filename, *target, error));
        return outcome;
    }
    if (!data || !data->isImage()) {
        outcome.kind = MetadataRemovalOutcome::Kind::Copied;
        outcome.copyPath = *target;
        return outcome;
    }

    // The copy keeps the source's permissions; a read-only one is opened for writing for
    // the time of the removal.
    struct stat st;
    const std::string targetBytes = encoded(*target);
    const bool haveMode = ::stat(targetBytes.c_str(), &st) == 0;
    const bool addWrite = haveMode && !(st.st_mode & S_IWUSR);
    if (addWrite)
        ::chmod(targetBytes.c_str(), (st.st_mode & 07777) | S_IWUSR);
    const bool removed = removeImageMetadataFromFile(*target);
    if (!removed) {
        discardCopy(*target, QStringLiteral("its metadata could not be removed"));
        return outcome;
    }
    if (addWrite)
        ::chmod(targetBytes.c_str(), st.st_mode & 07777);
    if (m_metadata.gps && !copyShowsNoPosition(record, *target))
        return outcome;
    outcome.kind = MetadataRemovalOutcome::Kind::Stripped;
    outcome.copyPath = *target;
    return outcome;
}

bool MetadataRemover::copyShowsNoPosition(const FileRecord& record, const QString& copy)
{
    if (!m_privacyReader)
        m_privacyReader = std::make_unique<privacy::PrivacyReader>();
    const privacy::Report report = m_privacyReader->reportOf(copy, record.data.get());
    QStringList left;
    for (const privacy::Finding& finding : report.findings) {
        // A film's location is its position; a picture keeps the place names that only
        // the IPTC or XMP part (not the GPS part) removes.
        const bool position = !finding.details.isEmpty() || !(record.data && record.data->isImage());
        if (finding.category == privacy::Category::Location &&
            finding.level == privacy::Level::High && position)
            left.append(QStringLiteral("%1 (%2)").arg(finding.name, finding.value));
    }
    if (report.complete && left.isEmpty())
        return true;
    discardCopy(copy, report.complete ? QStringLiteral("the copy still showed %1")
                                            .arg(left.join(QStringLiteral(", ")))
                                      : QStringLiteral("the copy could not be read back"));
    return false;
}

bool MetadataRemover::removeImageMetadataFromFile(const QString& path) const
{
    // A folder of its own in the temporary folder: a link left by another run, or a file of
    // the same name, cannot get in the way.
    QTemporaryDir linkFolder(QDir::tempPath() + QStringLiteral("/perspix-strip-XXXXXX"));
    const QString link = linkFolder.filePath(QFileInfo(path).fileName());
    if (!linkFolder.isValid()) {
        logLine(QStringLiteral("Failed to create temporary symlink %1, error: %2")
                    .arg(link, linkFolder.errorString()));
        return false;
    }
    const QString linkTarget = QFileInfo(path).absoluteFilePath();
    if (::symlink(encoded(linkTarget).c_str(), encoded(link).c_str()) != 0) {
        logLine(QStringLiteral("Failed to create temporary symlink %1, error: %2")
                    .arg(link, errnoText(errno)));
        return false;
    }
    const bool result = oEXIV2::removeMetadata(m_metadata, link);
    if (::unlink(encoded(link).c_str()) != 0)
        logLine(
            QStringLiteral("Failed to remove temporary symlink, error: %1").arg(errnoText(errno)));
    return result;
}

bool MetadataRemover::removeLocationFromMPEG4VideoFile(const QString& source, const QString& target,
                                                       bool /*isQuickTime*/)
{
    if (::access(encoded(source).c_str(), R_OK) != 0) {
        logLine(QStringLiteral("Failed to create AVAsset on %1").arg(source));
        return false;
    }
    const taglink::Taglink::LocationRemoval result =
        taglink::Taglink::copyFileWithoutLocation(encoded(source), encoded(target));
    using Status = taglink::Taglink::LocationRemoval::Status;
    switch (result.status) {
    case Status::Written:
        return true;
    case Status::NotStarted:
        logLine(QStringLiteral("Failed to create ExportSession"));
        return false;
    case Status::Failed:
        break;
    }
    logLine(
        QStringLiteral("ExportSession failed with %1").arg(QString::fromStdString(result.error)));
    return false;
}

} // namespace perspix
