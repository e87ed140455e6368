// The peer programs that check what Perspix writes (exiv2, exiftool, mediainfo, ffmpeg),
// run to their end through QProcess, and a digest of a file to show it did not change.
#pragma once

#include <QByteArray>
#include <QCryptographicHash>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace perspix::test::peer {

struct ToolResult
{
    bool started = false;
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

inline ToolResult run(const QString& program, const QStringList& arguments,
                      const QString& workingDirectory = {})
{
    ToolResult result;
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    if (!workingDirectory.isEmpty())
        process.setWorkingDirectory(workingDirectory);
    process.start();
    if (!process.waitForStarted(10000))
        return result;
    result.started = true;
    process.closeWriteChannel();
    process.waitForFinished(120000);
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

// SHA-256 of a file's bytes, as hexadecimal text; empty when it cannot be read.
inline QByteArray fileDigest(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    return hash.result().toHex();
}

// The keys of every Exif, IPTC or XMP datum exiv2 prints ("exiv2 -PEIXk"), one per datum.
inline QStringList exiv2Keys(const QString& path)
{
    const ToolResult r =
        run(QStringLiteral("exiv2"), {QStringLiteral("-q"), QStringLiteral("-PEIXk"), path});
    QStringList keys;
    for (const QByteArray& line : r.out.split('\n')) {
        const QByteArray key = line.trimmed();
        if (!key.isEmpty())
            keys.append(QString::fromUtf8(key));
    }
    return keys;
}

// exiftool's tags of a file as "Group1:Tag" keys with their values ("-j -a -G1 -u"),
// without the groups that describe the file itself rather than its contents.
inline QJsonObject exiftoolTags(const QString& path, const QStringList& extra = {})
{
    const ToolResult r =
        run(QStringLiteral("exiftool"), QStringList{QStringLiteral("-j"), QStringLiteral("-a"),
                                                    QStringLiteral("-G1"), QStringLiteral("-u")} +
                                            extra + QStringList{path});
    const QJsonArray array = QJsonDocument::fromJson(r.out).array();
    QJsonObject tags = array.isEmpty() ? QJsonObject() : array.first().toObject();
    for (const QString& key : tags.keys()) {
        if (key == QLatin1String("SourceFile") || key.startsWith(QLatin1String("System:")) ||
            key.startsWith(QLatin1String("ExifTool:")))
            tags.remove(key);
    }
    return tags;
}

// mediainfo's full text report.
inline QString mediainfoReport(const QString& path)
{
    return QString::fromUtf8(run(QStringLiteral("mediainfo"), {QStringLiteral("-f"), path}).out);
}

// One hash line per stream ("0,v,SHA256=..."), copied without decoding: equal lists mean
// bit-identical streams.
inline QByteArray streamHashes(const QString& path)
{
    return run(QStringLiteral("ffmpeg"),
               {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), path,
                QStringLiteral("-map"), QStringLiteral("0"), QStringLiteral("-c"),
                QStringLiteral("copy"), QStringLiteral("-f"), QStringLiteral("streamhash"),
                QStringLiteral("-")})
        .out;
}

} // namespace perspix::test::peer
