#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include "cli/CommandLine.h"
#include "cli/CompareStatsRun.h"
#include "model/Log.h"
#include "support/TestSupport.h"
#include "tests/comparison/HandMadeFiles.h"

using namespace perspix;
using namespace perspix::cli;
using perspix::test::dataPath;
using perspix::test::handMadeFile;
using perspix::test::Outcome;
using perspix::test::TempDir;

namespace {

using RunKind = CompareStatsOptions::Run;

TEST(CompareStatsOptions, Parsing)
{
    struct Case
    {
        QStringList args;
        RunKind run = RunKind::None;
        bool html = false;
        QString output;
        QString parameter;
        QStringList rest;
    };
    const Case cases[] = {
        {{"--compare", "extended", "a", "b"}, RunKind::CompareExtended, false, "", "", {"a", "b"}},
        {{"--threads", "2", "--compare=general", "--format", "html", "-o", "out.html", "a"},
         RunKind::CompareGeneral,
         true,
         "out.html",
         "",
         {"--threads", "2", "a"}},
        {{"a", "--format=csv", "--compare", "general", "--output=x.csv"},
         RunKind::CompareGeneral,
         false,
         "x.csv",
         "",
         {"a"}},
        {{"--stats", "Menu/Chapters/Chapters_Pos_Begin", "d"},
         RunKind::Stats,
         false,
         "",
         "Menu/Chapters/Chapters_Pos_Begin",
         {"d"}},
        // Everything after "--" is a path.
        {{"--compare", "extended", "--", "--stats"},
         RunKind::CompareExtended,
         false,
         "",
         "",
         {"--", "--stats"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        EXPECT_TRUE(isCompareOrStatsRun(c.args));
        const CompareStatsParse parse = extractCompareStatsOptions(c.args);
        EXPECT_EQ(parse.error, "");
        EXPECT_EQ(parse.options.run, c.run);
        EXPECT_EQ(parse.options.html, c.html);
        EXPECT_EQ(parse.options.outputFile, c.output);
        EXPECT_EQ(parse.options.statsParameter, c.parameter);
        EXPECT_EQ(parse.rest, c.rest);
    }
    // Usage errors name what is wrong.
    const std::pair<QStringList, QString> errors[] = {
        {{"--compare", "side-by-side", "a"}, "--compare takes extended or general"},
        {{"--compare", "extended", "--format", "xml", "a"}, "--format takes csv or html"},
        {{"--stats", "Video/Format", "--format", "csv", "a"}, "--format goes with --compare"},
        {{"--stats", "Video/Format", "--compare", "general", "a"}, "one of --compare and --stats"},
        {{"a", "--compare"}, "--compare needs a value"},
        {{"--compare", "general", "-o", "", "a"}, "-o needs a file name"},
        {{"--compare", "general", "--chart", "c.svg", "a"}, "--chart goes with --stats"},
    };
    for (const auto& [args, error] : errors) {
        const QString got = extractCompareStatsOptions(args).error;
        EXPECT_TRUE(got.contains(error))
            << args.join(' ').toStdString() << ": " << got.toStdString();
    }
    EXPECT_FALSE(isCompareOrStatsRun({"a", "--", "--compare", "general"}));
    EXPECT_FALSE(isCompareOrStatsRun({"--threads", "2", "a"}));
}

AnalysedList handMadeList()
{
    const auto video = [](const QString& path, const QString& format) {
        return handMadeFile(path, {{"Video", {{{"Format/String", "Format", format}}}},
                                   {"Menu/Chapters", {{{"Chapters_Pos_Begin", "Begin", "40"}}}}});
    };
    AnalysedList list;
    const QList<std::pair<QString, PerspixDataPtr>> files = {
        {"/m/a.mp4", video("/m/a.mp4", "AVC")},
        {"/m/failed.mp4", nullptr},
        {"/m/b.mp4", video("/m/b.mp4", "Two\tlines\nof \\ text")},
        {"/m/c.mp4", video("/m/c.mp4", "AVC")},
        {"/m/photo.jpg", handMadeFile("/m/photo.jpg", {{"EXIF", {{{"k", "K", "v"}}}}})},
    };
    for (const auto& [path, data] : files) {
        list.items.append(FilelistItem::itemWithFilename(path, path));
        list.data.append(data);
    }
    return list;
}

TEST(CompareStatsRun, StatisticsOutput)
{
    const AnalysedList list = handMadeList();
    const RunOutput format = statisticsOutput(list, "Video/Format/String");
    EXPECT_EQ(format.text, "Video: Format\nNot set\t2\nAVC\t2\nTwo\\tlines\\nof \\\\ text\t1\n");
    EXPECT_EQ(format.errors, "perspix-cli: failed to analyse /m/failed.mp4\n");
    EXPECT_EQ(format.status, kExitFailedFiles);

    // A section holding "/" is matched whole; an unknown key counts every file as not set.
    EXPECT_EQ(statisticsOutput(list, "Menu/Chapters/Chapters_Pos_Begin").text,
              "Menu/Chapters: Begin\nNot set\t2\n40\t3\n");
    EXPECT_EQ(statisticsOutput(list, "Video/Nope").text, "Video: Nope\nNot set\t5\n");
    // A label or the key without "/String" stands for the shown line.
    EXPECT_EQ(statisticsOutput(list, "Video/format").text, format.text);
    EXPECT_EQ(statisticsOutput(list, "Video/Format").text, format.text);
    EXPECT_EQ(statisticsOutput(list, "Menu/Chapters/begin").text,
              statisticsOutput(list, "Menu/Chapters/Chapters_Pos_Begin").text);

    for (const QString bad : {"Video", "Nope/Format", "Video/", "Menu/"}) {
        const RunOutput usage = statisticsOutput(list, bad);
        EXPECT_EQ(usage.status, kExitUsage) << bad.toStdString();
        EXPECT_EQ(usage.text, "");
        EXPECT_TRUE(usage.errors.contains("Sections present: Video, Menu/Chapters, EXIF\n"))
            << usage.errors.toStdString();
    }
    // Nothing listed: nothing to count.
    const RunOutput none = statisticsOutput({}, "Video/Format");
    EXPECT_EQ(none.status, kExitOk);
    EXPECT_EQ(none.text, "");
}

TEST(CompareStatsRun, ComparisonOutputLeavesOutFailedFilesAndKeepsTheLimit)
{
    const AnalysedList list = handMadeList();
    CompareStatsOptions csv;
    csv.run = RunKind::CompareGeneral;
    // No file has general lines: no rows, but the files are compared.
    EXPECT_EQ(comparisonOutput(list, csv, 70).text, "");

    csv.run = RunKind::CompareExtended;
    const RunOutput limited = comparisonOutput(list, csv, 2);
    EXPECT_EQ(limited.text, "\"Video\",,\n\"Format\",\"AVC\",\"Two\tlines\nof \\ text\"\n"
                            "\"Menu/Chapters\",,\n\"Begin\",\"40\",\"40\"");
    EXPECT_TRUE(limited.errors.contains("failed to analyse /m/failed.mp4\n"));
    EXPECT_TRUE(limited.errors.contains("comparing the first 2 of 4 analysed files"));
    EXPECT_EQ(limited.status, kExitFailedFiles);

    CompareStatsOptions html = csv;
    html.html = true;
    const RunOutput page = comparisonOutput(list, html, 70);
    EXPECT_TRUE(page.text.contains("<td class=h>a.mp4</td><td class=h>b.mp4</td><td "
                                   "class=h>c.mp4</td><td class=h>photo.jpg</td></tr>"));
    EXPECT_TRUE(page.text.contains("<tr><td colspan=5 class='g'><b>EXIF</b></td></tr>"));

    const RunOutput empty = comparisonOutput({}, html, 70);
    EXPECT_EQ(empty.text, "");
    EXPECT_EQ(empty.status, kExitOk);
}

// --- The built program on the sample files, its outputs read by real parsers. ---

Outcome runProgram(const QStringList& args, const QString& configHome)
{
    return perspix::test::runProgram(QStringLiteral(PERSPIX_CLI_PROGRAM), args, configHome);
}

// Python's csv and html.parser modules read the outputs and print one line per table row:
// for CSV the number of fields, then "=" when all file values of the row are the same and
// "-" when they are all empty (a header row); for HTML the number of columns spanned.
const char* kReader = R"PY(
import csv, io, sys
from html.parser import HTMLParser
text = open(sys.argv[2], encoding='utf-8', newline='').read()
if sys.argv[1] == 'csv':
    for row in csv.reader(io.StringIO(text, newline='')):
        values = set(row[1:])
        print(len(row), '=' if len(values) == 1 else '', '-' if values == {''} else '')
else:
    class Rows(HTMLParser):
        def __init__(self):
            super().__init__()
            self.rows = []
        def handle_starttag(self, tag, attrs):
            if tag == 'tr':
                self.rows.append(0)
            if tag == 'td':
                self.rows[-1] += int(dict(attrs).get('colspan') or 1)
    rows = Rows()
    rows.feed(text)
    for n in rows.rows:
        print(n)
)PY";

// Per table row, the reader's line; nothing when Python is missing.
std::optional<QStringList> readWithPython(const QString& kind, const QString& file)
{
    const QString python = QStandardPaths::findExecutable("python3");
    if (python.isEmpty())
        return std::nullopt;
    QProcess p;
    p.start(python, {"-c", kReader, kind, file});
    p.waitForFinished(60000);
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    return QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}

// How many files of the folders are analysed, and how many there are.
std::pair<qsizetype, qsizetype> analysableCount(const QStringList& folders)
{
    LogCapture quiet;
    qsizetype analysed = 0;
    qsizetype all = 0;
    for (const QString& folder : folders) {
        for (const QString& name : QDir(folder).entryList(QDir::Files)) {
            ++all;
            if (PerspixData::dataAboutFile(QDir(folder).filePath(name), {}))
                ++analysed;
        }
    }
    return {analysed, all};
}

TEST(CompareStatsProgram, ComparisonsParseWithStandardReaders)
{
    TempDir home;
    const QStringList folders = {dataPath("media"), dataPath("audio")};
    const auto [files, all] = analysableCount(folders);
    ASSERT_GT(files, 10);

    const QString csvFile = home.filePath("comparison.csv");
    const Outcome csv =
        runProgram(QStringList{"--compare", "extended", "-o", csvFile} + folders, home.path());
    EXPECT_EQ(csv.out, "");
    const QString htmlFile = home.filePath("comparison.html");
    const Outcome html = runProgram(
        QStringList{"--compare", "general", "--format", "html", "-o", htmlFile} + folders,
        home.path());
    for (const Outcome& o : {csv, html}) {
        // Files that fail (a cut-off film, say) are named and left out.
        EXPECT_EQ(o.status, files == all ? kExitOk : kExitFailedFiles) << o.err.toStdString();
    }

    const auto csvRows = readWithPython("csv", csvFile);
    const auto htmlRows = readWithPython("html", htmlFile);
    if (!csvRows || !htmlRows)
        GTEST_SKIP() << "no python3 to read the outputs";
    EXPECT_GT(csvRows->size(), 50);
    for (const QString& row : *csvRows)
        EXPECT_EQ(row.section(' ', 0, 0).toLongLong(), files + 1) << row.toStdString();
    EXPECT_GT(htmlRows->size(), 3);
    for (const QString& row : *htmlRows)
        EXPECT_EQ(row.toLongLong(), files + 1);
}

TEST(CompareStatsProgram, FileComparedWithItselfAgreesEverywhere)
{
    TempDir home;
    const QString film = dataPath("media/multi.mkv");
    const Outcome o = runProgram({"--compare", "extended", film, film}, home.path());
    EXPECT_EQ(o.status, kExitOk) << o.err.toStdString();
    const QString file = home.write("self.csv", o.out.toUtf8());
    const auto rows = readWithPython("csv", file);
    if (!rows)
        GTEST_SKIP() << "no python3 to read the output";
    int valueRows = 0;
    for (const QString& row : *rows) {
        EXPECT_TRUE(row.startsWith("3 =")) << row.toStdString();
        if (!row.endsWith('-'))
            ++valueRows;
    }
    EXPECT_GT(valueRows, 30);
}

TEST(CompareStatsProgram, StatisticsAndBadInput)
{
    TempDir home;
    const QString empty = home.filePath("empty");
    QDir().mkpath(empty);
    const QString song = dataPath("audio/song.mp3");
    const QString m4a = dataPath("audio/song.m4a");
    const QString missing = home.filePath("missing.mp3");
    struct Case
    {
        QStringList args;
        int status;
        QString out; // exact
        QString inErr;
    };
    const Case cases[] = {
        {{"--compare", "extended", empty}, kExitOk, "", ""},
        {{"--compare", "general", "--format", "html", empty}, kExitOk, "", ""},
        // Ties keep the order of the file list, which is sorted by name.
        {{"--stats", "Audio/Format/String", song, missing, m4a},
         kExitFailedFiles,
         "Audio: Format\nNot set\t1\nAAC LC\t1\nMPEG Audio\t1\n",
         "failed to analyse " + missing},
        {{"--stats", "Audio", song},
         kExitUsage,
         "",
         "Sections present: File, Container, Image, Audio"},
        {{"--stats", "Nope/Format", song}, kExitUsage, "", "Sections present: File,"},
        {{"--compare", "sideways", song}, kExitUsage, "", "--compare takes extended or general"},
        {{"--help"}, kExitOk, "", ""},
    };
    for (const Case& c : cases) {
        const std::string label = c.args.join(' ').toStdString();
        const Outcome o = runProgram(c.args, home.path());
        EXPECT_EQ(o.status, c.status) << label << ": " << o.err.toStdString();
        if (c.args.first() == "--help")
            EXPECT_TRUE(o.out.contains("--compare extended|general")) << o.out.toStdString();
        else
            EXPECT_EQ(o.out, c.out) << label;
        EXPECT_TRUE(o.err.contains(c.inErr)) << label << ": " << o.err.toStdString();
    }
    // The runs only read the settings.
    EXPECT_EQ(QDir(home.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
              QStringList{"empty"});

    // --chart draws the counts: a histogram for sampling rates, a bar per format.
    TempDir charts;
    const QString tone = dataPath("audio/tone.flac");
    for (const auto& [parameter, inChart] : {std::pair{"Audio/SamplingRate/String", "Hz (3 files)"},
                                             std::pair{"Audio/Format/String", "MPEG Audio"}}) {
        const QString chart =
            charts.filePath(QString::fromLatin1(parameter).section('/', 1, 1) + ".svg");
        const Outcome o =
            runProgram({"--stats", parameter, song, m4a, tone, "--chart", chart}, home.path());
        EXPECT_EQ(o.status, kExitOk) << o.err.toStdString();
        QFile file(chart);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << parameter;
        const QByteArray svg = file.readAll();
        EXPECT_TRUE(svg.startsWith("<?xml")) << parameter;
        EXPECT_TRUE(svg.contains(inChart)) << parameter;
    }
}

} // namespace
