// Copies without the privacy report's findings (see PrivacyRemoval.h).
#include "privacy/PrivacyRemoval.h"

#include <QFile>
#include <QSet>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "model/Keys.h"
#include "model/Log.h"
#include "model/NativePath.h"
#include "model/Utilities.h"
#include "readers/image/oEXIV2.h"
#include "taglink/Taglink.h"
#include "taglink/TaglinkStayOpenProcess.h"

namespace perspix::privacy {

namespace {

std::string encoded(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

void appendOnce(QStringList& list, const QString& item)
{
    if (!list.contains(item))
        list.append(item);
}

// Place names leave with the position: a copy without GPS that still names the town
// would still say where it was made.
const char* const kImageLocationDeletions[] = {
    "-GPS:All=",
    "-XMP-exif:GPS*=",
    "-IPTC:City=",
    "-IPTC:Sub-location=",
    "-IPTC:Province-State=",
    "-IPTC:Country-PrimaryLocationName=",
    "-IPTC:Country-PrimaryLocationCode=",
    "-XMP-photoshop:City=",
    "-XMP-photoshop:State=",
    "-XMP-photoshop:Country=",
    "-XMP-iptcCore:Location=",
    "-XMP-iptcCore:CountryCode=",
    "-XMP-iptcExt:LocationCreated=",
    "-XMP-iptcExt:LocationShown=",
};

// ExifTool's name for an Exiv2 key whose group both spell alike; "" for the others, which
// their ExifTool twin names.
QString exiftoolTagOfExiv2Key(const QString& key)
{
    const QStringList parts = key.split(QLatin1Char('.'));
    if (parts.size() < 3)
        return QString();
    const QString tag = parts.mid(2).join(QLatin1Char('.'));
    if (parts[0] == QLatin1String("Exif")) {
        if (parts[1] == QLatin1String("Image"))
            return QStringLiteral("IFD0:") + tag;
        if (parts[1] == QLatin1String("Photo"))
            return QStringLiteral("ExifIFD:") + tag;
        if (parts[1] == QLatin1String("GPSInfo"))
            return QStringLiteral("GPS:All");
        return QString();
    }
    if (parts[0] == QLatin1String("Xmp") && !tag.contains(QLatin1Char('/')) &&
        !tag.contains(QLatin1Char('[')))
        return QStringLiteral("XMP-%1:%2")
            .arg(parts[1] == QLatin1String("iptc") ? QStringLiteral("iptcCore") : parts[1], tag);
    return QString();
}

// The ExifTool deletions that take a finding's tags out of an image.
void addImageDeletions(const Finding& finding, QStringList& deletions)
{
    for (const Finding* tag : finding.tags()) {
        QString name = tag->exiftoolTag();
        if (name.isEmpty() && tag->reader == Reader::Image) {
            if (tag->rule && tag->rule->removal == Removal::EraseThumbnail)
                name = QStringLiteral("ThumbnailImage");
            else
                name = exiftoolTagOfExiv2Key(tag->key);
        }
        if (!name.isEmpty())
            appendOnce(deletions, QLatin1Char('-') + name + QLatin1Char('='));
    }
    if (finding.category == Category::Location)
        for (const char* deletion : kImageLocationDeletions)
            appendOnce(deletions, QString::fromLatin1(deletion));
}

bool isImageTag(const Finding& tag)
{
    return tag.reader == Reader::Image || !tag.exiftoolTag().isEmpty();
}

// ExifTool's arguments for deletions from an image. Minor faults (a strip size that does not
// add up, as in many camera files) do not stop the writing: the copy is read back anyway.
std::vector<std::string> imageArguments(const QStringList& deletions)
{
    std::vector<std::string> arguments{"-m"};
    for (const QString& deletion : deletions)
        arguments.push_back(deletion.toStdString());
    return arguments;
}

// Replaces the file at `path` with ExifTool's copy of it without the deleted tags.
bool exiftoolPass(const QString& path, const QStringList& deletions, QString* error)
{
    const auto scratch = Utilities::uniqueFilename(path + QStringLiteral(".privacy"));
    if (!scratch) {
        *error = QStringLiteral("no free name beside the copy");
        return false;
    }
    const auto result = taglink::Taglink::copyFileWithDeletions(encoded(path), encoded(*scratch),
                                                                imageArguments(deletions));
    if (result.status != taglink::Taglink::LocationRemoval::Status::Written) {
        *error = QStringLiteral("ExifTool failed with %1").arg(QString::fromStdString(result.error));
        return false;
    }
    if (::rename(encoded(*scratch).c_str(), encoded(path).c_str()) != 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        ::unlink(encoded(*scratch).c_str());
        return false;
    }
    return true;
}

bool discard(const QString& target)
{
    if (::unlink(encoded(target).c_str()) == 0 || errno == ENOENT)
        return true;
    logLine(QStringLiteral("Failed to remove the copy '%1': %2")
                .arg(target, QString::fromLocal8Bit(std::strerror(errno))));
    return false;
}

QString describe(const Finding& finding)
{
    return QStringLiteral("%1 (%2)").arg(finding.name, finding.value);
}

} // namespace

RemovalPlan planFor(const Report& report, Strip strip, const QString& format)
{
    RemovalPlan plan;
    const bool exiv2Writes = exiv2WritesImages(format);
    for (const Finding* finding : removableFindings(report, strip)) {
        bool image = false;
        for (const Finding* tag : finding->tags()) {
            if (!tag->rule || tag->removal.isEmpty())
                continue;
            if (isImageTag(*tag))
                image = true;
            switch (tag->rule->removal) {
            case Removal::NotCopied:
                break;
            case Removal::EraseThumbnail:
                plan.thumbnail = plan.thumbnail || exiv2Writes;
                break;
            case Removal::Exiftool:
                if (!isImageTag(*tag))
                    for (const QString& argument : exiftoolArguments(*tag->rule))
                        appendOnce(plan.exiftoolArguments, argument);
                break;
            case Removal::EraseKey:
                if (!exiv2Writes)
                    break;
                if (tag->key.startsWith(QLatin1String("Exif.")))
                    appendOnce(plan.exifKeys, tag->key);
                else if (tag->key.startsWith(QLatin1String("Iptc.")))
                    appendOnce(plan.iptcKeys, tag->key);
                else if (tag->key.startsWith(QLatin1String("Xmp.")))
                    appendOnce(plan.xmpKeys, tag->key);
                break;
            }
        }
        if (!image)
            continue;
        // Exiv2 takes the keys it reads; ExifTool the rest, or everything where Exiv2 does
        // not write the format.
        bool exiv2Covers = exiv2Writes;
        if (exiv2Writes)
            for (const Finding* tag : finding->tags())
                if (tag->reader == Reader::ExifTool && !tag->exiftoolTag().isEmpty()) {
                    bool twinOfExiv2 = false;
                    for (const Finding* other : finding->tags())
                        twinOfExiv2 = twinOfExiv2 || other->reader == Reader::Image;
                    exiv2Covers = exiv2Covers && twinOfExiv2;
                }
        if (!exiv2Covers)
            addImageDeletions(*finding, plan.imageDeletions);
    }
    return plan;
}

QList<const Finding*> removableFindings(const Report& report, Strip strip)
{
    QList<const Finding*> result;
    if (strip == Strip::None)
        return result;
    for (const Finding& finding : report.findings) {
        if (finding.removal.isEmpty() || !finding.rule)
            continue;
        if (strip == Strip::High && finding.level != Level::High)
            continue;
        if (finding.rule->removal == Removal::NotCopied)
            continue;
        result.append(&finding);
    }
    return result;
}

PrivacyReader::PrivacyReader() = default;
PrivacyReader::~PrivacyReader() = default;

QVariantMap PrivacyReader::withBothReaders(QVariantMap options)
{
    options.insert(keys::kOptReadImagesWithExiftool, true);
    return options;
}

taglink::TaglinkStayOpenProcess* PrivacyReader::exiftool()
{
    if (!m_started) {
        m_started = true;
        m_exiftool = taglink::TaglinkStayOpenProcess::init();
    }
    return m_exiftool.get();
}

PerspixDataPtr PrivacyReader::analyse(const QString& path, const PerspixData* like)
{
    QVariantMap options = withBothReaders({});
    options.insert(keys::kOptSkipCoverPictures, true);
    options.insert(keys::kOptComputeFileHashes, false);
    // A film read through ExifTool is checked through ExifTool again.
    const GeneralRecord* general = like ? like->generalInfo() : nullptr;
    if (like && !like->isImage() && general && !general->contains(keys::kFormatProfile))
        options.insert(keys::kOptVideoUtility, keys::kVideoUtilityExiftool);
    return PerspixData::dataAboutFile(path, options, exiftool());
}

Report PrivacyReader::reportOf(const QString& path, const PerspixData* like)
{
    const PerspixDataPtr data = analyse(path, like);
    return Report::ofFile(path, data.get());
}

CopyResult writeCopy(const FileRecord& record, const QString& target, Strip strip,
                     PrivacyReader* reader, CopyReport* copyReport)
{
    PrivacyReader ownReader;
    if (!reader)
        reader = &ownReader;
    CopyReport unused;
    CopyReport& said = copyReport ? *copyReport : unused;

    const PerspixData* data = record.data.get();
    PerspixDataPtr bothReaders;
    if (!Report::hasBothReaders(data)) {
        bothReaders = reader->analyse(record.filename, data);
        if (bothReaders)
            data = bothReaders.get();
    }
    const Report report = Report::ofFile(record.filename, data);
    // What a file that was not read whole gives away is not known: a copy would pass it on.
    if (!report.complete) {
        logLine(QStringLiteral("No copy of '%1' was made: it could not be read whole")
                    .arg(record.filename));
        return CopyResult::Failed;
    }
    // A copy that would keep a high finding is no clean copy: none is made.
    QStringList kept;
    for (const Finding& finding : report.findings)
        if (strip != Strip::None && finding.level == Level::High && finding.removal.isEmpty() &&
            finding.rule && finding.rule->removal != Removal::NotCopied)
            kept.append(QStringLiteral("%1 (%2: %3)").arg(finding.name, finding.value, finding.whyNot));
    if (!kept.isEmpty()) {
        said.remained = kept;
        logLine(QStringLiteral("No copy of '%1' was made: it would still show %2")
                    .arg(record.filename, kept.join(QStringLiteral(", "))));
        return CopyResult::Failed;
    }
    const bool image = data && data->isImage();
    const QString format = data ? data->format().value_or(QString()) : QString();
    const RemovalPlan plan = planFor(report, strip, format);
    const QList<const Finding*> toGo = removableFindings(report, strip);

    if (!plan.exiftoolArguments.isEmpty()) {
        std::vector<std::string> deletions;
        for (const QString& argument : plan.exiftoolArguments)
            deletions.push_back(argument.toStdString());
        const auto result = taglink::Taglink::copyFileWithDeletions(encoded(record.filename),
                                                                    encoded(target), deletions);
        if (result.status != taglink::Taglink::LocationRemoval::Status::Written) {
            logLine(QStringLiteral("No copy of '%1' was made: ExifTool failed with %2")
                        .arg(record.filename, QString::fromStdString(result.error)));
            return CopyResult::Failed;
        }
    } else if (image && !plan.touchesImage() && !plan.imageDeletions.isEmpty()) {
        // Only ExifTool writes this file: it makes the copy itself.
        const auto result = taglink::Taglink::copyFileWithDeletions(
            encoded(record.filename), encoded(target), imageArguments(plan.imageDeletions));
        if (result.status != taglink::Taglink::LocationRemoval::Status::Written) {
            logLine(QStringLiteral("No copy of '%1' was made: ExifTool failed with %2")
                        .arg(record.filename, QString::fromStdString(result.error)));
            return CopyResult::Failed;
        }
    } else {
        QString error;
        if (!NativePath::copy(record.filename, target, &error)) {
            logLine(QStringLiteral("Failed to copy '%1' to '%2' : %3")
                        .arg(record.filename, target, error));
            return CopyResult::Failed;
        }
        // A read-only source gives a read-only copy: it is opened for writing meanwhile.
        struct stat st;
        const std::string targetBytes = encoded(target);
        const bool addWrite = ::stat(targetBytes.c_str(), &st) == 0 && !(st.st_mode & S_IWUSR);
        if (addWrite)
            ::chmod(targetBytes.c_str(), (st.st_mode & 07777) | S_IWUSR);
        bool written = true;
        QString why;
        if (plan.touchesImage() &&
            !oEXIV2::removeKeys(target, plan.exifKeys, plan.iptcKeys, plan.xmpKeys, plan.thumbnail)) {
            written = false;
            why = QStringLiteral("its metadata could not be removed");
        }
        if (written && !plan.imageDeletions.isEmpty() &&
            !exiftoolPass(target, plan.imageDeletions, &why))
            written = false;
        if (addWrite)
            ::chmod(targetBytes.c_str(), st.st_mode & 07777);
        if (!written) {
            // A copy that still says what was to go must not stand under a name that looks
            // done.
            discard(target);
            logLine(QStringLiteral("No copy of '%1' was made: %2").arg(record.filename, why));
            return CopyResult::Failed;
        }
    }

    // The copy counts only once it is read back without what was to go.
    Report copy = reader->reportOf(target, data);
    QList<const Finding*> left = removableFindings(copy, strip);
    const auto attempt = [&](const QStringList& deletions) {
        QString why;
        if (deletions.isEmpty() || !exiftoolPass(target, deletions, &why))
            return;
        copy = reader->reportOf(target, data);
        left = removableFindings(copy, strip);
    };
    if (!left.isEmpty() && image) {
        // What the first writer left, ExifTool takes tag by tag.
        QStringList deletions;
        for (const Finding* finding : left)
            addImageDeletions(*finding, deletions);
        attempt(deletions);
    }
    if (!left.isEmpty() && image) {
        // Tags that cannot be edited on their own leave with the block that holds them: a
        // maker-note tag with the maker note, another with its group. The exposure of the
        // Exif blocks is never among them.
        static const QSet<QString> kept = {
            QStringLiteral("IFD0"),    QStringLiteral("ExifIFD"), QStringLiteral("IFD1"),
            QStringLiteral("SubIFD"),  QStringLiteral("InteropIFD"), QStringLiteral("File"),
            QStringLiteral("System"),  QStringLiteral("Composite"), QStringLiteral("ICC_Profile"),
            QStringLiteral("XMP-exif"), QStringLiteral("XMP-tiff"), QStringLiteral("XMP-aux")};
        QStringList deletions;
        bool makerNote = false;
        for (const Finding* finding : left) {
            for (const Finding* tag : finding->tags()) {
                if (tag->inMakerNote()) {
                    makerNote = true;
                    continue;
                }
                const QString group = tag->exiftoolTag().section(QLatin1Char(':'), 0, 0);
                if (!group.isEmpty() && !kept.contains(group))
                    appendOnce(deletions, QLatin1Char('-') + group + QStringLiteral(":All="));
            }
        }
        if (makerNote)
            deletions.append(QStringLiteral("-MakerNotes:All="));
        QStringList inMakerNote;
        for (const Finding* finding : left)
            if (finding->tags().constFirst()->inMakerNote())
                inMakerNote.append(finding->name);
        attempt(deletions);
        if (makerNote)
            for (const QString& name : std::as_const(inMakerNote))
                said.notes.append(QStringLiteral("%1: removed with the maker note, which cannot "
                                                 "be edited tag by tag")
                                      .arg(name));
    }
    if (!copy.complete || !left.isEmpty()) {
        discard(target);
        for (const Finding* finding : left)
            said.remained.append(describe(*finding));
        logLine(copy.complete
                    ? QStringLiteral("No copy of '%1' was made: the copy still showed %2")
                          .arg(record.filename, said.remained.join(QStringLiteral(", ")))
                    : QStringLiteral("No copy of '%1' was made: the copy could not be read back")
                          .arg(record.filename));
        return CopyResult::Failed;
    }
    for (const QString& note : std::as_const(said.notes))
        logLine(QStringLiteral("'%1': %2").arg(record.filename, note));
    return toGo.isEmpty() ? CopyResult::Copied : CopyResult::Stripped;
}

} // namespace perspix::privacy
