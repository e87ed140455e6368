// Writes the analysis results of a file list in one of the export formats, either into
// one compound file or into one file per listed file in a folder. Where the output goes
// is asked from a chooser (the GUI's save panel and folder chooser, or the paths given on
// the command line); the exporter itself never shows anything.
#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

#include "export/ExportFormat.h"
#include "model/FileRecord.h"

namespace perspix {

// Asks where an export goes. Answering nothing means the user cancelled.
class ExportTargetChooser
{
public:
    virtual ~ExportTargetChooser() = default;
    // The file for a compound export; only files with the given extension are offered.
    virtual std::optional<QString> chooseSaveFile(const QString& proposedName,
                                                  const QString& extension) = 0;
    // The folder for separate files.
    virtual std::optional<QString> chooseFolder() = 0;
};

class PerspixExporter
{
public:
    enum Result { Written = 0, Cancelled = 1, WriteFailed = 2 };
    using CompletionHandler = std::function<void(int result)>;

    // What a separate export wrote and what it could not write.
    struct SeparateFilesReport
    {
        QStringList written;
        // Paths that could not be written (or whose bytes could not be made), each with
        // the reason.
        QList<std::pair<QString, QString>> failed;
    };

    explicit PerspixExporter(ExportTargetChooser* chooser = nullptr); // initWithWindow

    void setArrayWithData(const FileRecordList& records) { m_data = records; }
    const FileRecordList& arrayWithData() const { return m_data; }
    QString format() const { return m_format; }
    void setFormat(const QString& format) { m_format = format; }
    bool compound() const { return m_compound; }
    void setCompound(bool compound) { m_compound = compound; }
    bool skipFilePrivate() const { return m_skipFilePrivate; }
    void setSkipFilePrivate(bool skip) { m_skipFilePrivate = skip; }
    // "v<version> (<build>)" in the first line of a text export.
    QString generatedBy() const { return m_generatedBy; }
    void setGeneratedBy(const QString& text) { m_generatedBy = text; }

    // Format identifier to file extension, for every known format.
    const QMap<QString, QString>& formatExt() const { return m_formatExt; }
    // The extension for a format identifier; "" for an unknown one.
    QString extensionForExportFormat(const QString& format) const;

    // Compound file when compound is on or there is exactly one record, otherwise one
    // file per record. With no records, or an unknown format for a compound file,
    // nothing happens and the handler is not called; otherwise it is called once with a
    // Result.
    void doExportWithCompletionHandler(const CompletionHandler& handler);
    void doExportInCompoundFileWithCompletionHandler(const CompletionHandler& handler);
    void doExportInSeparateFilesWithCompletionHandler(const CompletionHandler& handler);

    // The bytes of one output file of the current format holding the given records;
    // nothing for an unknown format or when they cannot be made.
    std::optional<QByteArray> prepareExport(const FileRecordList& records) const;
    std::optional<QByteArray> prepareTextExport(const FileRecordList& records) const;
    std::optional<QByteArray> prepareHTMLExport(const FileRecordList& records) const;
    std::optional<QByteArray> prepareXMLExport(const FileRecordList& records) const;
    std::optional<QByteArray> prepareCSVExport(const FileRecordList& records) const;
    std::optional<QByteArray> prepareJSONExport(const FileRecordList& records) const;
    std::optional<QByteArray> preparePlistExport(const FileRecordList& records) const;

    // The two writers behind the modes, for callers that already know the target.
    // Writes every record into one file: Written, or WriteFailed with the reason.
    Result writeCompoundFile(const QString& path, QString* error = nullptr) const;
    // Writes one file per record into an existing folder, each under a name of its own.
    SeparateFilesReport writeSeparateFiles(const QString& folder) const;

    // The name proposed for a compound file: the one file's base name, or
    // "Perspix Export" for several.
    QString proposedCompoundName() const;

private:
    std::optional<QByteArray> prepareWith(const QString& identifier,
                                          const FileRecordList& records) const;
    void doExportInSeparateFilesToFolder(const QString& folder,
                                         const CompletionHandler& handler) const;

    ExportTargetChooser* m_chooser = nullptr; // not owned
    bool m_compound = true;
    QMap<QString, QString> m_formatExt;
    FileRecordList m_data;
    QString m_format = QStringLiteral("txt");
    bool m_skipFilePrivate = false;
    QString m_generatedBy;
};

} // namespace perspix
