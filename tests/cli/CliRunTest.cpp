#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTextStream>
#include <QThread>
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

#include "batch/CoreSetup.h"
#include "batch/DataCacher.h"
#include "cli/CliRun.h"
#include "export/ExportFormat.h"
#include "export/PerspixExporter.h"
#include "filelist/FilelistFiller.h"
#include "model/Log.h"
#include "model/Settings.h"
#include "support/TestSupport.h"

using namespace perspix;
using namespace perspix::cli;
using perspix::test::dataPath;
using perspix::test::Outcome;
using perspix::test::TempDir;

namespace {

bool analysable(const QString& path, const QVariantMap& options = {})
{
    LogCapture quiet;
    return PerspixData::dataAboutFile(path, options) != nullptr;
}

Outcome runInProcess(const QStringList& paths, bool progress)
{
    CliOptions options;
    options.paths = paths;
    Outcome o;
    QTextStream out(&o.out);
    QTextStream err(&o.err);
    LogCapture log; // analysis log lines stay out of the test's output
    CliRun run(options, {}, out, err, progress);
    o.status = run.exec();
    return o;
}

Outcome runProgram(const QStringList& args, const QString& configHome)
{
    return perspix::test::runProgram(QStringLiteral(PERSPIX_CLI_PROGRAM), args, configHome);
}

} // namespace

TEST(CliRun, PrintsEverySummaryInListOrderAndNamesFailures)
{
    TempDir dir;
    const QString missing = dir.filePath("missing.mp4");
    const QString song = dataPath("audio/song.mp3");
    // The same file twice is answered twice, in its two places in the list.
    const QStringList paths{dataPath("media"), song, missing, song};
    const Outcome o = runInProcess(paths, false);

    const Filelist items = FilelistFiller::fillerWithPaths(paths).filelist();
    qsizetype pos = 0;
    bool anyFailed = false;
    for (const FilelistItemPtr& item : items) {
        if (!analysable(item->filename())) {
            anyFailed = true;
            EXPECT_TRUE(o.err.contains("failed to analyse " + item->filename()))
                << item->filename().toStdString();
            continue;
        }
        const QString block = item->prefixedPath() + '\n' +
                              QString(item->prefixedPath().size(), '-') + "\nContainer: ";
        const qsizetype at = o.out.indexOf(block, pos);
        EXPECT_GE(at, pos) << "summary of " << item->prefixedPath().toStdString();
        if (at >= 0)
            pos = at + block.size();
    }
    EXPECT_TRUE(anyFailed); // the missing file
    EXPECT_EQ(o.status, kExitFailedFiles);
    EXPECT_FALSE(o.err.contains('\r'));
}

// Results that arrive out of order are held until every file before them is written, and
// each is written as soon as it can be; the whole is the export made at once.
TEST(CliRun, ExportsAreWrittenInListOrderAsResultsArrive)
{
    const QStringList paths{dataPath("audio/song.mp3"), dataPath("media/multi.mkv"),
                            dataPath("audio/song.m4a")};
    QHash<QString, PerspixDataPtr> results;
    for (const QString& path : paths) {
        LogCapture quiet;
        results.insert(path, PerspixData::dataAboutFile(path, {}));
        ASSERT_TRUE(results[path]) << path.toStdString();
    }
    for (const QString format : {"txt", "csv", "xml", "html", "json", "jsonl"}) {
        SCOPED_TRACE(format.toStdString());
        CliOptions options;
        options.paths = paths;
        options.format = format;
        options.noStore = true;
        QBuffer written;
        written.open(QIODevice::WriteOnly);
        QString errText;
        QTextStream out(&written);
        QTextStream err(&errText);
        CliRun run(options, {}, out, err, false);
        ASSERT_FALSE(run.start().has_value());
        ASSERT_EQ(run.items().size(), 3);
        const auto answer = [&](int i) {
            const QString path = run.items()[i]->filename();
            run.dataCacherNewObjectReady(
                {path, run.items()[i], results[path], kStatusAnalysed, {}});
        };
        answer(2);
        answer(1);
        EXPECT_TRUE(written.data().isEmpty());
        answer(0);
        const QByteArray beforeEnd = written.data();
        EXPECT_EQ(run.finish(), kExitOk) << errText.toStdString();

        FileRecordList records;
        for (int i = 0; i < 3; ++i)
            records.append({run.items()[i]->filename(), run.items()[i]->prefixedPath(),
                            results[run.items()[i]->filename()]});
        const ExportFormat* exportFormat = ExportFormat::formatWithIdentifier(format);
        const ExportSettings settings{false, PerspixExporter().generatedBy()};
        const auto whole = exportFormat->prepare(records, settings);
        ASSERT_TRUE(whole.has_value());
        EXPECT_EQ(written.data(), *whole);
        // Every record was out before the end; only the tail waited.
        EXPECT_EQ(beforeEnd, whole->chopped(exportFormat->tail(settings, true, 3).size()));
    }
}

