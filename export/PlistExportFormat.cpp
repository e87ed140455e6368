#include "export/PlistExportFormat.h"

#include "model/Log.h"

namespace perspix {

std::optional<QByteArray> PlistExportFormat::prepare(const FileRecordList&,
                                                     const ExportSettings&) const
{
    logLine(QStringLiteral("Property list export is not available"));
    return std::nullopt;
}

} // namespace perspix
