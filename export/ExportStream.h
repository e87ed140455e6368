// Writes an export record by record while the analyses finish, into one output (standard
// output or a file) or into one file per record, so that memory does not grow with the
// number of files. The records come in list order; ordering them is the caller's business.
#pragma once

#include <QFile>
#include <QIODevice>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

#include "export/ExportFormat.h"
#include "model/FileRecord.h"

namespace perspix {

class ExportStream
{
public:
    // The format must stream (ExportFormat::streams()).
    ExportStream(const ExportFormat& format, const ExportSettings& settings);

    // Compound output into a device that is open for writing (not owned).
    void writeTo(QIODevice* device);
    // Compound output into a new file: false, with a message, when it cannot be opened.
    bool openFile(const QString& path);
    // One file per record in an existing folder: false, with a message, when there is none.
    bool writeSeparatelyInto(const QString& folder);

    // The next record in list order. Written at once, except the first record of a format
    // that writes one record alone differently, which waits for the second or for finish().
    void add(const FileRecord& record);
    // Writes what is held and the tail: false when anything could not be written.
    bool finish();

    // One line per problem ("cannot write PATH: REASON").
    const QStringList& messages() const { return m_messages; }
    bool failed() const { return m_failed; }

private:
    void writeRecord(const FileRecord& record, bool several);
    void writeSeparateFile(const FileRecord& record);
    bool write(const QByteArray& bytes);
    void fail(const QString& message);

    const ExportFormat& m_format;
    ExportSettings m_settings;
    QIODevice* m_device = nullptr;
    std::unique_ptr<QFile> m_file;
    QString m_target; // for messages: the file or "standard output"
    QString m_folder;
    bool m_separate = false;
    bool m_headWritten = false;
    bool m_writeFailed = false; // the output broke: later bytes are dropped
    qsizetype m_count = 0;
    std::optional<FileRecord> m_held;
    QStringList m_messages;
    bool m_failed = false;
};

} // namespace perspix