TEST(CliRun, ProgressBarCountsToTheEndAndIsCleared)
{
    TempDir dir;
    QStringList paths;
    for (int i = 0; i < 12; ++i)
        paths.append(dir.write(QStringLiteral("f%1.mov").arg(i), "not media"));
    const Outcome o = runInProcess(paths, true);
    EXPECT_TRUE(o.err.contains("] 12/12")) << o.err.toStdString();
    EXPECT_TRUE(o.err.endsWith("\r\x1b[K") || o.err.endsWith('\n')) << o.err.toStdString();
    EXPECT_EQ(o.status, analysable(paths[0]) ? kExitOk : kExitFailedFiles);
}

TEST(CliProgram, ExitStatusesAndUsage)
{
    TempDir home;
    struct Case
    {
        QStringList args;
        int status;
        QString inOut;
        QString inErr;
    };
    const Case cases[] = {
        {{}, kExitUsage, "", "Usage: perspix-cli"},
        {{"--threads", "3", "x"}, kExitUsage, "", "--threads takes"},
        {{"--bogus", "x"}, kExitUsage, "", "Usage: perspix-cli"},
        {{"--help"}, kExitOk, "Usage: perspix-cli [OPTIONS] PATH...", ""},
        {{"--version"}, kExitOk, "perspix-cli ", ""},
        {{"--list-keys"}, kExitOk, "\nVideo/Format/String\n", ""},
        {{home.filePath("none")},
         kExitFailedFiles,
         "",
         "failed to analyse " + home.filePath("none")},
        {{QDir(home.filePath("empty")).mkpath(".") ? home.filePath("empty") : QString()},
         kExitOk,
         "",
         ""},
    };
    for (const Case& c : cases) {
        const Outcome o = runProgram(c.args, home.path());
        const std::string label = c.args.join(' ').toStdString();
        EXPECT_EQ(o.status, c.status) << label;
        EXPECT_TRUE(o.out.contains(c.inOut)) << label;
        EXPECT_TRUE(o.err.contains(c.inErr)) << label << ": " << o.err.toStdString();
    }
}

TEST(CliProgram, AnalysesTheSamplesQuietlyWhenNotOnATerminal)
{
    TempDir home;
    const Outcome o =
        runProgram({"--threads", "2", dataPath("media"), dataPath("audio")}, home.path());
    bool allOk = true;
    for (const QString folder : {"media", "audio"})
        for (const QString& name : QDir(dataPath(folder)).entryList(QDir::Files)) {
            const QString path = dataPath(folder + "/" + name);
            const bool ok = analysable(path);
            allOk &= ok;
            if (ok)
                EXPECT_TRUE(o.out.contains(folder + "/" + name + "\n")) << name.toStdString();
            else
                EXPECT_TRUE(o.err.contains("failed to analyse " + path)) << name.toStdString();
        }
    EXPECT_EQ(o.status, allOk ? kExitOk : kExitFailedFiles);
    EXPECT_FALSE(o.err.contains('\r'));
    EXPECT_FALSE(o.err.contains("] "));
    // The run only reads the settings; the result store (in the cache folder the
    // environment names, else ~/.cache) is all it writes.
    QStringList written =
        QDir(home.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden);
    written.removeAll("cache");
    written.removeAll(".cache");
    EXPECT_EQ(written, QStringList());
}

