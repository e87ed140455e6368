// JSON Lines: one compact JSON object per line per file, the record of the JSON export, so
// that data tools can read a library of any size line by line. Offered by the command line.
#pragma once

#include "export/ExportFormat.h"

namespace perspix {

class JsonLinesExportFormat : public ExportFormat
{
public:
    QString identifier() const override { return QStringLiteral("jsonl"); }
    std::optional<QByteArray> recordPiece(const FileRecord& record, qsizetype index, bool several,
                                          const ExportSettings& settings) const override;
};

} // namespace perspix
