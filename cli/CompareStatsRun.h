// The --compare and --stats runs of perspix-cli: the listed files are analysed with the
// batch engine, then compared side by side or one parameter's values are counted. The
// analysis options and the file list are those of the ordinary run.
#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QTextStream>
#include <optional>

#include "filelist/FilelistItem.h"
#include "model/PerspixData.h"

namespace perspix::cli {

struct CompareStatsOptions
{
    enum class Run { None, CompareExtended, CompareGeneral, Stats };
    Run run = Run::None;
    bool html = false;
    QString outputFile;     // -o FILE; standard output when empty
    QString statsParameter; // "SECTION/KEY"
    QString chartFile;      // --chart FILE: the statistics as an SVG chart
};

// The options of these runs taken out of the arguments; `rest` keeps every other argument,
// in order, for the ordinary option parser.
struct CompareStatsParse
{
    CompareStatsOptions options;
    QStringList rest;
    QString error; // a usage error
};

// True when the arguments ask for --compare or --stats.
bool isCompareOrStatsRun(const QStringList& arguments);
CompareStatsParse extractCompareStatsOptions(const QStringList& arguments);
QString compareStatsUsageText();
// The "SECTION/KEY" names of the shipped parameter order, one per line, sections in the
// comparison's order: the keys --stats is known to find (shell completion lists them).
QString statsKeysText();

// The whole run, from the arguments (without the program name) to the exit status.
int runCompareOrStats(const QStringList& arguments, QTextStream& out, QTextStream& err);

// The listed files and the analysed data of each (null where the analysis failed).
struct AnalysedList
{
    Filelist items;
    QList<PerspixDataPtr> data; // aligned with items
};

// What a run prints: the text for standard output (or the output file), the lines for
// standard error, and the exit status.
struct RunOutput
{
    QString text;
    QString errors;
    int status = 0;
    QByteArray chart; // the SVG chart of statistics, when asked for
};

// The comparison of the analysed files of the list: failed files are left out, and at most
// `limit` files are compared. Nothing at all for an empty comparison.
RunOutput comparisonOutput(const AnalysedList& list, const CompareStatsOptions& options,
                           qsizetype limit);
// The statistics rows of "SECTION/KEY" over every listed file: a title line, then
// "value<TAB>count" lines, "Not set" first. A parameter without "/" or with a section that
// no file has is a usage error naming the sections present.
RunOutput statisticsOutput(const AnalysedList& list, const QString& parameter,
                           bool chart = false);

} // namespace perspix::cli
