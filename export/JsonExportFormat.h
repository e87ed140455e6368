// JSON: the export record of one file, or the list of them for several.
#pragma once

#include "export/ExportFormat.h"

namespace perspix {

class JsonExportFormat : public ExportFormat
{
public:
    QString identifier() const override { return QStringLiteral("json"); }
    bool singleRecordDiffers() const override { return true; }
    QByteArray head(const ExportSettings& settings, bool several) const override;
    std::optional<QByteArray> recordPiece(const FileRecord& record, qsizetype index, bool several,
                                          const ExportSettings& settings) const override;
    QByteArray tail(const ExportSettings& settings, bool several, qsizetype count) const override;
};

} // namespace perspix
