#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "batch/ResultStore.h"
#include "model/Log.h"
#include "support/TestSupport.h"

using namespace perspix;
using perspix::test::dataPath;
using perspix::test::TempDir;

namespace {

// Runs perspix-cli over the paths with its own settings and the given cache folder; as
// the user nobody when the tests run as root (root writes into read-only folders).
perspix::test::Outcome runCli(const QStringList& args, const QString& home, const QString& cache,
                              bool asOtherUser = false)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", home);
    env.insert("HOME", home);
    env.insert("XDG_CACHE_HOME", cache);
    env.insert("LC_ALL", "C.UTF-8");
    p.setProcessEnvironment(env);
    QStringList command{QStringLiteral(PERSPIX_CLI_PROGRAM), "-q"};
    command += args;
    if (asOtherUser)
        command = QStringList{"--reuid=65534", "--regid=65534", "--clear-groups"} + command;
    p.start(asOtherUser ? QStringLiteral("setpriv") : command.takeFirst(), command);
    perspix::test::Outcome o;
    if (!p.waitForFinished(180000))
        return o;
    o.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    o.out = QString::fromUtf8(p.readAllStandardOutput());
    o.err = QString::fromUtf8(p.readAllStandardError());
    return o;
}

} // namespace

// Two programs writing into one store at once: both finish, and every result is kept.
TEST(CliStore, TwoProgramsAtOnceLoseNothing)
{
    TempDir dir;
    QStringList halves[2];
    const QStringList samples = {"audio/song.mp3", "audio/song.m4a", "media/multi.mkv",
                                 "images/DSCN0010.jpg"};
    for (int half = 0; half < 2; ++half) {
        QDir().mkpath(dir.filePath(QString::number(half)));
        for (int i = 0; i < 24; ++i) {
            const QString link =
                dir.filePath(QStringLiteral("%1/f%2-%3")
                                 .arg(half)
                                 .arg(i)
                                 .arg(QFileInfo(samples[i % samples.size()]).fileName()));
            // Copies: a link would move the samples' change time under other tests.
            ASSERT_TRUE(QFile::copy(dataPath(samples[i % samples.size()]), link));
        }
        halves[half] = {dir.filePath(QString::number(half))};
    }
    const QString cache = dir.filePath("cache");
    std::vector<std::unique_ptr<QProcess>> runs;
    for (int half = 0; half < 2; ++half) {
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", dir.path());
        env.insert("HOME", dir.path());
        env.insert("XDG_CACHE_HOME", cache);
        p->setProcessEnvironment(env);
        p->start(QStringLiteral(PERSPIX_CLI_PROGRAM), QStringList{"-q"} + halves[half]);
        runs.push_back(std::move(p));
    }
    for (auto& p : runs) {
        ASSERT_TRUE(p->waitForFinished(180000));
        EXPECT_EQ(p->exitCode(), 0);
        const QString err = QString::fromUtf8(p->readAllStandardError());
        EXPECT_FALSE(err.contains("Result store")) << err.toStdString();
    }
    LogCapture quiet;
    ResultStore store(cache + "/perspix");
    EXPECT_EQ(store.entryCount(), 48);
}

// A cache folder that cannot be written: the run goes on without the store, one log line.
TEST(CliStore, ReadOnlyCacheFolderTurnsTheStoreOffForTheRun)
{
    TempDir dir;
    const QString cache = dir.filePath("cache");
    QDir().mkpath(cache + "/perspix");
    const bool root = ::geteuid() == 0;
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(cache).constData(), 0755), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(cache + "/perspix").constData(), 0555), 0);
    const auto o = runCli({dataPath("audio/song.mp3")}, dir.path(), cache, root);
    if (root && o.status == -1)
        GTEST_SKIP() << "cannot run as another user";
    EXPECT_EQ(o.status, 0) << o.err.toStdString();
    EXPECT_TRUE(o.out.contains("song.mp3"));
    EXPECT_EQ(o.err.count("Result store off for this run"), 1) << o.err.toStdString();
    EXPECT_FALSE(QFile::exists(cache + "/perspix/results.sqlite"));
}

// A second run reads the results the first one kept and writes the same bytes, for an
// export (whole results but their covers) and for the summaries (general records alone);
// --no-store neither reads nor keeps anything.
TEST(CliStore, SecondRunFromTheStoreWritesTheSameBytes)
{
    const QList<QStringList> runs{{"--format", "json", dataPath("media"), dataPath("images")},
                                  {dataPath("media"), dataPath("images"), dataPath("audio")}};
    for (const QStringList& args : runs) {
        SCOPED_TRACE(args.join(' ').toStdString());
        TempDir dir;
        const QString cache = dir.filePath("cache");
        const auto first = runCli(args, dir.path(), cache);
        ASSERT_NE(first.status, -1) << first.err.toStdString();
        EXPECT_TRUE(QFile::exists(cache + "/perspix/results.sqlite"));
        qint64 kept = 0;
        {
            LogCapture quiet;
            kept = ResultStore(cache + "/perspix").entryCount();
        }
        EXPECT_GT(kept, 20);
        const auto second = runCli(args, dir.path(), cache);
        EXPECT_EQ(second.status, first.status);
        EXPECT_EQ(second.out, first.out);

        const QString otherCache = dir.filePath("other");
        const auto without = runCli(QStringList{"--no-store"} + args, dir.path(), otherCache);
        EXPECT_EQ(without.out, first.out);
        EXPECT_FALSE(QFileInfo::exists(otherCache + "/perspix"));
    }
}
