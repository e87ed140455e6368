// The table of export formats and the value conversions they share.
#include "export/ExportFormat.h"

#include <QDateTime>
#include <array>
#include <cmath>

#include "export/CsvExportFormat.h"
#include "export/HtmlExportFormat.h"
#include "export/JsonExportFormat.h"
#include "export/JsonLinesExportFormat.h"
#include "export/PlistExportFormat.h"
#include "export/TextExportFormat.h"
#include "export/XmlExportFormat.h"
#include "model/Keys.h"
#include "model/NativePath.h"
#include "model/PropertyList.h"

namespace perspix {

namespace {

const TextExportFormat kText;
const HtmlExportFormat kHtml;
const CsvExportFormat kCsv;
const XmlExportFormat kXml;
const JsonExportFormat kJson;
const PlistExportFormat kPlist;
const JsonLinesExportFormat kJsonLines;

const std::array<const ExportFormat*, 6> kFormats{&kText, &kHtml, &kCsv, &kXml, &kJson, &kPlist};
const std::array<const ExportFormat*, 1> kCommandLineFormats{&kJsonLines};

QVariant exportRecordVariant(const ExportRecord& record)
{
    PlistDict object;
    for (const QString& section : record.orderedSectionNames()) {
        QVariantList streams;
        for (const QList<ExportEntry>& stream : record.sections.value(section)) {
            QVariantList entries;
            entries.reserve(stream.size());
            for (const ExportEntry& entry : stream) {
                PlistDict e;
                e.insert(keys::kOption, entry.option);
                e.insert(keys::kName, entry.name);
                e.insert(keys::kValue, ExportFormat::exportValue(entry.value));
                entries.append(QVariant::fromValue(e));
            }
            streams.append(QVariant(entries));
        }
        object.insert(section, streams);
    }
    object.insert(keys::kFileNameExport, record.fileName);
    return QVariant::fromValue(object);
}

} // namespace

const ExportFormat* ExportFormat::formatWithIdentifier(const QString& identifier)
{
    for (const ExportFormat* format : kFormats)
        if (format->identifier() == identifier)
            return format;
    for (const ExportFormat* format : kCommandLineFormats)
        if (format->identifier() == identifier)
            return format;
    return nullptr;
}

QStringList ExportFormat::identifiers()
{
    QStringList ids;
    for (const ExportFormat* format : kFormats)
        ids.append(format->identifier());
    return ids;
}

QStringList ExportFormat::commandLineIdentifiers()
{
    QStringList ids = identifiers();
    for (const ExportFormat* format : kCommandLineFormats)
        ids.append(format->identifier());
    return ids;
}

std::optional<QByteArray> ExportFormat::prepare(const FileRecordList& records,
                                                const ExportSettings& settings) const
{
    const bool several = records.size() != 1;
    QByteArray bytes = head(settings, several);
    for (qsizetype i = 0; i < records.size(); ++i) {
        const std::optional<QByteArray> piece = recordPiece(records[i], i, several, settings);
        if (!piece)
            return std::nullopt;
        bytes += *piece;
    }
    return bytes + tail(settings, several, records.size());
}

QByteArray ExportFormat::head(const ExportSettings&, bool) const
{
    return {};
}

std::optional<QByteArray> ExportFormat::recordPiece(const FileRecord&, qsizetype, bool,
                                                    const ExportSettings&) const
{
    return std::nullopt;
}

QByteArray ExportFormat::tail(const ExportSettings&, bool, qsizetype) const
{
    return {};
}

QString ExportFormat::valueText(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::QStringList:
        return value.toStringList().join(QStringLiteral(", "));
    case QMetaType::QVariantList: {
        QStringList parts;
        for (const QVariant& element : value.toList())
            parts.append(valueText(element));
        return parts.join(QStringLiteral(", "));
    }
    case QMetaType::QDateTime:
        return value.toDateTime().toString(Qt::ISODate);
    default:
        return plainText(value);
    }
}

QVariant ExportFormat::exportValue(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::QString:
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return value;
    case QMetaType::Double:
    case QMetaType::Float:
        if (std::isfinite(value.toDouble()))
            return value;
        return value.toString();
    case QMetaType::QStringList:
        return value;
    case QMetaType::QVariantList: {
        QVariantList list;
        for (const QVariant& element : value.toList())
            list.append(exportValue(element));
        return list;
    }
    case QMetaType::QVariantMap: {
        QVariantMap map;
        const QVariantMap source = value.toMap();
        for (auto it = source.cbegin(); it != source.cend(); ++it)
            map.insert(it.key(), exportValue(it.value()));
        return map;
    }
    default:
        return valueText(value);
    }
}

QVariant ExportFormat::exportRecordObject(const FileRecord& record, bool skipFilePrivate)
{
    std::optional<ExportRecord> exportRecord;
    if (record.data)
        exportRecord = record.data->computeExportInfoWithoutFilePrivate(skipFilePrivate);
    if (!exportRecord) {
        // A file without a result still shows up, with its path alone.
        exportRecord = ExportRecord{};
        exportRecord->fileName =
            NativePath::shown(record.data ? record.data->filename : record.filename);
    }
    return exportRecordVariant(*exportRecord);
}

QVariant ExportFormat::exportObject(const FileRecordList& records, bool skipFilePrivate)
{
    QVariantList objects;
    objects.reserve(records.size());
    for (const FileRecord& record : records)
        objects.append(exportRecordObject(record, skipFilePrivate));
    if (objects.size() == 1)
        return objects.first();
    return objects;
}

} // namespace perspix
