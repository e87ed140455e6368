// The privacy removal: a copy of a file without what its privacy report found, at the
// chosen level. It reads the same rules as the report (the report's findings name them),
// so the two cannot disagree. Images lose single keys through Exiv2, MPEG-4 and QuickTime
// films are rewritten by ExifTool (streams untouched); the source is only ever read.
#pragma once

#include <QString>
#include <QStringList>

#include "model/FileRecord.h"
#include "privacy/PrivacyReport.h"

namespace perspix::privacy {

struct RemovalPlan
{
    QStringList exifKeys;
    QStringList iptcKeys;
    QStringList xmpKeys;
    bool thumbnail = false;
    QStringList exiftoolArguments; // films

    bool touchesImage() const
    {
        return thumbnail || !exifKeys.isEmpty() || !iptcKeys.isEmpty() || !xmpKeys.isEmpty();
    }
};

// What the removal of the report's removable findings at the level asks for.
RemovalPlan planFor(const Report& report, Strip strip);

enum class CopyResult { Stripped, Copied, Failed };

// Writes the copy at the target, which must not exist yet. Failed (a logged reason) leaves
// nothing at the target; a file that was not read whole is not copied.
CopyResult writeCopy(const FileRecord& record, const QString& target, Strip strip);

} // namespace perspix::privacy
