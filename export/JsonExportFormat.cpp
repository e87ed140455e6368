#include "export/JsonExportFormat.h"

#include "export/JsonWriter.h"
#include "model/Log.h"

namespace perspix {

QByteArray JsonExportFormat::head(const ExportSettings&, bool several) const
{
    return several ? QByteArrayLiteral("[") : QByteArray();
}

// One file alone is a bare record; several are the elements of a list, written as the
// writer writes a list's elements: after a line break and one level of indentation.
std::optional<QByteArray> JsonExportFormat::recordPiece(const FileRecord& record, qsizetype index,
                                                        bool several,
                                                        const ExportSettings& settings) const
{
    JsonWriter writer;
    writer.setHumanReadable(true);
    const auto text = writer.stringWithObject(exportRecordObject(record, settings.skipFilePrivate),
                                              several ? 1 : 0);
    if (!text) {
        logLine(writer.errorTrace().isEmpty() ? QStringLiteral("JSON export failed")
                                              : writer.errorTrace().last().message);
        return std::nullopt;
    }
    if (!several)
        return text->toUtf8();
    return (index > 0 ? QByteArrayLiteral(",\n  ") : QByteArrayLiteral("\n  ")) + text->toUtf8();
}

QByteArray JsonExportFormat::tail(const ExportSettings&, bool several, qsizetype count) const
{
    if (!several)
        return {};
    return count > 0 ? QByteArrayLiteral("\n]") : QByteArrayLiteral("]");
}

} // namespace perspix
