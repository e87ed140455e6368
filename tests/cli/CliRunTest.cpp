#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QProcess>
#include <QTextStream>

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
            run.dataCacherNewObjectReady({path, run.items()[i], results[path], kStatusAnalysed});
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
    // The run only reads the settings; the result store is all it writes.
    EXPECT_EQ(QDir(home.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
              QStringList{"cache"});
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
