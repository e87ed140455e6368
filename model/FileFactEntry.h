// One file fact (or, on the image and ExifTool paths, one metadata entry) before it
// becomes a parameter record and a tree item.
#pragma once

#include <QString>
#include <QVariant>

namespace perspix {

struct FileFactEntry
{
    QString key;
    QString label;
    QVariant value;
    // The reader's own place of the entry: the IFD ("IFD0", "Makernote", ...) of an Exif
    // entry or the ExifTool group, and the namespace prefix of an XMP entry.
    QString ifd;
    QString group;
    bool skipInExtended = false;
    bool skipInExport = false;
    bool skipInComparison = false;
    bool isPrivateInfo = false;

    static FileFactEntry make(const QString& key, const QString& label, const QVariant& value)
    {
        FileFactEntry e;
        e.key = key;
        e.label = label;
        e.value = value;
        return e;
    }
};

} // namespace perspix
