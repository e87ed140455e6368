// Record-by-record export writer (see ExportStream.h).
#include "export/ExportStream.h"

#include <QDir>
#include <QFileInfo>

#include "model/Utilities.h"

namespace perspix {

namespace {

// The last path component without its extension; a leading dot starts no extension.
QString baseName(const QString& path)
{
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? name.left(dot) : name;
}

} // namespace

ExportStream::ExportStream(const ExportFormat& format, const ExportSettings& settings)
    : m_format(format), m_settings(settings)
{
}

void ExportStream::writeTo(QIODevice* device)
{
    m_device = device;
    m_target = QStringLiteral("standard output");
}

bool ExportStream::openFile(const QString& path)
{
    m_target = path;
    m_file = std::make_unique<QFile>(path);
    if (!m_file->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        fail(QStringLiteral("cannot write %1: %2").arg(path, m_file->errorString()));
        m_file.reset();
        m_writeFailed = true;
        return false;
    }
    m_device = m_file.get();
    return true;
}

bool ExportStream::writeSeparatelyInto(const QString& folder)
{
    m_separate = true;
    m_folder = folder;
    if (!QFileInfo(folder).isDir()) {
        fail(QStringLiteral("cannot write into %1: no such folder").arg(folder));
        m_writeFailed = true;
        return false;
    }
    return true;
}

void ExportStream::fail(const QString& message)
{
    m_messages.append(message);
    m_failed = true;
}

bool ExportStream::write(const QByteArray& bytes)
{
    if (m_writeFailed || !m_device)
        return false;
    // Flushed at once: a reader at the other end of a pipe gets each record when it is made.
    if (m_device->write(bytes) != bytes.size() ||
        (qobject_cast<QFile*>(m_device) && !static_cast<QFile*>(m_device)->flush())) {
        m_writeFailed = true;
        fail(m_file ? QStringLiteral("cannot write %1: %2").arg(m_target, m_device->errorString())
                    : QStringLiteral("cannot write the export to standard output"));
        return false;
    }
    return true;
}

void ExportStream::add(const FileRecord& record)
{
    if (m_separate) {
        if (!m_writeFailed)
            writeSeparateFile(record);
        return;
    }
    if (m_format.singleRecordDiffers() && m_count == 0 && !m_held) {
        m_held = record;
        return;
    }
    if (m_held) {
        writeRecord(*m_held, true);
        m_held.reset();
    }
    writeRecord(record, true);
}

void ExportStream::writeRecord(const FileRecord& record, bool several)
{
    if (!m_headWritten) {
        m_headWritten = true;
        write(m_format.head(m_settings, several));
    }
    const std::optional<QByteArray> piece =
        m_format.recordPiece(record, m_count, several, m_settings);
    if (!piece) {
        fail(QStringLiteral("cannot export %1: the export could not be made").arg(record.filename));
        return;
    }
    ++m_count;
    write(*piece);
}

void ExportStream::writeSeparateFile(const FileRecord& record)
{
    const QString wanted = QDir(m_folder).filePath(baseName(record.filename) + QLatin1Char('.') +
                                                   m_format.identifier());
    const std::optional<QByteArray> bytes = m_format.prepare({record}, m_settings);
    const std::optional<QString> path = Utilities::uniqueFilename(wanted);
    QString error;
    if (!bytes) {
        error = QStringLiteral("the export could not be made");
    } else if (!path) {
        error = QStringLiteral("no free file name");
    } else {
        QFile file(*path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(*bytes) != bytes->size() || !file.flush())
            error = file.errorString();
    }
    if (!error.isEmpty())
        fail(QStringLiteral("cannot write %1: %2").arg(path.value_or(wanted), error));
}

bool ExportStream::finish()
{
    if (!m_separate) {
        const bool several = !m_held;
        if (m_held) {
            writeRecord(*m_held, false);
            m_held.reset();
        }
        if (!m_headWritten) {
            m_headWritten = true;
            write(m_format.head(m_settings, several));
        }
        write(m_format.tail(m_settings, several, m_count));
        if (m_file)
            m_file->close();
    }
    return !m_failed;
}

} // namespace perspix
