// XML: a well-formed XML 1.0 document, one <files> root holding one <file> element per file
// with its streams and their export entries. The document is made of three steps (start,
// one record per file, end) so that a writer can also send it out record by record.
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
    QByteArray tail(const ExportSettings& settings, bool several, qsizetype count) const override;

    // The declaration and the root's start tag.
    static QByteArray documentStart();
    // One <file> element, with a line break after it.
    static QByteArray fileElement(const FileRecord& record, const ExportSettings& settings);
    // The root's end tag.
    static QByteArray documentEnd();
};

} // namespace perspix
