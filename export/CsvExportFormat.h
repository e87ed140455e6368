// CSV: two quoted columns (parameter, value) of every file's extended tree.
#pragma once

#include "export/ExportFormat.h"

namespace perspix {

class CsvExportFormat : public ExportFormat
{
public:
    QString identifier() const override { return QStringLiteral("csv"); }
    bool singleRecordDiffers() const override { return true; }
    QByteArray head(const ExportSettings& settings, bool several) const override;
    std::optional<QByteArray> recordPiece(const FileRecord& record, qsizetype index, bool several,
                                          const ExportSettings& settings) const override;

private:
    // Appends the lines of a list of tree nodes, groups followed by their children.
    void convertForCSVFrom(const ExtTreeList& items, QStringList& lines,
                           bool skipFilePrivate) const;
};

} // namespace perspix
