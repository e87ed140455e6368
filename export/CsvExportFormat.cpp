#include "export/CsvExportFormat.h"

#include "model/NativePath.h"
#include "model/Utilities.h"

namespace perspix {

namespace {

// Every field in double quotes, a quote inside doubled; line breaks stay inside the quotes.
QString quoted(const QString& field)
{
    return Utilities::csvEscapeAndQuote(field);
}

const QString kSeparatorLine = QStringLiteral(",");

} // namespace

void CsvExportFormat::convertForCSVFrom(const ExtTreeList& items, QStringList& lines,
                                        bool skipFilePrivate) const
{
    for (const ExtTreeItemPtr& item : items) {
        if (const auto children = item->children()) {
            if (lines.size() >= 2)
                lines.append(kSeparatorLine);
            lines.append(quoted(item->extValue()) + QLatin1Char(','));
            convertForCSVFrom(*children, lines, skipFilePrivate);
            continue;
        }
        if (skipFilePrivate && item->isPrivateInfo())
            continue;
        lines.append(quoted(item->name()) + QLatin1Char(',') + quoted(item->stringValue()));
    }
}

std::optional<QByteArray> CsvExportFormat::prepare(const FileRecordList& records,
                                                   const ExportSettings& settings) const
{
    QStringList blocks;
    for (const FileRecord& record : records) {
        QStringList lines;
        if (records.size() >= 2)
            lines.append(quoted(NativePath::shown(record.filename)) + QLatin1Char(','));
        if (record.data)
            if (const ExtTreeList* tree = record.data->extendedContent())
                convertForCSVFrom(*tree, lines, settings.skipFilePrivate);
        blocks.append(lines.join(QLatin1Char('\n')));
    }
    return (QStringLiteral("\"Parameter\",\"Value\"\n") +
            blocks.join(QLatin1Char('\n') + kSeparatorLine + QLatin1Char('\n')))
        .toUtf8();
}

} // namespace perspix
