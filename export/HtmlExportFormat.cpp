#include "export/HtmlExportFormat.h"

#include "export/HTMLEntities/HTMLEntities.h"
#include "model/NativePath.h"

namespace perspix {

namespace {

QString escaped(const QString& text)
{
    return HTMLEntities::stringByEncodingHTMLEntitiesUnicode(text);
}

} // namespace

void HtmlExportFormat::convertForHTMLFrom(const ExtTreeList& items, QStringList& lines,
                                          bool skipFilePrivate) const
{
    for (const ExtTreeItemPtr& item : items) {
        if (const auto children = item->children()) {
            lines.append(
                QStringLiteral("<tr><th colspan=2 style='text-align:left; padding-top:10px;'>") +
                escaped(item->extValue()) + QStringLiteral("</th></tr>"));
            convertForHTMLFrom(*children, lines, skipFilePrivate);
            continue;
        }
        if (skipFilePrivate && item->isPrivateInfo())
            continue;
        lines.append(QStringLiteral("<tr  style='font-size:90%'><td style='white-space:nowrap; "
                                    "font-style:italic; padding-right:18px;'>") +
                     escaped(item->name()) + QStringLiteral(": </td><td>") +
                     HTMLEntities::stringWithNewLinesAsBRs(escaped(item->stringValue())) +
                     QStringLiteral("</td></tr>"));
    }
}

QByteArray HtmlExportFormat::head(const ExportSettings&, bool) const
{
    return QByteArrayLiteral("<html>\n<head><meta http-equiv='Content-Type' content='text/html; "
                             "charset=utf-8'><title>Perspix Export</title></head>\n<body>\n");
}

std::optional<QByteArray> HtmlExportFormat::recordPiece(const FileRecord& record, qsizetype index,
                                                        bool, const ExportSettings& settings) const
{
    QStringList lines{QStringLiteral("<p style='font-size:120%;font-weight:bold;'>") +
                          escaped(NativePath::shown(record.pathPrefix)) + QStringLiteral("</p>"),
                      QStringLiteral("<table cellpadding=1 cellspacing=0>")};
    if (record.data)
        if (const ExtTreeList* tree = record.data->extendedContent())
            convertForHTMLFrom(*tree, lines, settings.skipFilePrivate);
    lines.append(QStringLiteral("</table>"));
    return ((index > 0 ? QStringLiteral("\n<br>\n") : QString()) + lines.join(QLatin1Char('\n')))
        .toUtf8();
}

QByteArray HtmlExportFormat::tail(const ExportSettings&, bool, qsizetype) const
{
    return QByteArrayLiteral("\n</body></html>");
}

} // namespace perspix
