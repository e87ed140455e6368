// Coding and whole-message I/O of the helper channel (see AnalyserChannel.h).
#include "batch/AnalyserChannel.h"

#include <QCborArray>
#include <QCborMap>
#include <QCborValue>
#include <cerrno>
#include <cstring>
#include <unistd.h>

#include "taglink/ChildProcess.h"

namespace perspix::analyser {

namespace {

bool validKind(char c)
{
    switch (static_cast<Kind>(c)) {
    case Kind::Analyse:
    case Kind::MakeCover:
    case Kind::ExiftoolAnswer:
    case Kind::Log:
    case Kind::ExiftoolRequest:
    case Kind::Result:
    case Kind::NoResult:
    case Kind::Cover:
    case Kind::OutOfMemory:
        return true;
    }
    return false;
}

quint32 lengthOf(const char* p)
{
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return quint32(u[0]) | (quint32(u[1]) << 8) | (quint32(u[2]) << 16) | (quint32(u[3]) << 24);
}

bool readAll(int fd, char* into, qint64 size)
{
    while (size > 0) {
        const ssize_t n = ::read(fd, into, static_cast<size_t>(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        into += n;
        size -= n;
    }
    return true;
}

} // namespace

QByteArray frame(Kind kind, const QByteArray& payload)
{
    QByteArray bytes;
    bytes.reserve(kHeaderSize + payload.size());
    const auto size = static_cast<quint32>(payload.size());
    bytes.append(static_cast<char>(kind));
    for (int i = 0; i < 4; ++i)
        bytes.append(static_cast<char>((size >> (8 * i)) & 0xff));
    bytes.append(payload);
    return bytes;
}

std::optional<Message> takeMessage(QByteArray& buffer, bool* broken)
{
    if (buffer.isEmpty())
        return std::nullopt;
    if (!validKind(buffer.at(0))) {
        *broken = true;
        return std::nullopt;
    }
    if (buffer.size() < kHeaderSize)
        return std::nullopt;
    const qint64 size = lengthOf(buffer.constData() + 1);
    if (size >= kMaxPayload) {
        *broken = true;
        return std::nullopt;
    }
    if (buffer.size() < kHeaderSize + size)
        return std::nullopt;
    Message message{static_cast<Kind>(buffer.at(0)), buffer.mid(kHeaderSize, size)};
    buffer.remove(0, kHeaderSize + size);
    return message;
}

bool writeMessage(int fd, Kind kind, const QByteArray& payload)
{
    const QByteArray bytes = frame(kind, payload);
    return taglink::writeAll(fd, bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

std::optional<Message> readMessage(int fd)
{
    char header[kHeaderSize];
    if (!readAll(fd, header, kHeaderSize) || !validKind(header[0]))
        return std::nullopt;
    const qint64 size = lengthOf(header + 1);
    if (size >= kMaxPayload)
        return std::nullopt;
    Message message{static_cast<Kind>(header[0]), QByteArray(size, Qt::Uninitialized)};
    if (!readAll(fd, message.payload.data(), size))
        return std::nullopt;
    return message;
}

QByteArray encodePath(const QString& path)
{
    return QByteArray(reinterpret_cast<const char*>(path.utf16()), path.size() * 2);
}

QString decodePath(const QByteArray& bytes)
{
    QString path(bytes.size() / 2, Qt::Uninitialized);
    std::memcpy(path.data(), bytes.constData(), static_cast<size_t>(path.size()) * 2);
    return path;
}

QByteArray encodeAnalyse(const QString& path, const QVariantMap& options)
{
    return QCborArray{encodePath(path), QCborMap::fromVariantMap(options)}.toCborValue().toCbor();
}

bool decodeAnalyse(const QByteArray& payload, QString* path, QVariantMap* options)
{
    const QCborValue value = QCborValue::fromCbor(payload);
    const QCborArray array = value.toArray();
    if (array.size() != 2 || !array.at(0).isByteArray() || !array.at(1).isMap())
        return false;
    *path = decodePath(array.at(0).toByteArray());
    *options = array.at(1).toMap().toVariantMap();
    return true;
}

QByteArray encodePair(const QByteArray& first, const QByteArray& second)
{
    return QCborArray{first, second}.toCborValue().toCbor();
}

bool decodePair(const QByteArray& payload, QByteArray* first, QByteArray* second)
{
    const QCborArray array = QCborValue::fromCbor(payload).toArray();
    if (array.size() != 2 || !array.at(0).isByteArray() || !array.at(1).isByteArray())
        return false;
    *first = array.at(0).toByteArray();
    *second = array.at(1).toByteArray();
    return true;
}

} // namespace perspix::analyser