TEST(CliProgram, SettingsStoreSuppliesOptionsNotGiven)
{
    const QString song = dataPath("audio/song.mp3");
    if (!analysable(song))
        GTEST_SKIP() << "the sample is not analysed yet";
    TempDir home;
    QDir(home.path()).mkpath("Perspix");
    QFile ini(home.filePath("Perspix/Perspix.ini"));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[General]\nuseSIUnits=false\n");
    ini.close();
    const Outcome binary = runProgram({song}, home.path());
    EXPECT_TRUE(binary.out.contains("iB")) << binary.out.toStdString();

    TempDir fresh;
    const Outcome decimal = runProgram({song}, fresh.path());
    EXPECT_FALSE(decimal.out.contains("iB")) << decimal.out.toStdString();
    const Outcome option = runProgram({"--binary-units", song}, fresh.path());
    EXPECT_TRUE(option.out.contains("iB")) << option.out.toStdString();
}

TEST(CliProgram, ProgressOnlyOnATerminalAndNotWhenQuiet)
{
    const QString script = QStringLiteral("/usr/bin/script");
    if (!QFileInfo::exists(script))
        GTEST_SKIP() << "no script(1) to give the program a terminal";
    TempDir dir;
    for (int i = 0; i < 3; ++i)
        dir.write(QStringLiteral("f%1.mov").arg(i), "not media");
    const auto onTerminal = [&](const QString& options) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", dir.path());
        env.insert("XDG_CACHE_HOME", dir.filePath("cache"));
        p.setProcessEnvironment(env);
        p.start(script, {"-qec",
                         QStringLiteral("'%1' %2 '%3'")
                             .arg(QStringLiteral(PERSPIX_CLI_PROGRAM), options, dir.path()),
                         "/dev/null"});
        p.waitForFinished(60000);
        return QString::fromUtf8(p.readAllStandardOutput());
    };
    const QString shown = onTerminal({});
    EXPECT_TRUE(shown.contains("] 3/3")) << shown.toStdString();
    const QString quiet = onTerminal("--quiet");
    EXPECT_FALSE(quiet.contains("] ")) << quiet.toStdString();
    EXPECT_TRUE(quiet.contains("f2.mov")) << quiet.toStdString();
}

namespace {

// Every line a run wrote on standard error is one of the program's own.
QStringList foreignLines(const QString& err)
{
    QStringList foreign;
    for (const QString& line : err.split('\n', Qt::SkipEmptyParts))
        if (!line.startsWith("Perspix: ") && !line.startsWith("perspix-cli: "))
            foreign.append(line);
    return foreign;
}

// Processes whose environment holds the text (a run's own home folder): what a run
// started and left behind.
QList<pid_t> processesWithEnvironment(const QByteArray& entry)
{
    QList<pid_t> found;
    for (const QString& name : QDir("/proc").entryList(QDir::Dirs)) {
        bool isPid = false;
        const pid_t pid = name.toInt(&isPid);
        QFile environ(QStringLiteral("/proc/%1/environ").arg(name));
        if (isPid && pid != ::getpid() && environ.open(QIODevice::ReadOnly) &&
            environ.readAll().split('\0').contains(entry))
            found.append(pid);
    }
    return found;
}

QList<pid_t> exiftoolsWithHome(const QString& home)
{
    QList<pid_t> found;
    for (const pid_t pid : processesWithEnvironment("HOME=" + QFile::encodeName(home))) {
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (cmdline.open(QIODevice::ReadOnly) && cmdline.readAll().contains("-stay_open"))
            found.append(pid);
    }
    return found;
}

} // namespace

