// Binary property list holding the same object as the JSON export.
#pragma once

#include "export/ExportFormat.h"

namespace perspix {

class PlistExportFormat : public ExportFormat
{
public:
    QString identifier() const override { return QStringLiteral("plist"); }
    std::optional<QByteArray> prepare(const FileRecordList& records,
                                      const ExportSettings& settings) const override;
};

} // namespace perspix
