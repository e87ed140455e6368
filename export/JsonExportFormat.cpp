#include "export/JsonExportFormat.h"

#include "export/JsonWriter.h"
#include "model/Log.h"

namespace perspix {

std::optional<QByteArray> JsonExportFormat::prepare(const FileRecordList& records,
                                                    const ExportSettings& settings) const
{
    JsonWriter writer;
    writer.setHumanReadable(true);
    const auto text = writer.stringWithObject(exportObject(records, settings.skipFilePrivate));
    if (!text) {
        logLine(writer.errorTrace().isEmpty() ? QStringLiteral("JSON export failed")
                                              : writer.errorTrace().last().message);
        return std::nullopt;
    }
    return text->toUtf8();
}

} // namespace perspix
