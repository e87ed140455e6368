// The ExifTool stay-open process against the real ExifTool and orphanguard: requests,
// framing, failures, shutdown and the watchdog.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "model/Log.h"
#include "support/TestSupport.h"
#include "taglink/AuxiliaryPrograms.h"
#include "taglink/Taglink.h"

using namespace taglink;
using perspix::LogCapture;
using perspix::test::dataPath;
using perspix::test::TempDir;

namespace {

std::string utf8(const QString& s)
{
    return QFile::encodeName(s).toStdString();
}

// Whether a process exists and has not yet ended (a zombie counts as ended).
bool processAlive(pid_t pid)
{
    if (pid <= 0 || ::kill(pid, 0) != 0)
        return false;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const auto close = line.rfind(')');
    return close == std::string::npos || close + 2 >= line.size() || line[close + 2] != 'Z';
}

// Identifiers of this process's children whose command line mentions the text.
std::vector<pid_t> childrenRunning(const std::string& text)
{
    std::vector<pid_t> found;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool isPid = false;
        const pid_t pid = entry.toInt(&isPid);
        if (!isPid)
            continue;
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string line;
        std::getline(stat, line);
        const auto close = line.rfind(')');
        if (close == std::string::npos)
            continue;
        char state = 0;
        int ppid = 0;
        if (std::sscanf(line.c_str() + close + 1, " %c %d", &state, &ppid) != 2 ||
            ppid != ::getpid())
            continue;
        std::ifstream cmd("/proc/" + std::to_string(pid) + "/cmdline");
        const std::string cmdline((std::istreambuf_iterator<char>(cmd)), {});
        if (cmdline.find(text) != std::string::npos)
            found.push_back(pid);
    }
    return found;
}

bool waitUntilGone(pid_t pid, std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (processAlive(pid)) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

std::optional<std::string> valueOf(const std::vector<JsonObject>& records, const std::string& key)
{
    for (const JsonObject& r : records) {
        if (r.find("key")->asString() == key)
            return Taglink::valueText(*r.find("val"));
    }
    return std::nullopt;
}

// Sets TAGLINK_LIBEXEC for the life of the object.
class LibexecOverride
{
public:
    explicit LibexecOverride(const QString& folder)
    {
        ::setenv("TAGLINK_LIBEXEC", QFile::encodeName(folder).constData(), 1);
    }
    ~LibexecOverride() { ::unsetenv("TAGLINK_LIBEXEC"); }
};

} // namespace

TEST(TaglinkStayOpenProcess, AnswersRequestAfterRequestInExifToolsOrder)
{
    auto process = TaglinkStayOpenProcess::init();
    ASSERT_TRUE(process);
    const auto first = process->imageInfo(utf8(dataPath(QStringLiteral("media/paris.mp4"))));
    ASSERT_TRUE(first);
    ASSERT_FALSE(first->empty());
    // SourceFile is not a tag; everything else keeps the answer's order.
    EXPECT_EQ(first->front().find("key")->asString(),
              "ExifTool:ExifTool:ExifTool::ExifToolVersion");
    EXPECT_FALSE(valueOf(*first, "SourceFile"));
    EXPECT_EQ(valueOf(*first, "File:File:Other::FileType"), "MP4");
    EXPECT_EQ(first->front().find("desc")->asString(), "ExifTool Version Number");

    // A name outside ASCII, then the first file again: same answer from the same process.
    const auto accented =
        process->imageInfo(utf8(dataPath(QStringLiteral("media/Été à Paris (2).mp4"))));
    ASSERT_TRUE(accented);
    EXPECT_EQ(valueOf(*accented, "File:File:Other::FileType"), "MP4");
    const auto again = process->imageInfo(utf8(dataPath(QStringLiteral("media/paris.mp4"))));
    ASSERT_TRUE(again);
    EXPECT_EQ(again->size(), first->size());

    const auto binary =
        process->binaryUnparsedInfo(utf8(dataPath(QStringLiteral("media/multi.mkv"))));
    ASSERT_TRUE(binary);
    EXPECT_NE(binary->find("\"Matroska:Matroska:Video::AttachedFileData\": \"base64:"),
              std::string::npos);
}