// A pipe, a socket or a device is listed with its file facts and never read: the run ends.
TEST(CliProgram, PipesAndDevicesEndTheRun)
{
    TempDir home;
    TempDir dir;
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath("p.mp4")).constData(), 0644), 0);
    ASSERT_TRUE(QFile::link(dir.filePath("p.mp4"), dir.filePath("link.mp3")));
    dir.copyData("audio/song.mp3");
    for (const QStringList& options : {QStringList{}, QStringList{"--exiftool"}}) {
        const Outcome o = runProgram(options + QStringList{dir.path(), "/dev/null"}, home.path());
        EXPECT_EQ(o.status, kExitOk) << o.err.toStdString();
        for (const char* heading : {"/p.mp4\n", "/link.mp3\n", "/song.mp3\n", "null\n"})
            EXPECT_TRUE(o.out.contains(heading)) << heading << o.out.toStdString();
    }
}

// One file that ExifTool reads for ever fails after the time limit; one whose ExifTool is
// killed fails at once; the other files are analysed by a new ExifTool, and none is left.
TEST(CliProgram, ExiftoolTimeLimitAndRestart)
{
    TempDir home;
    // ExifTool reads its configuration from the home folder: a tag that sleeps over every
    // file whose name holds "slow", and says so first.
    home.write(".ExifTool_config",
               "%Image::ExifTool::UserDefined = (\n"
               "    'Image::ExifTool::Composite' => {\n"
               "        PerspixSlow => {\n"
               "            Require => 'FileName',\n"
               "            ValueConv => q{ if ($val =~ /slow/) { open(my $f, '>', "
               "\"$ENV{HOME}/sleeping\"); close($f); sleep(60) } $val },\n"
               "        },\n"
               "    },\n"
               ");\n"
               "1;\n");
    TempDir dir;
    const QStringList names = {"a.wav", "m-slow.wav", "x.mp3", "z.mp4"};
    dir.copyData("audio/stereo.wav", names[0]);
    dir.copyData("audio/stereo.wav", names[1]);
    dir.copyData("audio/song.mp3", names[2]);
    dir.copyData("media/paris.mp4", names[3]);
    const QString slow = dir.filePath(names[1]);
    const auto checkOutcome = [&](const QString& out, const QString& err) {
        EXPECT_TRUE(err.contains("perspix-cli: failed to analyse " + slow)) << err.toStdString();
        const QJsonArray records = QJsonDocument::fromJson(out.toUtf8()).array();
        QStringList analysed;
        for (const QJsonValue& r : records)
            analysed.append(r.toObject().value("_FileName").toString());
        EXPECT_EQ(analysed, (QStringList{dir.filePath(names[0]), dir.filePath(names[2]),
                                         dir.filePath(names[3])}));
        // Neither an ExifTool nor a watchdog outlives the run.
        EXPECT_TRUE(processesWithEnvironment("HOME=" + QFile::encodeName(home.path())).isEmpty());
    };

    const Outcome limited = runProgram(
        {"--exiftool", "--exiftool-timeout", "2", "--threads", "1", "--format", "json", dir.path()},
        home.path());
    EXPECT_EQ(limited.status, kExitFailedFiles);
    EXPECT_TRUE(limited.err.contains("Perspix: Taglink: exiftool gave no answer for " + slow +
                                     " within the time limit of 2 s"))
        << limited.err.toStdString();
    checkOutcome(limited.out, limited.err);

    // ExifTool killed while it reads the slow file.
    QFile::remove(home.filePath("sleeping"));
    QProcess run;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home.path());
    env.insert("XDG_CONFIG_HOME", home.path());
    run.setProcessEnvironment(env);
    run.start(PERSPIX_CLI_PROGRAM,
              {"--exiftool", "--threads", "1", "--format", "json", dir.path()});
    QElapsedTimer waited;
    waited.start();
    while (!QFileInfo::exists(home.filePath("sleeping")) && waited.elapsed() < 60000)
        QThread::msleep(20);
    const QList<pid_t> exiftools = exiftoolsWithHome(home.path());
    ASSERT_EQ(exiftools.size(), 1);
    ::kill(exiftools.first(), SIGKILL);
    ASSERT_TRUE(run.waitForFinished(60000));
    const QString err = QString::fromUtf8(run.readAllStandardError());
    EXPECT_EQ(run.exitCode(), kExitFailedFiles);
    EXPECT_TRUE(err.contains(QStringLiteral("task %1 is dead").arg(exiftools.first())));
    checkOutcome(QString::fromUtf8(run.readAllStandardOutput()), err);
}

