// System tests of --packets and --bitrate: the program against ffprobe on every film and
// sound file of the sample folder, and on a film cut short.
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <cmath>
#include <gtest/gtest.h>
#include <map>

#include "cli/CommandLine.h"
#include "support/TestSupport.h"

using perspix::test::dataPath;
using perspix::test::Outcome;
using perspix::test::TempDir;

namespace {

Outcome runCli(const QStringList& args)
{
    TempDir home;
    return perspix::test::runProgram(QStringLiteral(PERSPIX_CLI_PROGRAM), args, home.path());
}

Outcome runFfprobe(const QString& path)
{
    QProcess p;
    p.start(QStringLiteral("ffprobe"),
            {"-v", "error", "-show_entries",
             "packet=stream_index,pts_time,dts_time,duration_time,size,flags", "-of", "csv=p=0",
             path});
    p.waitForFinished(60000);
    // A packet with side data ends its line with a "," and one empty line per item of side
    // data (the side data sections, none of whose entries were asked for): one line each.
    QString lines;
    for (const QString& line : QString::fromUtf8(p.readAllStandardOutput()).split('\n')) {
        if (line.isEmpty())
            continue;
        lines += (line.endsWith(',') ? line.chopped(1) : line) + '\n';
    }
    return {p.exitCode(), lines, QString::fromUtf8(p.readAllStandardError())};
}

QStringList filmsAndSounds()
{
    QStringList files;
    for (const QString& folder : {QStringLiteral("media"), QStringLiteral("audio")}) {
        const QDir dir(dataPath(folder));
        for (const QString& name : dir.entryList(QDir::Files, QDir::Name))
            files.append(dir.filePath(name));
    }
    return files;
}

// Bits per (stream, interval number) summed from ffprobe's packet lines.
std::map<std::pair<int, long long>, long long> sumsOfPeerLines(const QString& lines,
                                                               long long intervalUs)
{
    std::map<std::pair<int, long long>, long long> sums;
    for (const QString& line : lines.split('\n', Qt::SkipEmptyParts)) {
        const QStringList f = line.split(',');
        const QString time = f[1] != "N/A" ? f[1] : f[2];
        if (time == "N/A")
            continue;
        const long long us = std::llround(time.toDouble() * 1e6);
        const long long number = us >= 0 ? us / intervalUs : -((-us + intervalUs - 1) / intervalUs);
        sums[{f[0].toInt(), number}] += f[4].toLongLong() * 8;
    }
    return sums;
}

} // namespace

// Every packet of every sample the same as ffprobe's, line for line: sound samples and
// films of every container, packets with side data, and files ffprobe cannot open.
TEST(PacketsRun, PacketsAreThePeersForEverySample)
{
    const QStringList files = filmsAndSounds();
    ASSERT_GT(files.size(), 20);
    int withPackets = 0;
    for (const QString& file : files) {
        SCOPED_TRACE(file.toStdString());
        const Outcome peer = runFfprobe(file);
        const Outcome ours = runCli({"--packets", file});
        EXPECT_EQ(ours.out, peer.out);
        if (peer.err.isEmpty()) {
            EXPECT_EQ(ours.status, perspix::cli::kExitOk) << ours.err.toStdString();
            EXPECT_TRUE(ours.err.isEmpty()) << ours.err.toStdString();
        }
        if (peer.status != 0 || ours.status != 0) {
            EXPECT_EQ(ours.status, perspix::cli::kExitFailedFiles);
            EXPECT_TRUE(ours.err.contains(QFileInfo(file).fileName())) << ours.err.toStdString();
        }
        if (!peer.out.isEmpty())
            ++withPackets;
    }
    EXPECT_GT(withPackets, 15);
}

