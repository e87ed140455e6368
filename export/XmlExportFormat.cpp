#include "export/XmlExportFormat.h"

#include "export/HTMLEntities/HTMLEntities.h"

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

QByteArray XmlExportFormat::head(const ExportSettings&, bool) const
{
    return {};
}

std::optional<QByteArray> XmlExportFormat::recordPiece(const FileRecord& record, qsizetype index,
                                                       bool, const ExportSettings& settings) const
{
    QStringList lines{QStringLiteral("<file path=\"") + attribute(record.filename) +
                      QStringLiteral("\">")};
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
    lines.append(QStringLiteral("</file>"));
    return ((index > 0 ? QStringLiteral("\n") : QString()) + lines.join(QLatin1Char('\n')))
        .toUtf8();
}

} // namespace perspix
