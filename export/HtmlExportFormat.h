// HTML: per file a heading and a two-column table of the extended tree.
#pragma once

#include "export/ExportFormat.h"

namespace perspix {

class HtmlExportFormat : public ExportFormat
{
public:
    QString identifier() const override { return QStringLiteral("html"); }
    QByteArray head(const ExportSettings& settings, bool several) const override;
    std::optional<QByteArray> recordPiece(const FileRecord& record, qsizetype index, bool several,
                                          const ExportSettings& settings) const override;
    QByteArray tail(const ExportSettings& settings, bool several, qsizetype count) const override;

private:
    // Appends the rows of a list of tree nodes, groups followed by their children.
    void convertForHTMLFrom(const ExtTreeList& items, QStringList& lines,
                            bool skipFilePrivate) const;
};

} // namespace perspix
