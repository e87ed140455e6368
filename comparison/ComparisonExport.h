// Renders a comparison as an HTML page or CSV text, and comparison rows as HTML for the
// clipboard. Text only: choosing the format and the file is the GUI's.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include "comparison/ComparisonAssistant.h"

namespace perspix {

class ComparisonExport
{
public:
    // The whole page: a head, then one table with a file-name row and one row per
    // comparison row. `description` holds the compared files' full paths.
    static QString htmlExportStringForContent(const QList<ComparisonRow>& content,
                                              const QStringList& description);
    // One line per comparison row, every field quoted; a header row is its title and one
    // empty field per file. No line break after the last line.
    static QString csvExportStringForContent(const QList<ComparisonRow>& content,
                                             const QStringList& description);
    // One table row for the clipboard.
    static QString pboardHtmlLineForItems(const QStringList& values);
    // The clipboard's HTML for several rows: their lines in one table.
    static QString pboardHtmlForRows(const QList<ComparisonRow>& rows);

    static QString htmlPageHead();

private:
    static QString htmlLineForColumns(const QStringList& columns);
    static QString htmlLineForItems(const QStringList& values, qsizetype totalColumns);
};

} // namespace perspix