TEST(TaglinkStayOpenProcess, ErrorTextOnStandardErrorFailsOnlyThatRequest)
{
    auto process = TaglinkStayOpenProcess::init();
    ASSERT_TRUE(process);
    LogCapture log;
    TempDir dir;
    EXPECT_FALSE(process->imageInfo(utf8(dir.filePath(QStringLiteral("missing.mp4")))));
    EXPECT_TRUE(log.contains(QStringLiteral("we have unknown error data of length")));
    EXPECT_TRUE(log.contains(QStringLiteral("Error: File not found")));
    // The rest of the failed answer does not leak into the next one.
    for (int i = 0; i < 3; ++i) {
        const auto info = process->imageInfo(utf8(dataPath(QStringLiteral("audio/stereo.wav"))));
        ASSERT_TRUE(info);
        EXPECT_EQ(valueOf(*info, "File:File:Other::FileType"), "WAV");
    }
    // An answer that is the ready marker alone is an empty answer.
    ASSERT_TRUE(process->command(""));
    EXPECT_EQ(process->complete(), std::string());
    ASSERT_TRUE(process->command("-ver\n"));
    EXPECT_EQ(process->complete(), std::string("12.57\n"));
}

TEST(TaglinkStayOpenProcess, PathWithLineBreakStaysOneArgument)
{
    TempDir dir;
    // Written raw, the name would become the path ".../clip" and the option
    // "-delete_original!", which deletes ".../clip_original".
    dir.copyData(QStringLiteral("audio/stereo.wav"), QStringLiteral("clip"));
    dir.copyData(QStringLiteral("audio/stereo.wav"), QStringLiteral("clip_original"));
    const QString tricky =
        dir.copyData(QStringLiteral("media/paris.mp4"), QStringLiteral("clip\n-delete_original!"));
    const QString carriage =
        dir.copyData(QStringLiteral("media/paris.mp4"), QStringLiteral("back\\slash\r"));
    const QStringList before = QDir(dir.path()).entryList(QDir::Files);

    auto process = TaglinkStayOpenProcess::init();
    ASSERT_TRUE(process);
    for (const QString& path : {tricky, carriage}) {
        const auto info = process->imageInfo(utf8(path));
        ASSERT_TRUE(info) << path.toStdString();
        EXPECT_EQ(valueOf(*info, "File:File:Other::FileType"), "MP4");
        EXPECT_EQ(valueOf(*info, "File:System:Other::FileName"), utf8(QFileInfo(path).fileName()));
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), before);

    // ExifTool's C-string lines cannot carry "$" or "@": such a path is refused.
    LogCapture log;
    const QString dollar =
        dir.copyData(QStringLiteral("media/paris.mp4"), QStringLiteral("a$b\nc.mp4"));
    EXPECT_FALSE(process->imageInfo(utf8(dollar)));
    EXPECT_TRUE(log.contains(QStringLiteral("the path cannot be passed to exiftool")));
    EXPECT_TRUE(process->imageInfo(utf8(dataPath(QStringLiteral("audio/stereo.wav")))));
}

