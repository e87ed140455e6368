#include "export/JsonLinesExportFormat.h"

#include "export/JsonWriter.h"
#include "model/Log.h"

namespace perspix {

std::optional<QByteArray> JsonLinesExportFormat::recordPiece(const FileRecord& record, qsizetype,
                                                             bool,
                                                             const ExportSettings& settings) const
{
    JsonWriter writer; // compact: no line break inside the object
    const auto text = writer.stringWithObject(exportRecordObject(record, settings.skipFilePrivate));
    if (!text) {
        logLine(writer.errorTrace().isEmpty() ? QStringLiteral("JSON export failed")
                                              : writer.errorTrace().last().message);
        return std::nullopt;
    }
    return text->toUtf8() + '\n';
}

} // namespace perspix
