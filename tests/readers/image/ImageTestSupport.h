// Helpers for the image reader tests: running the exiv2 tool (the peer that reads with the
// same library) and crafting sample variants with it in temporary folders.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QList>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <ostream>
#include <utility>

// Readable failure messages for Qt strings.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace perspix::test {

// Standard output of a tool run to its end; empty when it cannot be started.
inline QByteArray runTool(const QString& program, const QStringList& arguments,
                          int* exitCode = nullptr)
{
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start();
    if (!process.waitForStarted(10000))
        return {};
    process.closeWriteChannel();
    process.waitForFinished(60000);
    if (exitCode)
        *exitCode = process.exitCode();
    return process.readAllStandardOutput();
}

// Applies exiv2 modify commands ("set Exif.Image.Model Ascii X", "del ...") to a file.
inline bool exiv2Modify(const QString& file, const QStringList& commands)
{
    QStringList arguments{QStringLiteral("-q")};
    for (const QString& command : commands)
        arguments << QStringLiteral("-M") << command;
    arguments << file;
    int code = -1;
    runTool(QStringLiteral("exiv2"), arguments, &code);
    return code == 0;
}

using PeerEntries = QList<std::pair<QString, QString>>;

// Parses "exiv2 -P?kt" output: each entry is its key, padded to 44 columns and two blanks,
// then the printed value; a value with line breaks continues on the following lines.
inline PeerEntries parsePeerOutput(const QByteArray& output, const QString& family)
{
    PeerEntries entries;
    const QRegularExpression start(QStringLiteral("^(%1\\.\\S+) ").arg(family));
    const QStringList lines = QString::fromUtf8(output).split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString& line = lines[i];
        const QRegularExpressionMatch match = start.match(line);
        if (match.hasMatch()) {
            const QString key = match.captured(1);
            const qsizetype valueStart = std::max<qsizetype>(44, key.size()) + 2;
            entries.append({key, line.mid(valueStart)});
        } else if (!entries.isEmpty() && !(i == lines.size() - 1 && line.isEmpty())) {
            entries.last().second += QLatin1Char('\n') + line;
        }
    }
    return entries;
}

} // namespace perspix::test