// Relative paths are made absolute before listing, symbolic links kept.
TEST(CliProgram, RelativePathsBecomeAbsolute)
{
    TempDir home;
    TempDir dir;
    QDir(dir.path()).mkdir("sub");
    dir.copyData("audio/song.mp3", "sub/song.mp3");
    ASSERT_TRUE(QFile::link(dir.filePath("sub"), dir.filePath("ln")));
    QProcess run;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home.path());
    env.insert("XDG_CONFIG_HOME", home.path());
    run.setProcessEnvironment(env);
    run.setWorkingDirectory(dir.path());
    run.start(PERSPIX_CLI_PROGRAM,
              {"--format", "json", "sub/song.mp3", "./ln/../ln/song.mp3", "ln"});
    ASSERT_TRUE(run.waitForFinished(60000));
    EXPECT_EQ(run.exitCode(), kExitOk);
    const QJsonArray records = QJsonDocument::fromJson(run.readAllStandardOutput()).array();
    QStringList names;
    QStringList locations;
    for (const QJsonValue& r : records) {
        names.append(r.toObject().value("_FileName").toString());
        for (const QJsonValue& entry : r.toObject().value("File").toArray().first().toArray())
            if (entry.toObject().value("option") == "FileLocation")
                locations.append(entry.toObject().value("value").toString());
    }
    names.sort();
    EXPECT_EQ(names, (QStringList{dir.filePath("ln/song.mp3"), dir.filePath("ln/song.mp3"),
                                  dir.filePath("sub/song.mp3")}));
    locations.sort();
    EXPECT_EQ(locations,
              (QStringList{dir.filePath("ln"), dir.filePath("ln"), dir.filePath("sub")}));
}

// A damaged JPEG makes Qt's decoder complain: the lines join the program's log, and a run
// over the file (which decodes no picture) leaves standard error to the program's own lines.
TEST(CliProgram, DecoderMessagesJoinTheLog)
{
    setupCore();
    TempDir home;
    TempDir dir;
    QFile sample(dataPath("images/DSCN0010.jpg"));
    ASSERT_TRUE(sample.open(QIODevice::ReadOnly));
    QByteArray bytes = sample.readAll();
    // Scrambled scan data three quarters in: the decoder complains as it reads.
    const qsizetype at = bytes.size() * 3 / 4;
    for (qsizetype i = at; i < at + 40; ++i)
        bytes[i] = i % 7 == 0 ? char(0xff) : char(bytes[i] ^ 0x55);
    dir.write("damaged.jpg", bytes);
    {
        LogCapture log;
        QImageReader reader(dir.filePath("damaged.jpg"));
        reader.read();
        EXPECT_TRUE(log.contains("qt.gui.imageio.jpeg: Corrupt JPEG data"))
            << log.lines().join('\n').toStdString();
    }
    const Outcome o = runProgram({dir.filePath("damaged.jpg")}, home.path());
    EXPECT_EQ(o.status, kExitOk);
    EXPECT_EQ(foreignLines(o.err), QStringList());
}

namespace {

// The summaries of a run by path (a summary is its path, a line of "-" and the text up to
// the next summary).
QHash<QString, QString> summariesByPath(const QString& out)
{
    QHash<QString, QString> blocks;
    QString current;
    for (const QString& piece : out.split(QStringLiteral("\n\n"))) {
        const QStringList lines = piece.split('\n');
        const bool header =
            lines.size() >= 2 && !lines[0].isEmpty() && lines[1] == QString(lines[0].size(), '-');
        if (header)
            current = lines[0];
        blocks[current] += piece + '\n';
    }
    return blocks;
}

QStringList failureLines(const QString& err)
{
    QStringList lines;
    for (const QString& line : err.split('\n'))
        if (line.startsWith("perspix-cli: failed to analyse "))
            lines.append(line);
    lines.sort();
    return lines;
}

} // namespace

