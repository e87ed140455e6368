// The privacy removal: a copy of a file without what its privacy report found, at the
// chosen level. It reads the same rules as the report (the report's findings name them),
// so the two cannot disagree. Images lose single keys through Exiv2 where Exiv2 writes the
// format and through ExifTool elsewhere (and for what only ExifTool reads); MPEG-4 and
// QuickTime films are rewritten by ExifTool (streams untouched). Every copy is read again
// with the report's readers and kept only when nothing that was to go is left. The source
// is only ever read.
#pragma once

#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <memory>

#include "model/FileRecord.h"
#include "privacy/PrivacyReport.h"

namespace taglink {
class TaglinkStayOpenProcess;
}

namespace perspix::privacy {

struct RemovalPlan
{
    QStringList exifKeys;
    QStringList iptcKeys;
    QStringList xmpKeys;
    bool thumbnail = false;
    QStringList exiftoolArguments; // films
    // Images: ExifTool's deletions ("-GPS:All=", "-Olympus:SerialNumber=") for what only
    // ExifTool reads, and for everything in a format that Exiv2 does not write.
    QStringList imageDeletions;

    bool touchesImage() const
    {
        return thumbnail || !exifKeys.isEmpty() || !iptcKeys.isEmpty() || !xmpKeys.isEmpty();
    }
};

// What the removal of the report's removable findings at the level asks for; `format` is
// the image format of the file (which writer takes which findings).
RemovalPlan planFor(const Report& report, Strip strip, const QString& format = QString());

// The findings of a report that a removal at this level takes out of a copy.
QList<const Finding*> removableFindings(const Report& report, Strip strip);

// Reads files the way the privacy report does: the analysis, with ExifTool's reading for
// images. Its ExifTool process starts at the first image and serves every later one. Use it
// on one thread.
class PrivacyReader
{
public:
    PrivacyReader();
    ~PrivacyReader();
    PrivacyReader(const PrivacyReader&) = delete;
    PrivacyReader& operator=(const PrivacyReader&) = delete;

    // The analysis options the report reads images with, added to `options`.
    static QVariantMap withBothReaders(QVariantMap options);
    // The file read now; films and sound as `like` was read (MediaInfo or ExifTool).
    PerspixDataPtr analyse(const QString& path, const PerspixData* like);
    // The report of the file as it is now.
    Report reportOf(const QString& path, const PerspixData* like);
    taglink::TaglinkStayOpenProcess* exiftool();

private:
    std::unique_ptr<taglink::TaglinkStayOpenProcess> m_exiftool;
    bool m_started = false;
};

enum class CopyResult { Stripped, Copied, Failed };

// What a removal did beyond its result: the findings still found in a copy that was then
// thrown away, and notes on how findings went ("... removed with the maker note").
struct CopyReport
{
    QStringList remained;
    QStringList notes;
};

// Writes the copy at the target, which must not exist yet. Failed (a logged reason) leaves
// nothing at the target; a file that was not read whole is not copied. With a reader, the
// source is read with both readers when its analysis lacks one, and the copy is read back
// and checked; without one the copy is checked against its own analysis only.
CopyResult writeCopy(const FileRecord& record, const QString& target, Strip strip,
                     PrivacyReader* reader = nullptr, CopyReport* copyReport = nullptr);

} // namespace perspix::privacy