TEST(TaglinkStayOpenProcess, ArgumentLinesForPaths)
{
    struct Case
    {
        std::string path;
        std::optional<std::string> line;
    };
    const std::vector<Case> cases = {
        {"/a/b c.mp4", "/a/b c.mp4\n"},
        {"/a/#x\\y", "/a/#x\\y\n"},
        {"-rel.mp4", "./-rel.mp4\n"},
        {"#rel", "./#rel\n"},
        {" rel", "./ rel\n"},
        {"/a\nb", "#[CSTR]/a\\nb\n"},
        {"/a\\b\r", "#[CSTR]/a\\\\b\\r\n"},
        {"/a\n$HOME", std::nullopt},
        {"/a\r@x", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TaglinkStayOpenProcess::pathArgumentLine(c.path), c.line) << c.path;
}

TEST(TaglinkStayOpenProcess, ExifToolDyingDuringARequest)
{
    auto process = TaglinkStayOpenProcess::init();
    ASSERT_TRUE(process);
    const pid_t pid = process->processId();
    const pid_t firstWatchdog = process->watchdogProcessId();
    LogCapture log;
    ASSERT_TRUE(process->command(utf8(dataPath(QStringLiteral("media/multi.mkv"))) +
                                 "\n-json\n-l\n-G:0:1:2:4\n-D\n-a\n"));
    ::kill(pid, SIGKILL);
    const auto answer = process->complete();
    EXPECT_TRUE(log.contains(QStringLiteral("task %1 is dead").arg(pid)));
    EXPECT_TRUE(!answer || answer->find("{ready}") == std::string::npos);
    EXPECT_FALSE(process->isRunning());
    EXPECT_EQ(process->lastFailure(), TaglinkStayOpenProcess::Failure::Died);

    // No SIGPIPE: the write fails and says why.
    EXPECT_FALSE(process->command("-ver\n"));
    EXPECT_TRUE(log.contains(QStringLiteral("Taglink exception while command(): Broken pipe")));

    // The next request starts a new ExifTool, with a watchdog of its own.
    const auto info = process->imageInfo(utf8(dataPath(QStringLiteral("audio/stereo.wav"))));
    ASSERT_TRUE(info);
    EXPECT_EQ(valueOf(*info, "File:File:Other::FileType"), "WAV");
    EXPECT_NE(process->processId(), pid);
    EXPECT_TRUE(log.contains(
        QStringLiteral("Taglink: exiftool started anew as task %1").arg(process->processId())));
    EXPECT_FALSE(processAlive(firstWatchdog));

    // Destroying it still stops both children.
    const pid_t watchdog = process->watchdogProcessId();
    const pid_t second = process->processId();
    ASSERT_TRUE(processAlive(watchdog));
    process.reset();
    EXPECT_FALSE(processAlive(watchdog));
    EXPECT_FALSE(processAlive(second));
}

// An ExifTool that ends as soon as it starts is started anew a few times, then given up
// with one log line; the requests after that fail at once.
TEST(TaglinkStayOpenProcess, ExifToolThatKeepsDyingIsGivenUp)
{
    TempDir fake;
    ASSERT_TRUE(QDir(fake.path()).mkdir(QStringLiteral("exiftool")));
    const QString script = fake.write(QStringLiteral("exiftool/exiftool"), "#!/bin/sh\nexit 3\n");
    ASSERT_TRUE(
        QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    ASSERT_TRUE(QFile::link(QString::fromStdString(auxiliaryProgram("orphanguard")),
                            fake.filePath(QStringLiteral("orphanguard"))));
    LibexecOverride libexec(fake.path());
    auto process = TaglinkStayOpenProcess::init();
    ASSERT_TRUE(process);
    LogCapture log;
    const std::string file = utf8(dataPath(QStringLiteral("audio/stereo.wav")));
    for (int i = 0; i < 10; ++i)
        EXPECT_FALSE(process->imageInfo(file));
    EXPECT_EQ(process->lastFailure(), TaglinkStayOpenProcess::Failure::GaveUp);
    EXPECT_EQ(log.lines().filter(QStringLiteral("started anew")).size(),
              TaglinkStayOpenProcess::kMaxRestarts);
    EXPECT_EQ(log.lines().filter(QStringLiteral("it is not started again")).size(), 1);
    process.reset();
    EXPECT_TRUE(childrenRunning("orphanguard").empty());
}

namespace {

// Makes the real ExifTool sleep over every file whose name holds "slow", through a
// user-defined tag of its configuration file, for the life of the object.
class SlowExifTool
{
public:
    SlowExifTool()
    {
        m_home.write(QStringLiteral(".ExifTool_config"),
                     "%Image::ExifTool::UserDefined = (\n"
                     "    'Image::ExifTool::Composite' => {\n"
                     "        PerspixSlow => {\n"
                     "            Require => 'FileName',\n"
                     "            ValueConv => q{ sleep(60) if $val =~ /slow/; $val },\n"
                     "        },\n"
                     "    },\n"
                     ");\n"
                     "1;\n");
        ::setenv("EXIFTOOL_HOME", QFile::encodeName(m_home.path()).constData(), 1);
    }
    ~SlowExifTool() { ::unsetenv("EXIFTOOL_HOME"); }

private:
    TempDir m_home;
};

} // namespace

TEST(TaglinkStayOpenProcess, RequestsHaveATimeLimitAndCanBeStopped)
{
    using namespace std::chrono;
    SlowExifTool slow;
    TempDir dir;
    const std::string slowFile =
        utf8(dir.copyData(QStringLiteral("audio/stereo.wav"), QStringLiteral("slow.wav")));
    const std::string quick = utf8(dataPath(QStringLiteral("audio/stereo.wav")));
    auto process = TaglinkStayOpenProcess::init();
    ASSERT_TRUE(process);
    EXPECT_EQ(process->timeout(), seconds(60));
    process->setTimeout(milliseconds(1500));
    const auto info = process->imageInfo(quick);
    ASSERT_TRUE(info);
    // The configuration is read: the tag is there.
    EXPECT_TRUE(std::any_of(info->begin(), info->end(), [](const JsonObject& r) {
        return r.find("key")->asString().ends_with("::PerspixSlow");
    }));

    // The limit: the file fails with a line naming it and the limit, ExifTool is killed.
    const pid_t first = process->processId();
    LogCapture log;
    auto begin = steady_clock::now();
    EXPECT_FALSE(process->imageInfo(slowFile));
    auto took = steady_clock::now() - begin;
    EXPECT_GE(took, milliseconds(1500));
    EXPECT_LT(took, seconds(10));
    EXPECT_EQ(process->lastFailure(), TaglinkStayOpenProcess::Failure::TimedOut);
    EXPECT_TRUE(log.contains(QString::fromStdString(
        "Taglink: exiftool gave no answer for " + slowFile + " within the time limit of 1500 ms")));
    EXPECT_FALSE(processAlive(first));
    // The next file gets a new ExifTool.
    EXPECT_TRUE(process->imageInfo(quick));
    EXPECT_NE(process->processId(), first);
    EXPECT_EQ(process->lastFailure(), TaglinkStayOpenProcess::Failure::None);

    // The stop flag ends a request at once, whatever the limit.
    process->setTimeout(seconds(60));
    std::atomic<bool> stop{false};
    process->setStopFlag(&stop);
    const pid_t second = process->processId();
    std::thread stopper([&stop] {
        std::this_thread::sleep_for(milliseconds(500));
        stop = true;
    });
    begin = steady_clock::now();
    EXPECT_FALSE(process->imageInfo(slowFile));
    took = steady_clock::now() - begin;
    stopper.join();
    EXPECT_LT(took, seconds(5));
    EXPECT_EQ(process->lastFailure(), TaglinkStayOpenProcess::Failure::Cancelled);
    EXPECT_FALSE(processAlive(second));
    process->setStopFlag(nullptr);
    process.reset();
    EXPECT_TRUE(childrenRunning("exiftool").empty());
    EXPECT_TRUE(childrenRunning("orphanguard").empty());
}

TEST(TaglinkStayOpenProcess, DestructorStopsAndReapsBothChildren)
{
    auto process = TaglinkStayOpenProcess::init();
    ASSERT_TRUE(process);
    const pid_t exiftool = process->processId();
    const pid_t watchdog = process->watchdogProcessId();
    ASSERT_TRUE(processAlive(exiftool));
    ASSERT_TRUE(processAlive(watchdog));
    ASSERT_TRUE(process->imageInfo(utf8(dataPath(QStringLiteral("audio/stereo.wav")))));
    process.reset();
    // Gone and reaped: not even a zombie is left.
    EXPECT_EQ(::kill(exiftool, 0), -1);
    EXPECT_EQ(::kill(watchdog, 0), -1);
    EXPECT_TRUE(childrenRunning("exiftool").empty());
    EXPECT_TRUE(childrenRunning("orphanguard").empty());
}

TEST(TaglinkStayOpenProcess, FailedStartLeavesNoProcess)
{
    TempDir empty;
    {
        LibexecOverride libexec(empty.path());
        LogCapture log;
        EXPECT_FALSE(TaglinkStayOpenProcess::init());
        EXPECT_TRUE(log.contains(QStringLiteral("Taglink exception while init(): cannot launch")));
    }
    // ExifTool starts but the watchdog does not: that ExifTool is closed at once.
    TempDir halfway;
    QDir(halfway.path()).mkdir(QStringLiteral("exiftool"));
    QFile::link(QString::fromStdString(auxiliaryProgram("exiftool/exiftool")),
                halfway.filePath(QStringLiteral("exiftool/exiftool")));
    {
        LibexecOverride libexec(halfway.path());
        LogCapture log;
        EXPECT_FALSE(TaglinkStayOpenProcess::init());
        EXPECT_TRUE(log.contains(QStringLiteral("orphanguard")));
    }
    EXPECT_TRUE(childrenRunning("exiftool").empty());
}

TEST(TaglinkStayOpenProcess, WatchdogInterruptsExifToolWhenItsParentIsKilled)
{
    // Orphans are handed to this process, so it can see them end and reap them.
    ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    // The parent dies while the watchdog watches it, and (0 ms) possibly before the
    // watchdog has even looked at its parent.
    for (const int delayMs : {300, 0}) {
        int report[2];
        ASSERT_EQ(::pipe(report), 0);
        const pid_t parent = ::fork();
        ASSERT_GE(parent, 0);
        if (parent == 0) {
            // The real parent: starts ExifTool and its watchdog, reports them, waits to die.
            ::close(report[0]);
            auto process = TaglinkStayOpenProcess::init();
            pid_t pids[2] = {process ? process->processId() : 0,
                             process ? process->watchdogProcessId() : 0};
            if (::write(report[1], pids, sizeof pids) != sizeof pids)
                ::_exit(1);
            for (;;)
                ::pause();
        }
        ::close(report[1]);
        pid_t pids[2] = {0, 0};
        ASSERT_EQ(::read(report[0], pids, sizeof pids), static_cast<ssize_t>(sizeof pids));
        ::close(report[0]);
        const pid_t exiftool = pids[0];
        const pid_t watchdog = pids[1];
        ASSERT_GT(exiftool, 0);
        ASSERT_GT(watchdog, 0);
        ASSERT_TRUE(processAlive(exiftool));
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));

        ::kill(parent, SIGKILL);
        ::waitpid(parent, nullptr, 0);
        EXPECT_TRUE(waitUntilGone(exiftool, std::chrono::milliseconds(1000))) << delayMs;
        // The watchdog exits by itself once it has acted.
        EXPECT_TRUE(waitUntilGone(watchdog, std::chrono::milliseconds(1000))) << delayMs;
        for (const pid_t pid : {exiftool, watchdog}) {
            if (processAlive(pid))
                ::kill(pid, SIGKILL);
            int status = -1;
            ASSERT_EQ(::waitpid(pid, &status, 0), pid);
            if (pid == watchdog) {
                EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
            }
        }
    }
}
