#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QThread>
#include <csignal>
#include <future>
#include <sys/wait.h>
#include <unistd.h>

#include "batch/AnalyserClient.h"
#include "model/HelperKeys.h"
#include "model/Keys.h"
#include "model/Log.h"
#include "support/TestSupport.h"

using namespace perspix;
using perspix::test::dataPath;

namespace {

// The "Seccomp:" line of a process's status: 2 once a filter is loaded.
QString seccompMode(pid_t pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return {};
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("Seccomp:"))
            return QString::fromLatin1(line.mid(8).trimmed());
    return {};
}

const QVariantMap kOptions = {{keys::kOptSkipCoverPictures, true}};

} // namespace

// A helper gives the in-process analysis's result, text for text, and reads under its
// filter; the result survives the trip through the channel with its cover.
TEST(AnalyserClient, GivesTheInProcessResultUnderItsFilter)
{
    AnalyserClient client({});
    struct Case
    {
        const char* file;
        QVariantMap options;
    };
    const Case cases[] = {
        {"media/paris.mp4", kOptions},      {"media/Été à Paris (2).mp4", kOptions},
        {"images/Canon_40D.jpg", kOptions}, {"images/IMG_5195.HEIC", kOptions},
        {"audio/two-covers.mp3", {}},       {"media/truncated.mp4", kOptions},
    };
    for (const Case& c : cases) {
        const QString path = dataPath(QString::fromUtf8(c.file));
        LogCapture log;
        const PerspixDataPtr local = PerspixData::dataAboutFile(path, c.options);
        const AnalyserClient::Outcome helped = client.analyse(path, c.options, nullptr);
        ASSERT_TRUE(helped.failure.isEmpty()) << c.file << ": " << helped.failure.toStdString();
        ASSERT_EQ(bool(local), bool(helped.data)) << c.file;
        if (!local)
            continue;
        EXPECT_EQ(helped.data->filename, path);
        EXPECT_EQ(helped.data->stringForExportText(), local->stringForExportText()) << c.file;
        EXPECT_EQ(helped.data->stringForExportGeneral(), local->stringForExportGeneral()) << c.file;
        const auto cover = [](const PerspixDataPtr& d) {
            return d->generalInfo() ? d->generalInfo()->values.value(keys::kCoverData) : QVariant();
        };
        EXPECT_EQ(cover(helped.data).isValid(), cover(local).isValid()) << c.file;
        ASSERT_NE(client.processId(), 0);
        EXPECT_EQ(seccompMode(client.processId()), QStringLiteral("2")) << c.file;
    }
}

// A helper that is killed, stopped or fails to answer in time fails the file in hand with
// a message saying so, and the next file goes to a new helper.
TEST(AnalyserClient, FaultsFailTheFileInHandOnly)
{
    const QString file = dataPath(QStringLiteral("media/paris.mp4"));
    struct Case
    {
        const char* what;
        int signal;     // sent to the stopped helper while the request waits; 0: none
        double timeout; // seconds
        QString failure;
    };
    const Case cases[] = {
        {"segmentation fault", SIGSEGV, 30,
         QStringLiteral("the reader stopped on this file (signal 11: segmentation fault)")},
        {"abort", SIGABRT, 30,
         QStringLiteral("the reader stopped on this file (signal 6: aborted)")},
        {"killed", SIGKILL, 30,
         QStringLiteral("the reader stopped on this file (signal 9: killed)")},
        {"stopped past the time limit", 0, 0.5, QStringLiteral("analysis stopped after 0.5 s")},
    };
    for (const Case& c : cases) {
        AnalyserClient client({c.timeout, 0});
        ASSERT_TRUE(client.analyse(file, kOptions, nullptr).data) << c.what;
        const pid_t first = client.processId();
        // Stopped, the helper cannot take the request before the signal: the fault comes
        // with a file in hand.
        ASSERT_EQ(::kill(first, SIGSTOP), 0);
        auto pending =
            std::async(std::launch::async, [&] { return client.analyse(file, kOptions, nullptr); });
        QThread::msleep(200);
        if (c.signal) {
            ::kill(first, c.signal);
            ::kill(first, SIGCONT);
        }
        const AnalyserClient::Outcome failed = pending.get();
        EXPECT_FALSE(failed.data) << c.what;
        EXPECT_EQ(failed.failure, c.failure) << c.what;
        EXPECT_EQ(client.processId(), 0) << c.what; // reaped
        const AnalyserClient::Outcome next = client.analyse(file, kOptions, nullptr);
        EXPECT_TRUE(next.data) << c.what;
        EXPECT_NE(client.processId(), first) << c.what;
    }
}

// The filter refuses a write, a socket and an exec, each killing the process that tried.
TEST(AnalyserClient, CheckSandboxReportsEveryCallRefused)
{
    QProcess check;
    check.start(AnalyserClient::programPath(), {QStringLiteral("--check-sandbox")});
    ASSERT_TRUE(check.waitForFinished(30000));
    const QString out = QString::fromUtf8(check.readAllStandardOutput());
    EXPECT_EQ(check.exitCode(), 0) << out.toStdString();
    EXPECT_EQ(out, QStringLiteral("opening a file for writing: refused\n"
                                  "making a socket: refused\n"
                                  "starting a program: refused\n"));
}

// Texts of the failures, as the window and perspix-cli show them.
TEST(AnalyserClient, FailureTexts)
{
    EXPECT_EQ(AnalyserClient::timeoutText(60), QStringLiteral("analysis stopped after 60 s"));
    EXPECT_EQ(AnalyserClient::memoryText(qint64(4) << 30),
              QStringLiteral("the file needed more than 4 GiB"));
    EXPECT_EQ(AnalyserClient::memoryText(qint64(1536) << 20),
              QStringLiteral("the file needed more than 1536 MiB"));
    EXPECT_EQ(AnalyserClient::stoppedText(3 << 8),
              QStringLiteral("the reader stopped on this file (exit status 3)"));
    EXPECT_EQ(AnalyserClient::stoppedText(SIGSYS),
              QStringLiteral("the reader stopped on this file (signal 31: bad system call)"));
}
