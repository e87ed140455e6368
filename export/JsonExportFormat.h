// JSON: the export record of one file, or the list of them for several.
#pragma once

#include "export/ExportFormat.h"

namespace perspix {

class JsonExportFormat : public ExportFormat
{
public:
    QString identifier() const override { return QStringLiteral("json"); }
    std::optional<QByteArray> prepare(const FileRecordList& records,
                                      const ExportSettings& settings) const override;
};

} // namespace perspix
