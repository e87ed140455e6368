// Comparison export texts (see ComparisonExport.h).
#include "comparison/ComparisonExport.h"

#include <QFileInfo>

#include "export/HTMLEntities/HTMLEntities.h"
#include "model/Utilities.h"

namespace perspix {

namespace {

QString escaped(const QString& text)
{
    return HTMLEntities::stringByEncodingHTMLEntitiesUnicode(text);
}

QString escapedWithBreaks(const QString& text)
{
    return HTMLEntities::stringWithNewLinesAsBRs(escaped(text));
}

} // namespace

QString ComparisonExport::htmlPageHead()
{
    // Five lines end with a blank; the head stays byte for byte as pages saved before.
    return QStringLiteral(
        "<html>\n"
        "<head><title>Perspix Comparison</title>\n"
        "<meta charset=\"utf-8\" /><meta http-equiv=\"Content-Type\" content=\"text/html; "
        "charset=utf-8\" />\n"
        "<style type=\"text/css\">\n"
        "table { border-collapse:collapse; } \n"
        "table,th,td { border:1px solid #ccc; font-family:sans-serif; font-size:13px; }\n"
        "th,td { padding:3px; } \n"
        ".h { font-style:italic; } \n"
        ".g { background-color:#f2f2f2; } \n"
        ".f { font-weight:bold; } \n"
        "</style>\n"
        "</head>\n");
}

QString ComparisonExport::htmlLineForColumns(const QStringList& columns)
{
    QString cells;
    for (const QString& column : columns)
        cells += u"<td class=h>" + escaped(column) + u"</td>";
    return u"<tr><td>&nbsp;</td>" + cells + u"</tr>";
}

QString ComparisonExport::htmlLineForItems(const QStringList& values, qsizetype totalColumns)
{
    if (values.size() < 2)
        return u"<tr><td colspan=" + QString::number(totalColumns) + u" class='g'><b>" +
               escaped(values.value(0)) + u"</b></td></tr>";
    QString cells = u"<td class=f>" + escapedWithBreaks(values.first()) + u"</td>";
    for (qsizetype i = 1; i < values.size(); ++i)
        cells += u"<td class=o>" + escapedWithBreaks(values.at(i)) + u"</td>";
    return u"<tr>" + cells + u"</tr>";
}

QString ComparisonExport::htmlExportStringForContent(const QList<ComparisonRow>& content,
                                                     const QStringList& description)
{
    QStringList names;
    names.reserve(description.size());
    for (const QString& path : description)
        names.append(QFileInfo(path).fileName());

    QStringList lines;
    lines.reserve(content.size() + 1);
    lines.append(htmlLineForColumns(names));
    for (const ComparisonRow& row : content)
        lines.append(htmlLineForItems(row.values, description.size() + 1));
    return htmlPageHead() + QStringLiteral("<table>") + lines.join(QLatin1Char('\n')) +
           QStringLiteral("</table>\n</body>\n</html>\n");
}

QString ComparisonExport::csvExportStringForContent(const QList<ComparisonRow>& content,
                                                    const QStringList& description)
{
    const QString emptyFields(description.size(), QLatin1Char(','));
    QStringList lines;
    lines.reserve(content.size());
    for (const ComparisonRow& row : content) {
        if (row.values.size() < 2) {
            lines.append(Utilities::csvEscapeAndQuote(row.values.value(0)) + emptyFields);
            continue;
        }
        QStringList fields;
        fields.reserve(row.values.size());
        for (const QString& value : row.values)
            fields.append(Utilities::csvEscapeAndQuote(value));
        lines.append(fields.join(QLatin1Char(',')));
    }
    return lines.join(QLatin1Char('\n'));
}

QString ComparisonExport::pboardHtmlLineForItems(const QStringList& values)
{
    if (values.size() < 2)
        return u"<tr><td><b>" + escaped(values.value(0)) + u"</b></td></tr>";
    QString cells;
    for (const QString& value : values)
        cells += u"<td>" + escapedWithBreaks(value) + u"</td>";
    return u"<tr>" + cells + u"</tr>";
}

QString ComparisonExport::pboardHtmlForRows(const QList<ComparisonRow>& rows)
{
    QStringList lines;
    lines.reserve(rows.size());
    for (const ComparisonRow& row : rows)
        lines.append(pboardHtmlLineForItems(row.values));
    return u"<table cellspacing=0>" + lines.join(QLatin1Char('\n')) + u"</table>";
}

} // namespace perspix
