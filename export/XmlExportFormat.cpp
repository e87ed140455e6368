#include "export/XmlExportFormat.h"

#include "export/HTMLEntities/HTMLEntities.h"
#include "model/NativePath.h"

namespace perspix {

namespace {

QString text(const QString& s)
{
    return HTMLEntities::stringByEncodingXMLEntities(s);
}

QString attribute(const QString& s)
{
    return HTMLEntities::stringByEncodingXMLEntities(s, HTMLEntities::XmlPlace::Attribute);
}

} // namespace

QByteArray XmlExportFormat::documentStart()
{
    return QByteArrayLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<files>\n");
}

QByteArray XmlExportFormat::documentEnd()
{
    return QByteArrayLiteral("</files>\n");
}

QByteArray XmlExportFormat::fileElement(const FileRecord& record, const ExportSettings& settings)
{
    QStringList lines{QStringLiteral("<file path=\"") +
                      attribute(NativePath::shown(record.filename)) + QStringLiteral("\">")};
    std::optional<ExportRecord> exportRecord;
    if (record.data)
        exportRecord = record.data->computeExportInfoWithoutFilePrivate(settings.skipFilePrivate);
    if (exportRecord) {
        for (const QString& kind : exportRecord->orderedSectionNames()) {
            const QList<QList<ExportEntry>> streams = exportRecord->sections.value(kind);
            for (qsizetype i = 0; i < streams.size(); ++i) {
                lines.append(QStringLiteral(" <stream type=\"%1\" id=\"%2\" of=\"%3\">")
                                 .arg(attribute(kind))
                                 .arg(i + 1)
                                 .arg(streams.size()));
                for (const ExportEntry& entry : streams[i]) {
                    lines.append(QStringLiteral("  <item option=\"") + attribute(entry.option) +
                                 QStringLiteral("\" name=\"") + attribute(entry.name) +
                                 QStringLiteral("\">") + text(valueText(entry.value)) +
                                 QStringLiteral("</item>"));
                }
                lines.append(QStringLiteral(" </stream>"));
            }
        }
    }
    lines.append(QStringLiteral("</file>\n"));
    return lines.join(QLatin1Char('\n')).toUtf8();
}

QByteArray XmlExportFormat::head(const ExportSettings&, bool) const
{
    return documentStart();
}

std::optional<QByteArray> XmlExportFormat::recordPiece(const FileRecord& record, qsizetype, bool,
                                                       const ExportSettings& settings) const
{
    return fileElement(record, settings);
}

QByteArray XmlExportFormat::tail(const ExportSettings&, bool, qsizetype) const
{
    return documentEnd();
}

} // namespace perspix
