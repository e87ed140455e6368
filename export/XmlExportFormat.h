// XML: one <file> element per file with its streams and their export entries, without a
// declaration or an enclosing root element.
#pragma once

#include "export/ExportFormat.h"

namespace perspix {

class XmlExportFormat : public ExportFormat
{
public:
    QString identifier() const override { return QStringLiteral("xml"); }
    QByteArray head(const ExportSettings& settings, bool several) const override;
    std::optional<QByteArray> recordPiece(const FileRecord& record, qsizetype index, bool several,
                                          const ExportSettings& settings) const override;
};

} // namespace perspix
