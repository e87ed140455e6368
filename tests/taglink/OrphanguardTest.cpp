// The watchdog program on its own: its command line, and what it does when its parent
// dies.
#include <gtest/gtest.h>

#include <QProcess>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "taglink/AuxiliaryPrograms.h"

namespace {

QString orphanguard()
{
    return QString::fromStdString(taglink::auxiliaryProgram("orphanguard"));
}

} // namespace

TEST(Orphanguard, RejectsAnythingButOnePositiveProcessIdentifier)
{
    const std::vector<QStringList> bad = {
        {},
        {QStringLiteral("12"), QStringLiteral("13")},
        {QStringLiteral("0")},
        {QStringLiteral("-1")},
        {QStringLiteral("-12")},
        {QStringLiteral("abc")},
        {QStringLiteral("12x")},
        {QStringLiteral("")},
        {QStringLiteral("99999999999999999999")},
    };
    for (const QStringList& arguments : bad) {
        QProcess p;
        p.start(orphanguard(), arguments);
        ASSERT_TRUE(p.waitForFinished(5000)) << arguments.join(' ').toStdString();
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), 1) << arguments.join(' ').toStdString();
        EXPECT_TRUE(p.readAllStandardError().contains("Usage: orphanguard <ChildPID>"));
    }
}

TEST(Orphanguard, ReportsAChildThatIsAlreadyGone)
{
    ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    // A process identifier that no longer names a process: a reaped child of ours.
    const pid_t gone = ::fork();
    if (gone == 0)
        ::_exit(0);
    ::waitpid(gone, nullptr, 0);

    int errPipe[2];
    ASSERT_EQ(::pipe2(errPipe, O_CLOEXEC), 0);
    const std::string program = orphanguard().toStdString();
    const std::string argument = std::to_string(gone);
    const pid_t parent = ::fork();
    if (parent == 0) {
        // The watchdog's parent, which dies at once.
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
        char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(argument.c_str()),
                        nullptr};
        pid_t watchdog = 0;
        const int rc = ::posix_spawn(&watchdog, program.c_str(), &actions, nullptr, argv, environ);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        ::_exit(rc == 0 ? 0 : 1);
    }
    ::close(errPipe[1]);
    int status = -1;
    ASSERT_EQ(::waitpid(parent, &status, 0), parent);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    // Orphaned, the watchdog is ours now: it must act and exit with 0.
    std::string text;
    char buf[512];
    ssize_t n;
    while ((n = ::read(errPipe[0], buf, sizeof buf)) > 0)
        text.append(buf, static_cast<std::size_t>(n));
    ::close(errPipe[0]);
    const pid_t watchdog = ::waitpid(-1, &status, 0);
    ASSERT_GT(watchdog, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_NE(text.find("Watchdog failed to kill the process " + argument +
                        ", result=-1, errno=No such process"),
              std::string::npos)
        << text;
}
