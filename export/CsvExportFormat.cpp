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

QByteArray CsvExportFormat::head(const ExportSettings&, bool) const
{
    return QByteArrayLiteral("\"Parameter\",\"Value\"\n");
}

// Blocks are parted by a line holding "," alone; with several files each block starts
// with the file's path.
std::optional<QByteArray> CsvExportFormat::recordPiece(const FileRecord& record, qsizetype index,
                                                       bool several,
                                                       const ExportSettings& settings) const
{
    QStringList lines;
    if (several)
        lines.append(quoted(NativePath::shown(record.filename)) + QLatin1Char(','));
    if (record.data)
        if (const ExtTreeList* tree = record.data->extendedContent())
            convertForCSVFrom(*tree, lines, settings.skipFilePrivate);
    const QString separator =
        index > 0 ? QLatin1Char('\n') + kSeparatorLine + QLatin1Char('\n') : QString();
    return (separator + lines.join(QLatin1Char('\n'))).toUtf8();
}

} // namespace perspix
