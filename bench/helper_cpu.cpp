// Processor time of analyses in perspix-analyser helpers: the files of a folder read by N
// helpers at once (one thread each, as the batch engine runs them), or in this process on
// one thread, with the options of perspix-cli's summaries. Prints one line per run:
//   helpers=N files=F cpu_s=S per_file_ms=M wall_s=W
// where cpu_s is user and system time of this program and its helpers together, and
// helpers_cpu_s the helpers' part.
// Usage: helper_cpu FOLDER RUNS N...   (N = 0: in this process, one thread)
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <initializer_list>
#include <sys/resource.h>
#include <thread>
#include <vector>

#include "batch/AnalyserClient.h"
#include "batch/CoreSetup.h"
#include "model/HelperKeys.h"
#include "model/Keys.h"
#include "model/Log.h"
#include "model/Settings.h"

using namespace perspix;

namespace {

double cpuSeconds(std::initializer_list<int> whom = {RUSAGE_SELF, RUSAGE_CHILDREN})
{
    double total = 0;
    for (const int who : whom) {
        rusage usage{};
        getrusage(who, &usage);
        total += double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                 double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    }
    return total;
}

void analyseAll(const QStringList& files, const QVariantMap& options, int helpers)
{
    std::atomic<qsizetype> next{0};
    if (helpers == 0) {
        for (const QString& file : files)
            PerspixData::dataAboutFile(file, options);
        return;
    }
    std::vector<std::thread> threads;
    for (int i = 0; i < helpers; ++i) {
        threads.emplace_back([&] {
            AnalyserClient client({});
            for (qsizetype at = next++; at < files.size(); at = next++)
                client.analyse(files[at], options, nullptr);
        });
    }
    for (std::thread& t : threads)
        t.join();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: helper_cpu FOLDER RUNS N...\n");
        return 2;
    }
    setupCore();
    Settings::registerDefaults();
    QVariantMap options = Settings().analysisOptions();
    options.insert(keys::kOptSkipCoverPictures, true);
    options.insert(keys::kOptSummaryOnly, true);
    QDir folder(QString::fromLocal8Bit(argv[1]));
    QStringList files;
    for (const QString& name : folder.entryList(QDir::Files, QDir::Name))
        files.append(folder.filePath(name));
    const int runs = std::max(1, atoi(argv[2]));
    LogCapture quiet;
    analyseAll(files, options, 1); // warm-up: the page cache and the helper's libraries
    for (int a = 3; a < argc; ++a) {
        const int helpers = atoi(argv[a]);
        double best = 1e300;
        double bestWall = 0;
        double bestHelpers = 0;
        for (int r = 0; r < runs; ++r) {
            const double before = cpuSeconds();
            const double helpersBefore = cpuSeconds({RUSAGE_CHILDREN});
            QElapsedTimer wall;
            wall.start();
            analyseAll(files, options, helpers);
            const double spent = cpuSeconds() - before;
            if (spent < best) {
                best = spent;
                bestHelpers = cpuSeconds({RUSAGE_CHILDREN}) - helpersBefore;
                bestWall = double(wall.elapsed()) / 1000;
            }
        }
        std::printf("helpers=%d files=%lld cpu_s=%.3f helpers_cpu_s=%.3f per_file_ms=%.3f "
                    "wall_s=%.3f\n",
                    helpers, static_cast<long long>(files.size()), best, bestHelpers,
                    files.isEmpty() ? 0.0 : best * 1000 / double(files.size()), bestWall);
        std::fflush(stdout);
    }
    return 0;
}
