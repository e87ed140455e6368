// One parameter of one stream as held in an analysed file's "data" record.
#pragma once

#include <QHash>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace perspix {

struct ParameterRecord
{
    QString name;   // label shown to the user
    QVariant value; // as a rule a string
    bool skipInComparison = false;
    bool isPrivateInfo = false;

    QString valueString() const { return value.toString(); }
    bool operator==(const ParameterRecord&) const = default;
};

// Parameter key to record, for one stream.
using ParameterMap = QHash<QString, ParameterRecord>;
// Section name to the per-stream parameter maps, in stream order.
using SectionData = QMap<QString, QList<ParameterMap>>;
// Section name to the per-stream export-key lists, aligned with SectionData.
using ExportOptions = QMap<QString, QList<QStringList>>;

} // namespace perspix
