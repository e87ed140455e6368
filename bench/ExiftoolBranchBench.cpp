// The ExifTool branch of the analysis on one thread over at least 400 non-image files,
// against ExifTool itself listing the same files in one process
// ("exiftool -j -l -G:0:1:2:4 -D -a FILES"), measured in the same run.
// Usage: ExiftoolBranchBench [corpus folder]   (default: the repository's tests/data)
#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

#include "batch/CoreSetup.h"
#include "model/Keys.h"
#include "model/PerspixData.h"
#include "taglink/AuxiliaryPrograms.h"
#include "taglink/Taglink.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kMinimumFiles = 400;
constexpr int kRounds = 3;

double seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

// Processor time of this process and of its reaped children, in seconds.
double processorSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    const auto toSeconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return toSeconds(usage.ru_utime) + toSeconds(usage.ru_stime);
}

double cpuNow()
{
    return processorSeconds(RUSAGE_SELF) + processorSeconds(RUSAGE_CHILDREN);
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    perspix::setupCore();
    const QString corpus =
        argc > 1 ? QString::fromLocal8Bit(argv[1])
                 : QCoreApplication::applicationDirPath() + QStringLiteral("/../../../tests/data");
    QStringList distinct;
    for (const QString& folder : {QStringLiteral("media"), QStringLiteral("audio")}) {
        const QDir dir(QDir(corpus).filePath(folder));
        for (const QString& name : dir.entryList(QDir::Files, QDir::Name))
            distinct.append(dir.absoluteFilePath(name));
    }
    if (distinct.isEmpty()) {
        std::fprintf(stderr, "no files under %s\n", qPrintable(corpus));
        return 1;
    }
    QStringList files;
    while (files.size() < kMinimumFiles)
        files += distinct;

    const QVariantMap options{
        {perspix::keys::kOptVideoUtility, perspix::keys::kVideoUtilityExiftool}};
    const QString exiftool = QString::fromStdString(taglink::auxiliaryProgram("exiftool/exiftool"));
    const QStringList peerArguments =
        QStringList{QStringLiteral("-j"), QStringLiteral("-l"), QStringLiteral("-G:0:1:2:4"),
                    QStringLiteral("-D"), QStringLiteral("-a")} +
        files;

    std::vector<double> ours;
    std::vector<double> peer;
    std::vector<double> oursCpu;
    std::vector<double> peerCpu;
    int analysed = 0;
    for (int round = 0; round < kRounds; ++round) {
        {
            const auto start = Clock::now();
            const double cpuStart = cpuNow();
            auto process = taglink::TaglinkStayOpenProcess::init();
            if (!process)
                return 1;
            analysed = 0;
            for (const QString& file : files)
                analysed +=
                    perspix::PerspixData::dataAboutFile(file, options, process.get()) ? 1 : 0;
            process.reset();
            ours.push_back(seconds(Clock::now() - start));
            oursCpu.push_back(cpuNow() - cpuStart);
        }
        {
            const auto start = Clock::now();
            const double cpuStart = cpuNow();
            QProcess p;
            p.start(exiftool, peerArguments);
            p.waitForFinished(-1);
            const qsizetype bytes = p.readAllStandardOutput().size();
            peer.push_back(seconds(Clock::now() - start));
            peerCpu.push_back(cpuNow() - cpuStart);
            if (bytes == 0)
                return 1;
        }
    }
    const double oursTime = median(ours);
    const double peerTime = median(peer);
    const double oursProcessor = median(oursCpu);
    const double peerProcessor = median(peerCpu);
    std::printf("ExifTool branch, %lld non-image files (%lld distinct), one thread, median of %d\n",
                static_cast<long long>(files.size()), static_cast<long long>(distinct.size()),
                kRounds);
    std::printf("                                 wall time        processor time (with ExifTool)\n");
    std::printf("  analysis through Taglink:      %7.2f s          %7.2f s  (%d analysed)\n",
                oursTime, oursProcessor, analysed);
    std::printf("  peer exiftool, one process:    %7.2f s          %7.2f s\n", peerTime,
                peerProcessor);
    std::printf("  ratio ours / exiftool:         %7.3f            %7.3f    (target <= 1.1)\n",
                oursTime / peerTime, oursProcessor / peerProcessor);
    return 0;
}