// Bits per interval are the sums over the peer's packets, for several interval lengths;
// intervals without packets inside a stream's span count 0.
TEST(PacketsRun, BitrateIsTheSumOfThePeersPackets)
{
    struct Case
    {
        const char* file;
        const char* interval;
        long long intervalUs;
    };
    const Case cases[] = {
        {"media/program.mpg", "1", 1'000'000}, {"media/multi.mkv", "0.5", 500'000},
        {"media/paris.mp4", "2", 2'000'000},   {"audio/song.mp3", "0.25", 250'000},
        {"media/sydney.mov", "5", 5'000'000},  {"audio/tone.flac", "0.1", 100'000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const QString path = dataPath(c.file);
        const auto expected = sumsOfPeerLines(runFfprobe(path).out, c.intervalUs);
        ASSERT_FALSE(expected.empty());
        const Outcome ours = runCli({"--bitrate", path, "--interval", c.interval});
        ASSERT_EQ(ours.status, 0) << ours.err.toStdString();
        std::map<std::pair<int, long long>, long long> got;
        for (const QString& line : ours.out.split('\n', Qt::SkipEmptyParts)) {
            const QStringList f = line.split(',');
            ASSERT_EQ(f.size(), 5) << line.toStdString();
            const long long start = std::llround(f[1].toDouble() * 1e6);
            const long long end = std::llround(f[2].toDouble() * 1e6);
            EXPECT_EQ(end - start, c.intervalUs);
            EXPECT_EQ(start % c.intervalUs, 0);
            const long long bits = f[3].toLongLong();
            EXPECT_EQ(f[4].toLongLong(), std::llround(bits * 1e6 / double(c.intervalUs)));
            if (bits != 0)
                got[{f[0].toInt(), start / c.intervalUs}] = bits; // start is a multiple
        }
        EXPECT_EQ(got, expected);
    }
}

// A film cut short: the packets before the cut, the place where reading stopped on standard
// error, exit status 1, in every output form.
TEST(PacketsRun, CutShortFilmGivesItsFirstPacketsAndTheStoppingPlace)
{
    const QString path = dataPath("media/cut-short.mp4");
    const Outcome peer = runFfprobe(path);
    const qsizetype count = peer.out.count('\n');
    ASSERT_GT(count, 50);
    const Outcome csv = runCli({"--packets", path});
    EXPECT_EQ(csv.status, perspix::cli::kExitFailedFiles);
    EXPECT_EQ(csv.out, peer.out);
    EXPECT_TRUE(
        csv.err.contains(QStringLiteral("reading stopped after %1 packets, at byte ").arg(count)))
        << csv.err.toStdString();
    EXPECT_TRUE(csv.err.contains("of 25000")) << csv.err.toStdString();
    EXPECT_TRUE(csv.err.contains("partial file")) << csv.err.toStdString();

    const Outcome json = runCli({"--packets", path, "--format", "json"});
    EXPECT_EQ(json.status, perspix::cli::kExitFailedFiles);
    QJsonParseError error;
    const QJsonObject doc = QJsonDocument::fromJson(json.out.toUtf8(), &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << json.out.left(300).toStdString();
    EXPECT_EQ(doc["packets"].toArray().size(), count);
    EXPECT_FALSE(doc["complete"].toBool(true));
    EXPECT_TRUE(doc["error"].toString().contains("reading stopped"));
    EXPECT_EQ(doc["streams"].toArray().size(), 2);
    const QJsonObject first = doc["packets"].toArray().first().toObject();
    EXPECT_EQ(first["flags"].toString(), "K_");
    EXPECT_EQ(first["size"].toInt(), peer.out.section('\n', 0, 0).section(',', 4, 4).toInt());

    const Outcome lines = runCli({"--bitrate", path, "--format", "jsonl"});
    EXPECT_EQ(lines.status, perspix::cli::kExitFailedFiles);
    for (const QString& line : lines.out.split('\n', Qt::SkipEmptyParts)) {
        QJsonParseError lineError;
        QJsonDocument::fromJson(line.toUtf8(), &lineError);
        EXPECT_EQ(lineError.error, QJsonParseError::NoError) << line.toStdString();
    }
    EXPECT_TRUE(lines.err.contains("reading stopped"));
}

// Bad requests are usage errors before any file is opened.
TEST(PacketsRun, UsageErrors)
{
    const QString film = dataPath("media/nyc.mp4");
    const QStringList cases[] = {
        {"--packets"},
        {"--packets", film, "--interval", "1"},
        {"--bitrate", film, "--interval", "0"},
        {"--bitrate", film, "--interval", "abc"},
        {"--packets", film, "--format", "xml"},
        {"--packets", film, "--bitrate", film},
        {"--packets", film, "--threads", "2"},
    };
    for (const QStringList& args : cases) {
        SCOPED_TRACE(args.join(' ').toStdString());
        const Outcome o = runCli(args);
        EXPECT_EQ(o.status, perspix::cli::kExitUsage);
        EXPECT_TRUE(o.out.isEmpty());
    }
    const Outcome missing = runCli({"--packets", dataPath("media/no-such-film.mp4")});
    EXPECT_EQ(missing.status, perspix::cli::kExitFailedFiles);
    EXPECT_TRUE(missing.err.contains("no-such-film.mp4"));
}
