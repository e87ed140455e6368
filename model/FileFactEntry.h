// One file fact (or, on the image and ExifTool paths, one metadata entry) before it
// becomes a parameter record and a tree item.
#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>

#include "model/Keys.h"

namespace perspix {

struct FileFactEntry
{
    QString key;
    // "label" and "value"; image entries also carry their reader's fields ("ifd", "group").
    QVariantMap dict;
    bool skipInExtended = false;
    bool skipInExport = false;
    bool skipInComparison = false;
    bool isPrivateInfo = false;

    static FileFactEntry make(const QString& key, const QString& label, const QVariant& value)
    {
        FileFactEntry e;
        e.key = key;
        e.dict.insert(keys::kLabel, label);
        e.dict.insert(keys::kValue, value);
        return e;
    }
    QString label() const { return dict.value(keys::kLabel).toString(); }
    QVariant value() const { return dict.value(keys::kValue); }
};

} // namespace perspix
