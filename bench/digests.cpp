// Benchmark: MD5 and SHA-1 of a large file kept in the page cache, computed in one pass by
// FileHash, against md5sum followed by sha1sum on the same file in the same run.
// Usage: digests [size in MiB, default 1024] [runs, default 3]
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <sys/resource.h>

#include "model/FileHash.h"

using namespace perspix;

namespace {

// Pseudo-random contents, so that no digest meets a suspiciously regular input.
bool writeFile(const QString& path, qint64 mebibytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    QByteArray chunk(1 << 20, Qt::Uninitialized);
    quint64 state = 0x9E3779B97F4A7C15ull;
    for (qint64 i = 0; i < mebibytes; ++i) {
        auto* words = reinterpret_cast<quint64*>(chunk.data());
        for (qsizetype w = 0; w < chunk.size() / qsizetype(sizeof(quint64)); ++w) {
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            words[w] = state;
        }
        if (f.write(chunk) != chunk.size())
            return false;
    }
    return f.flush();
}

// The first field of a coreutils digest line, or an empty text when the tool failed.
QString runTool(const QString& tool, const QString& path)
{
    QProcess p;
    p.start(tool, {path});
    if (!p.waitForFinished(-1) || p.exitCode() != 0)
        return {};
    return QString::fromLatin1(p.readAllStandardOutput()).section(QLatin1Char(' '), 0, 0);
}

double cpuSeconds(int who)
{
    rusage r{};
    getrusage(who, &r);
    return double(r.ru_utime.tv_sec + r.ru_stime.tv_sec) +
           double(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
}

struct Timing
{
    double wall = 1e100;
    double cpu = 1e100; // user + system time of the process doing the work
};

// Best of several runs: the least disturbed measure on a shared machine. Processor time
// is printed too, since other work on the machine inflates the wall-clock figures.
Timing best(int runs, bool inChild, const std::function<void()>& work)
{
    Timing t;
    const int who = inChild ? RUSAGE_CHILDREN : RUSAGE_SELF;
    for (int i = 0; i < runs; ++i) {
        const double cpuBefore = cpuSeconds(who);
        QElapsedTimer clock;
        clock.start();
        work();
        t.wall = std::min(t.wall, double(clock.nsecsElapsed()) / 1e9);
        t.cpu = std::min(t.cpu, cpuSeconds(who) - cpuBefore);
    }
    return t;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const qint64 mebibytes = args.size() > 1 ? args.at(1).toLongLong() : 1024;
    const int runs = args.size() > 2 ? args.at(2).toInt() : 3;
    QTextStream out(stdout);

    QTemporaryDir dir;
    if (!dir.isValid() || mebibytes <= 0 || runs <= 0) {
        std::fprintf(stderr, "cannot set up the benchmark\n");
        return 1;
    }
    const QString path = dir.filePath(QStringLiteral("digests.bin"));
    if (!writeFile(path, mebibytes)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return 1;
    }
    // One untimed pass brings the whole file into the page cache.
    runTool(QStringLiteral("md5sum"), path);

    std::optional<FileHash::Md5AndSha1> ours;
    QString md5;
    QString sha1;
    const Timing oursT = best(runs, false, [&] { ours = FileHash::md5AndSha1OfFileAtPath(path); });
    const Timing md5T = best(runs, true, [&] { md5 = runTool(QStringLiteral("md5sum"), path); });
    const Timing sha1T = best(runs, true, [&] { sha1 = runTool(QStringLiteral("sha1sum"), path); });
    const Timing toolsT{md5T.wall + sha1T.wall, md5T.cpu + sha1T.cpu};

    out << "file: " << mebibytes << " MiB in the page cache, best of " << runs << " runs\n";
    out << "                               wall s   cpu s\n";
    const auto line = [&out](const char* what, const Timing& t) {
        out << QString::asprintf("%-30s %6.3f  %6.3f\n", what, t.wall, t.cpu);
    };
    line("FileHash MD5+SHA-1 (one pass)", oursT);
    line("md5sum", md5T);
    line("sha1sum", sha1T);
    line("md5sum + sha1sum", toolsT);
    out << QString::asprintf("ratio FileHash / tools:        %6.2f  %6.2f (target <= 0.80)\n",
                             oursT.wall / toolsT.wall, oursT.cpu / toolsT.cpu);
    const bool same = ours && ours->md5 == md5 && ours->sha1 == sha1;
    out << "digests agree with the tools: " << (same ? "yes" : "NO") << '\n';
    out.flush();
    dir.remove();
    return same ? 0 : 1;
}
