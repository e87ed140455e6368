// Copies without the privacy report's findings (see PrivacyRemoval.h).
#include "privacy/PrivacyRemoval.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "model/Log.h"
#include "readers/image/oEXIV2.h"
#include "taglink/Taglink.h"

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

} // namespace

RemovalPlan planFor(const Report& report, Strip strip)
{
    RemovalPlan plan;
    if (strip == Strip::None)
        return plan;
    for (const Finding& finding : report.findings) {
        if (finding.removal.isEmpty() || !finding.rule)
            continue;
        if (strip == Strip::High && finding.level != Level::High)
            continue;
        switch (finding.rule->removal) {
        case Removal::NotCopied:
            break;
        case Removal::EraseThumbnail:
            plan.thumbnail = true;
            break;
        case Removal::Exiftool:
            for (const QString& argument : exiftoolArguments(*finding.rule))
                appendOnce(plan.exiftoolArguments, argument);
            break;
        case Removal::EraseKey:
            if (finding.key.startsWith(QLatin1String("Exif.")))
                appendOnce(plan.exifKeys, finding.key);
            else if (finding.key.startsWith(QLatin1String("Iptc.")))
                appendOnce(plan.iptcKeys, finding.key);
            else if (finding.key.startsWith(QLatin1String("Xmp.")))
                appendOnce(plan.xmpKeys, finding.key);
            break;
        }
    }
    return plan;
}

CopyResult writeCopy(const FileRecord& record, const QString& target, Strip strip)
{
    const Report report = Report::ofFile(record.filename, record.data.get());
    const RemovalPlan plan = planFor(report, strip);
    // What a file that was not read whole gives away is not known: a copy would pass it on.
    if (!report.complete) {
        logLine(QStringLiteral("No copy of '%1' was made: it could not be read whole")
                    .arg(record.filename));
        return CopyResult::Failed;
    }

    if (!plan.exiftoolArguments.isEmpty()) {
        std::vector<std::string> deletions;
        for (const QString& argument : plan.exiftoolArguments)
            deletions.push_back(argument.toStdString());
        const auto result = taglink::Taglink::copyFileWithDeletions(encoded(record.filename),
                                                                    encoded(target), deletions);
        if (result.status == taglink::Taglink::LocationRemoval::Status::Written)
            return CopyResult::Stripped;
        logLine(QStringLiteral("No copy of '%1' was made: ExifTool failed with %2")
                    .arg(record.filename, QString::fromStdString(result.error)));
        return CopyResult::Failed;
    }

    QFile source(record.filename);
    if (!source.copy(target)) {
        logLine(QStringLiteral("Failed to copy '%1' to '%2' : %3")
                    .arg(record.filename, target, source.errorString()));
        return CopyResult::Failed;
    }
    if (!plan.touchesImage())
        return CopyResult::Copied;

    // A read-only source gives a read-only copy: it is opened for writing meanwhile.
    struct stat st;
    const std::string targetBytes = encoded(target);
    const bool addWrite = ::stat(targetBytes.c_str(), &st) == 0 && !(st.st_mode & S_IWUSR);
    if (addWrite)
        ::chmod(targetBytes.c_str(), (st.st_mode & 07777) | S_IWUSR);
    if (!oEXIV2::removeKeys(target, plan.exifKeys, plan.iptcKeys, plan.xmpKeys, plan.thumbnail)) {
        // A copy that still says what was to go must not stand under a name that looks done.
        if (::unlink(targetBytes.c_str()) != 0)
            logLine(QStringLiteral("Failed to remove the copy '%1': %2")
                        .arg(target, QString::fromLocal8Bit(std::strerror(errno))));
        logLine(QStringLiteral("No copy of '%1' was made: its metadata could not be removed")
                    .arg(record.filename));
        return CopyResult::Failed;
    }
    if (addWrite)
        ::chmod(targetBytes.c_str(), st.st_mode & 07777);
    return CopyResult::Stripped;
}

} // namespace perspix::privacy
