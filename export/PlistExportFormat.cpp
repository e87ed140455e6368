#include "export/PlistExportFormat.h"

#include "model/Log.h"
#include "model/PropertyList.h"

namespace perspix {

namespace {

// Property-list text cannot hold a NUL character; one in a file's metadata becomes U+FFFD
// rather than costing the whole export.
QVariant withoutNul(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::QString: {
        QString text = value.toString();
        if (text.contains(QChar(0)))
            text.replace(QChar(0), QChar(0xFFFD));
        return text;
    }
    case QMetaType::QStringList: {
        QVariantList list;
        for (const QString& s : value.toStringList())
            list.append(withoutNul(s));
        return list;
    }
    case QMetaType::QVariantList: {
        QVariantList list;
        for (const QVariant& element : value.toList())
            list.append(withoutNul(element));
        return list;
    }
    case QMetaType::QVariantMap: {
        QVariantMap map;
        const QVariantMap source = value.toMap();
        for (auto it = source.cbegin(); it != source.cend(); ++it)
            map.insert(withoutNul(it.key()).toString(), withoutNul(it.value()));
        return map;
    }
    default:
        if (value.typeId() == qMetaTypeId<PlistDict>()) {
            PlistDict dict;
            for (const auto& [key, member] : value.value<PlistDict>().entries)
                dict.insert(withoutNul(key).toString(), withoutNul(member));
            return QVariant::fromValue(dict);
        }
        return value;
    }
}

} // namespace

std::optional<QByteArray> PlistExportFormat::prepare(const FileRecordList& records,
                                                     const ExportSettings& settings) const
{
    QString error;
    const auto bytes =
        PropertyList::toBinary(withoutNul(exportObject(records, settings.skipFilePrivate)), &error);
    if (!bytes)
        logLine(error);
    return bytes;
}

} // namespace perspix
