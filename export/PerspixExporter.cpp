// Choice of mode, naming and writing of export files (see PerspixExporter.h).
#include "export/PerspixExporter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "model/Log.h"
#include "model/Utilities.h"

#ifndef PERSPIX_VERSION_STRING
#define PERSPIX_VERSION_STRING "0"
#endif
#ifndef PERSPIX_BUILD_NUMBER
#define PERSPIX_BUILD_NUMBER "0"
#endif

namespace perspix {

namespace {

// The last path component without its extension; a leading dot starts no extension.
QString baseName(const QString& path)
{
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? name.left(dot) : name;
}

const QString kNoBytes = QStringLiteral("the export could not be made");

bool writeWhole(const QString& path, const QByteArray& bytes, QString* error = nullptr)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
        file.write(bytes) == bytes.size() && file.flush())
        return true;
    if (error)
        *error = file.errorString();
    return false;
}

} // namespace

PerspixExporter::PerspixExporter(ExportTargetChooser* chooser)
    : m_chooser(chooser), m_generatedBy(QStringLiteral("v%1 (%2)")
                                            .arg(QStringLiteral(PERSPIX_VERSION_STRING),
                                                 QStringLiteral(PERSPIX_BUILD_NUMBER)))
{
    for (const QString& id : ExportFormat::identifiers())
        m_formatExt.insert(id, id);
}

QString PerspixExporter::extensionForExportFormat(const QString& format) const
{
    return m_formatExt.value(format);
}

void PerspixExporter::doExportWithCompletionHandler(const CompletionHandler& handler)
{
    if (!m_compound && m_data.size() != 1)
        doExportInSeparateFilesWithCompletionHandler(handler);
    else
        doExportInCompoundFileWithCompletionHandler(handler);
}

QString PerspixExporter::proposedCompoundName() const
{
    if (m_data.size() == 1)
        return baseName(m_data.first().filename);
    return QStringLiteral("Perspix Export");
}

void PerspixExporter::doExportInCompoundFileWithCompletionHandler(const CompletionHandler& handler)
{
    if (m_data.isEmpty() || !ExportFormat::formatWithIdentifier(m_format))
        return;
    const std::optional<QByteArray> bytes = prepareExport(m_data);
    const std::optional<QString> path =
        m_chooser
            ? m_chooser->chooseSaveFile(proposedCompoundName(), extensionForExportFormat(m_format))
            : std::nullopt;
    if (!path) {
        handler(Cancelled);
        return;
    }
    const bool written = bytes && writeWhole(*path, *bytes);
    handler(written ? Written : WriteFailed);
}

void PerspixExporter::doExportInSeparateFilesWithCompletionHandler(const CompletionHandler& handler)
{
    if (m_data.isEmpty())
        return;
    const std::optional<QString> folder = m_chooser ? m_chooser->chooseFolder() : std::nullopt;
    if (!folder) {
        handler(Cancelled);
        return;
    }
    doExportInSeparateFilesToFolder(*folder, handler);
}

void PerspixExporter::doExportInSeparateFilesToFolder(const QString& folder,
                                                      const CompletionHandler& handler) const
{
    writeSeparateFiles(folder); // a file that cannot be written does not stop the others
    handler(Written);
}

PerspixExporter::Result PerspixExporter::writeCompoundFile(const QString& path,
                                                           QString* error) const
{
    const std::optional<QByteArray> bytes = prepareExport(m_data);
    if (!bytes) {
        if (error)
            *error = kNoBytes;
        return WriteFailed;
    }
    return writeWhole(path, *bytes, error) ? Written : WriteFailed;
}

PerspixExporter::SeparateFilesReport
PerspixExporter::writeSeparateFiles(const QString& folder) const
{
    SeparateFilesReport report;
    const QString extension = extensionForExportFormat(m_format);
    for (const FileRecord& record : m_data) {
        const QString wanted =
            QDir(folder).filePath(baseName(record.filename) + QLatin1Char('.') + extension);
        const std::optional<QByteArray> bytes = prepareExport({record});
        const std::optional<QString> path = Utilities::uniqueFilename(wanted);
        QString error;
        if (!bytes)
            error = kNoBytes;
        else if (!path)
            error = QStringLiteral("no free file name");
        else if (writeWhole(*path, *bytes, &error))
            report.written.append(*path);
        if (!error.isEmpty())
            report.failed.append({path.value_or(wanted), error});
    }
    return report;
}

std::optional<QByteArray> PerspixExporter::prepareWith(const QString& identifier,
                                                       const FileRecordList& records) const
{
    const ExportFormat* format = ExportFormat::formatWithIdentifier(identifier);
    if (!format)
        return std::nullopt;
    return format->prepare(records, ExportSettings{m_skipFilePrivate, m_generatedBy});
}

std::optional<QByteArray> PerspixExporter::prepareExport(const FileRecordList& records) const
{
    return prepareWith(m_format, records);
}

std::optional<QByteArray> PerspixExporter::prepareTextExport(const FileRecordList& records) const
{
    return prepareWith(QStringLiteral("txt"), records);
}

std::optional<QByteArray> PerspixExporter::prepareHTMLExport(const FileRecordList& records) const
{
    return prepareWith(QStringLiteral("html"), records);
}

std::optional<QByteArray> PerspixExporter::prepareXMLExport(const FileRecordList& records) const
{
    return prepareWith(QStringLiteral("xml"), records);
}

std::optional<QByteArray> PerspixExporter::prepareCSVExport(const FileRecordList& records) const
{
    return prepareWith(QStringLiteral("csv"), records);
}

std::optional<QByteArray> PerspixExporter::prepareJSONExport(const FileRecordList& records) const
{
    return prepareWith(QStringLiteral("json"), records);
}

std::optional<QByteArray> PerspixExporter::preparePlistExport(const FileRecordList& records) const
{
    return prepareWith(QStringLiteral("plist"), records);
}

} // namespace perspix
