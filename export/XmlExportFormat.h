// XML: one <file> element per file with its streams and their export entries, without a
// declaration or an enclosing root element.
#pragma once

#include "export/ExportFormat.h"

namespace perspix {

class XmlExportFormat : public ExportFormat
{
public:
    QString identifier() const override { return QStringLiteral("xml"); }
    std::optional<QByteArray> prepare(const FileRecordList& records,
                                      const ExportSettings& settings) const override;
};

} // namespace perspix
