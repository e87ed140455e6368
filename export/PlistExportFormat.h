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
    // The binary form needs the whole tree before its first byte.
    bool streams() const override { return false; }
};

} // namespace perspix
