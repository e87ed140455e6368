// Analysis of many films and sound files on one thread, against the mediainfo tool reading
// the same files in one process. Prints both times and their ratio (target: at most 0.9).
//
//   MediaAnalysisBench [--count N] [--rounds R] [--data DIR] [--ours-only]
//
// --ours-only runs our analysis once and nothing else, for a profiler
// (valgrind --tool=callgrind MediaAnalysisBench --count 100 --ours-only).
// The files are copies of the samples in tests/data/media and tests/data/audio under new
// names, made in a temporary folder that is removed afterwards.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <sys/resource.h>

#include "batch/CoreSetup.h"
#include "model/PerspixData.h"
#include "readers/mediainfo/oMediaInfo.h"

using namespace perspix;

namespace {

QString defaultDataFolder()
{
    return QFileInfo(QStringLiteral(__FILE__)).dir().filePath(QStringLiteral("../tests/data"));
}

QStringList makeCopies(const QString& dataFolder, const QString& target, int count)
{
    QStringList samples;
    for (const QString& sub : {QStringLiteral("media"), QStringLiteral("audio")}) {
        const QDir dir(QDir(dataFolder).filePath(sub));
        for (const QString& name : dir.entryList(QDir::Files, QDir::Name))
            samples.append(dir.filePath(name));
    }
    QStringList copies;
    if (samples.isEmpty())
        return copies;
    for (int i = 0; i < count; ++i) {
        const QFileInfo sample(samples.at(i % samples.size()));
        const QString copy =
            QDir(target).filePath(QStringLiteral("%1 %2.%3")
                                      .arg(i, 4, 10, QLatin1Char('0'))
                                      .arg(sample.completeBaseName(), sample.suffix()));
        if (QFile::copy(sample.filePath(), copy))
            copies.append(copy);
    }
    return copies;
}

// Wall-clock and processor seconds of one run. On a machine shared with other work the
// processor time is the steadier figure.
struct Timing
{
    double wall = 1e9;
    double cpu = 1e9;
    void keepBest(const Timing& other)
    {
        wall = std::min(wall, other.wall);
        cpu = std::min(cpu, other.cpu);
    }
};

double processCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

double childrenCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    const auto seconds = [](const timeval& t) {
        return double(t.tv_sec) + double(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

Timing ourAnalysis(const QStringList& files, int& analysed)
{
    analysed = 0;
    QElapsedTimer timer;
    const double cpu = processCpuSeconds();
    timer.start();
    for (const QString& path : files)
        if (PerspixData::dataAboutFile(path, {}))
            ++analysed;
    return {double(timer.nsecsElapsed()) / 1e9, processCpuSeconds() - cpu};
}

// Only the library's opening and parsing, to tell its share from ours.
Timing libraryOpenOnly(const QStringList& files)
{
    QElapsedTimer timer;
    const double cpu = processCpuSeconds();
    timer.start();
    for (const QString& path : files) {
        oMediaInfo mi;
        mi.Open(path);
    }
    return {double(timer.nsecsElapsed()) / 1e9, processCpuSeconds() - cpu};
}

std::optional<Timing> peerTool(const QStringList& files)
{
    QProcess tool;
    tool.setStandardOutputFile(QProcess::nullDevice());
    tool.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer timer;
    const double cpu = childrenCpuSeconds();
    timer.start();
    tool.start(QStringLiteral("mediainfo"), QStringList{QStringLiteral("--Output=JSON")} + files);
    if (!tool.waitForFinished(600000) || tool.exitStatus() != QProcess::NormalExit)
        return std::nullopt;
    return Timing{double(timer.nsecsElapsed()) / 1e9, childrenCpuSeconds() - cpu};
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    setupCore();

    int count = 600;
    int rounds = 3;
    QString dataFolder = defaultDataFolder();
    const QStringList args = app.arguments();
    const bool oursOnly = args.contains(QStringLiteral("--ours-only"));
    for (qsizetype i = 1; i + 1 < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--count"))
            count = std::max(1, args.at(i + 1).toInt());
        else if (args.at(i) == QLatin1String("--rounds"))
            rounds = std::max(1, args.at(i + 1).toInt());
        else if (args.at(i) == QLatin1String("--data"))
            dataFolder = args.at(i + 1);
    }

    QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/perspix-bench-XXXXXX"));
    const QStringList files = makeCopies(dataFolder, folder.path(), count);
    if (files.size() < count) {
        std::fprintf(stderr, "could not make %d copies of the samples in %s\n", count,
                     qPrintable(dataFolder));
        return 1;
    }
    std::printf("MediaInfo %s, %lld files, best of %d rounds\n",
                qPrintable(oMediaInfo::libVersion()), static_cast<long long>(files.size()), rounds);

    int analysed = 0;
    if (oursOnly) {
        const Timing run = ourAnalysis(files, analysed);
        std::printf("ours, one thread: %.3f s (%d analysed)\n", run.wall, analysed);
        return 0;
    }

    // One pass of each first, so that both read from the page cache.
    ourAnalysis(files, analysed);
    if (!peerTool(files)) {
        std::fprintf(stderr, "mediainfo did not run\n");
        return 1;
    }

    Timing ours, open, peer;
    for (int r = 0; r < rounds; ++r) {
        ours.keepBest(ourAnalysis(files, analysed));
        open.keepBest(libraryOpenOnly(files));
        peer.keepBest(peerTool(files).value_or(Timing{}));
    }

    const double n = double(files.size());
    const auto row = [n](const char* what, const Timing& t) {
        std::printf("%-28s %7.3f s wall %7.3f ms/file   %7.3f s cpu %7.3f ms/file\n", what, t.wall,
                    t.wall * 1000 / n, t.cpu, t.cpu * 1000 / n);
    };
    std::printf("%d of %lld files analysed\n", analysed, static_cast<long long>(files.size()));
    row("ours, one thread:", ours);
    row("  of which library parsing:", open);
    row("mediainfo --Output=JSON:", peer);
    std::printf("ratio ours/mediainfo:        %7.3f wall   %7.3f cpu  (target <= 0.90: %s)\n",
                ours.wall / peer.wall, ours.cpu / peer.cpu,
                ours.wall / peer.wall <= 0.9 ? "met" : "missed");
    return 0;
}