// Real signals from outside: one helper is killed with SIGSEGV and another stopped with
// SIGSTOP while each has a file in hand. Those two files fail with their messages, every
// other file has the summary it has in an undisturbed run, and the run ends with status 1.
TEST(CliProgram, KilledAndStoppedHelpersFailOneFileEach)
{
    if (DataCacher::activeProcessorCores() < 2)
        GTEST_SKIP() << "two helpers run on two cores at least";
    TempDir home;
    const QStringList args{"--threads",          "2", "--no-store",
                           "--analysis-timeout", "3", QStringLiteral(PERSPIX_TEST_DATA)};
    const Outcome calm = runProgram(args, home.path());
    ASSERT_GE(calm.status, 0);

    QProcess run;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", home.path());
    env.insert("HOME", home.path());
    env.insert("LC_ALL", "C.UTF-8");
    run.setProcessEnvironment(env);
    run.start(PERSPIX_CLI_PROGRAM, args);
    ASSERT_TRUE(run.waitForStarted());
    QList<pid_t> helpers;
    QElapsedTimer waited;
    waited.start();
    while (helpers.size() < 2 && waited.elapsed() < 20000) {
        QProcess pgrep;
        pgrep.start("pgrep", {"-P", QString::number(run.processId())});
        pgrep.waitForFinished();
        helpers.clear();
        for (const QByteArray& pid : pgrep.readAllStandardOutput().split('\n'))
            if (!pid.isEmpty())
                helpers.append(pid_t(pid.toInt()));
        QThread::msleep(5);
    }
    ASSERT_EQ(helpers.size(), 2);
    // Both stopped first: after a moment each has a file in hand, the one it was reading or
    // the request that came after its last answer.
    ::kill(helpers[0], SIGSTOP);
    ::kill(helpers[1], SIGSTOP);
    QThread::msleep(300);
    ::kill(helpers[0], SIGSEGV);
    ::kill(helpers[0], SIGCONT);
    ASSERT_TRUE(run.waitForFinished(120000));
    const QString out = QString::fromUtf8(run.readAllStandardOutput());
    const QString err = QString::fromUtf8(run.readAllStandardError());
    EXPECT_EQ(run.exitCode(), kExitFailedFiles);

    QStringList failed;
    QStringList others;
    int crashed = 0;
    int timedOut = 0;
    const QString crash = ": the reader stopped on this file (signal 11: segmentation fault)";
    const QString timeout = ": analysis stopped after 3 s";
    for (const QString& line : failureLines(err)) {
        const QString prefix = "perspix-cli: failed to analyse ";
        if (line.endsWith(crash)) {
            ++crashed;
            failed.append(line.mid(prefix.size(), line.size() - prefix.size() - crash.size()));
        } else if (line.endsWith(timeout)) {
            ++timedOut;
            failed.append(line.mid(prefix.size(), line.size() - prefix.size() - timeout.size()));
        } else {
            others.append(line);
        }
    }
    EXPECT_EQ(crashed, 1) << err.toStdString();
    EXPECT_EQ(timedOut, 1) << err.toStdString();
    EXPECT_EQ(others, failureLines(calm.err));

    QHash<QString, QString> expected = summariesByPath(calm.out);
    for (const QString& path : failed) {
        bool removed = false;
        for (auto it = expected.begin(); it != expected.end(); ++it) {
            if (!it.key().isEmpty() && path.endsWith(it.key().mid(it.key().indexOf('/')))) {
                expected.erase(it);
                removed = true;
                break;
            }
        }
        EXPECT_TRUE(removed) << path.toStdString();
    }
    const QHash<QString, QString> got = summariesByPath(out);
    QStringList gotKeys = got.keys();
    QStringList expectedKeys = expected.keys();
    gotKeys.sort();
    expectedKeys.sort();
    EXPECT_EQ(gotKeys.join('\n').toStdString(), expectedKeys.join('\n').toStdString());
    for (auto it = expected.cbegin(); it != expected.cend(); ++it)
        EXPECT_EQ(got.value(it.key()).toStdString(), it->toStdString());
}
