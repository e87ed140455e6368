// Image branch benchmark: copies of the sample images (at least 400 files) analysed on one
// thread, with covers taken from embedded previews only and with slow thumbnails, against
// the exiv2 tool printing all metadata of the same files in one process.
// Usage: ImageBench [tests/data folder] [number of files]
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

#include "batch/CoreSetup.h"
#include "model/Keys.h"
#include "model/PerspixData.h"
#include "readers/image/oEXIV2.h"

using namespace perspix;

namespace {

constexpr int kRuns = 5;

// Wall time, and processor time (user and system) of this process or of its finished
// children. On a shared machine the processor time is the steadier figure.
struct Clock
{
    QElapsedTimer wall;
    double selfCpu = 0;
    double childrenCpu = 0;

    static double cpu(int who)
    {
        rusage usage{};
        getrusage(who, &usage);
        const auto toSeconds = [](const timeval& t) {
            return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
        };
        return toSeconds(usage.ru_utime) + toSeconds(usage.ru_stime);
    }
    void start()
    {
        wall.start();
        selfCpu = cpu(RUSAGE_SELF);
        childrenCpu = cpu(RUSAGE_CHILDREN);
    }
    double wallSeconds() const { return static_cast<double>(wall.nsecsElapsed()) / 1e9; }
    double selfSeconds() const { return cpu(RUSAGE_SELF) - selfCpu; }
    double childrenSeconds() const { return cpu(RUSAGE_CHILDREN) - childrenCpu; }
};

struct Best
{
    double wall = 1e9;
    double cpu = 1e9;
    void take(double w, double c)
    {
        wall = std::min(wall, w);
        cpu = std::min(cpu, c);
    }
};

int analyseAll(const QStringList& files, bool slowThumbnails)
{
    QVariantMap options;
    options.insert(keys::kOptUseSlowThumbProcessing, slowThumbnails);
    int images = 0;
    for (const QString& file : files) {
        const auto data = PerspixData::dataAboutFile(file, options);
        if (data && data->isImage())
            ++images;
    }
    return images;
}

bool runPeer(const QStringList& files)
{
    QProcess exiv2;
    exiv2.setProgram(QStringLiteral("exiv2"));
    exiv2.setArguments(QStringList{QStringLiteral("-pa")} + files);
    exiv2.setStandardOutputFile(QProcess::nullDevice());
    exiv2.setStandardErrorFile(QProcess::nullDevice());
    exiv2.start();
    return exiv2.waitForStarted() && exiv2.waitForFinished(-1);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    setupCore();
    QTextStream out(stdout);
    const QStringList args = app.arguments();
    const QString dataFolder =
        args.size() > 1
            ? args[1]
            : QFileInfo(QStringLiteral(__FILE__)).dir().filePath(QStringLiteral("../tests/data"));
    const int wanted = std::max(400, args.size() > 2 ? args[2].toInt() : 480);

    QStringList samples;
    for (const QString& folder : {QStringLiteral("images"), QStringLiteral("raw")}) {
        const QDir dir(QDir(dataFolder).filePath(folder));
        for (const QString& name : dir.entryList(QDir::Files, QDir::Name))
            samples.append(dir.filePath(name));
    }
    if (samples.isEmpty()) {
        out << "No sample images under " << dataFolder << "\n";
        return 1;
    }

    QTemporaryDir temp;
    QStringList files;
    for (int i = 0; files.size() < wanted; ++i) {
        const QString source = samples[i % samples.size()];
        const QString copy = temp.filePath(QStringLiteral("%1-%2")
                                               .arg(i, 4, 10, QLatin1Char('0'))
                                               .arg(QFileInfo(source).fileName()));
        if (!QFile::copy(source, copy)) {
            out << "Cannot copy " << source << "\n";
            return 1;
        }
        files.append(copy);
    }

    // The libraries' own warnings about damaged samples (libtiff's through Qt's plug-in)
    // would drown the figures.
    if (!qEnvironmentVariableIsSet("IMAGEBENCH_VERBOSE"))
        std::freopen("/dev/null", "w", stderr);

    // Warm the page cache and the libraries' first-use tables.
    analyseAll(files, false);
    runPeer(files);

    // The runs take turns, and the best of each counts: the machine is shared, and the
    // best run is the one least disturbed by others.
    int images = 0;
    Best fast;
    Best adapters;
    Best peer;
    for (int run = 0; run < kRuns; ++run) {
        Clock clock;
        clock.start();
        images = analyseAll(files, false);
        fast.take(clock.wallSeconds(), clock.selfSeconds());
        clock.start();
        for (const QString& file : files)
            if (!oEXIV2::initWithFilename(file))
                oEXIV2::initWithHeifFilePath(file);
        adapters.take(clock.wallSeconds(), clock.selfSeconds());
        clock.start();
        runPeer(files);
        peer.take(clock.wallSeconds(), clock.childrenSeconds());
    }

    // Slow covers decode images: one pass, timed by kind of file to show where the time
    // goes.
    QMap<QString, std::pair<double, int>> byKind;
    QVariantMap slowOptions;
    slowOptions.insert(keys::kOptUseSlowThumbProcessing, true);
    Clock slowClock;
    slowClock.start();
    for (const QString& file : files) {
        Clock clock;
        clock.start();
        PerspixData::dataAboutFile(file, slowOptions);
        auto& entry = byKind[QFileInfo(file).suffix().toLower()];
        entry.first += clock.selfSeconds();
        entry.second += 1;
    }
    Best slow;
    slow.take(slowClock.wallSeconds(), slowClock.selfSeconds());

    out << "Image branch, " << files.size() << " files (" << samples.size()
        << " samples), one thread; best of " << kRuns << " runs, slow covers one pass\n";
    out << QString::asprintf("  recognised as images: %d\n", images);
    out << "                                       wall       cpu   ratio to exiv2 (wall, cpu)\n";
    const auto row = [&](const char* name, const Best& b) {
        out << QString::asprintf("  %-32s %7.3f s %7.3f s   %5.2f  %5.2f\n", name, b.wall, b.cpu,
                                 b.wall / peer.wall, b.cpu / peer.cpu);
    };
    row("exiv2 -pa, one process", peer);
    row("adapters only (Exiv2, libheif)", adapters);
    row("analysis, slow thumbnails off", fast);
    row("analysis, slow thumbnails on", slow);
    out << "  slow thumbnails on, processor time by kind of file:\n";
    for (auto it = byKind.cbegin(); it != byKind.cend(); ++it)
        out << QString::asprintf("    %-5s %4d files %8.3f s  %7.2f ms per file\n",
                                 qPrintable(it.key()), it->second, it->first,
                                 1000.0 * it->first / it->second);
    return 0;
}
