// The messages between a program and its perspix-analyser helpers, over the helper's
// standard input and output: one kind byte, the payload's length (four bytes, little end
// first) and the payload. Only the coding and the blocking reads and writes; what the two
// sides do with the messages lives with them (AnalyserClient, analyser/).
#pragma once

#include <QByteArray>
#include <QString>
#include <QVariantMap>
#include <optional>

namespace perspix::analyser {

enum class Kind : char {
    // Program to helper.
    Analyse = 'A',        // path and analysis options
    MakeCover = 'C',      // path and the cover to make (coverToMake)
    ExiftoolAnswer = 'X', // the answer to an ExifTool request
    // Helper to program.
    Log = 'L',             // one log line, UTF-8
    ExiftoolRequest = 'E', // the path and option lines of one ExifTool request
    Result = 'R',          // the analysed file in the result store's coding
    NoResult = 'N',        // the analysis gave nothing, as an in-process one would
    Cover = 'I',           // the cover made, coded as a value; empty for none
    OutOfMemory = 'M',     // an allocation failed under the memory limit; the helper ends
};

struct Message
{
    Kind kind = Kind::Log;
    QByteArray payload;
};

// A message whose payload claims more than this is no message of ours.
constexpr qint64 kMaxPayload = qint64(1) << 31;
constexpr int kHeaderSize = 5;

QByteArray frame(Kind kind, const QByteArray& payload);
// Takes one whole message off the front of the buffer. Nothing when the buffer does not
// hold one yet; `broken` is set when its head cannot be a message.
std::optional<Message> takeMessage(QByteArray& buffer, bool* broken);

// Blocking writes and reads of whole messages (for the helper's side).
bool writeMessage(int fd, Kind kind, const QByteArray& payload);
std::optional<Message> readMessage(int fd);

// Paths travel as UTF-16 code units, so that a name that is no valid UTF-8 comes back as
// the same string.
QByteArray encodePath(const QString& path);
QString decodePath(const QByteArray& bytes);

QByteArray encodeAnalyse(const QString& path, const QVariantMap& options);
bool decodeAnalyse(const QByteArray& payload, QString* path, QVariantMap* options);
QByteArray encodePair(const QByteArray& first, const QByteArray& second);
bool decodePair(const QByteArray& payload, QByteArray* first, QByteArray* second);

} // namespace perspix::analyser
