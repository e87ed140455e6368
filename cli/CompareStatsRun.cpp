// The --compare and --stats runs of perspix-cli (see CompareStatsRun.h).
#include "cli/CompareStatsRun.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QSaveFile>
#include <QTimer>
#include <algorithm>

#include "batch/CoreSetup.h"
#include "batch/DataCacher.h"
#include "charts/ChartSvg.h"
#include "charts/StatisticsChart.h"
#include "cli/CommandLine.h"
#include "comparison/ComparisonAssistant.h"
#include "comparison/ComparisonExport.h"
#include "comparison/ParameterStatistics.h"
#include "filelist/FilelistFiller.h"
#include "model/Settings.h"

namespace perspix::cli {

namespace {

const QString kCompare = QStringLiteral("--compare");
const QString kStats = QStringLiteral("--stats");
const QString kFormat = QStringLiteral("--format");
const QString kOutput = QStringLiteral("--output");
const QString kOutputShort = QStringLiteral("-o");
const QString kChart = QStringLiteral("--chart");
constexpr int kStallCheckMs = 250;

// Analyses a file list with the batch engine and keeps every answer.
class ListAnalysis : public DataCacherDelegate
{
public:
    ListAnalysis(const Filelist& items, quint32 threads, const QVariantMap& options)
        : m_items(items)
    {
        m_cacher.setMTMode(threads);
        m_cacher.setOptionsProvider([options] { return options; });
    }
    ~ListAnalysis() override
    {
        m_cacher.setDelegate(nullptr);
        m_cacher.cancelThreadsAndWait();
    }

    QHash<QString, PerspixDataPtr> run()
    {
        if (m_items.isEmpty())
            return {};
        m_cacher.setDelegate(this);
        m_cacher.processFiles(m_items);
        QTimer stallCheck;
        QObject::connect(&stallCheck, &QTimer::timeout, [this] { checkStalled(); });
        stallCheck.start(kStallCheckMs);
        if (m_answered < m_items.size())
            m_loop.exec();
        stallCheck.stop();
        m_cacher.cancelThreadsAndWait();
        return m_data;
    }

    void dataCacherNewObjectReady(const CacherResult& result) override
    {
        ++m_answered;
        if (result.data)
            m_data.insert(result.filename, result.data);
        else if (PerspixDataPtr cached = m_cacher.dataFromCacheForFile(result.filename))
            m_data.insert(result.filename, cached);
        if (m_answered >= m_items.size())
            m_loop.quit();
    }

private:
    // Should an answer never come, the run still ends once no worker is left; the files
    // without an answer count as failed.
    void checkStalled()
    {
        if (m_cacher.runningWorkers() > 0)
            return;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
        if (m_cacher.runningWorkers() == 0 && m_cacher.queuedEntries() == 0)
            m_loop.quit();
    }

    Filelist m_items;
    DataCacher m_cacher;
    QEventLoop m_loop;
    qsizetype m_answered = 0;
    QHash<QString, PerspixDataPtr> m_data;
};

// Sections of the analysed files, in the order an extended comparison shows them.
QStringList sectionsPresent(const AnalysedList& list)
{
    QStringList seen;
    for (const PerspixDataPtr& file : list.data) {
        const SectionData* data = file ? file->data() : nullptr;
        if (!data)
            continue;
        for (auto it = data->cbegin(); it != data->cend(); ++it)
            if (!it.value().isEmpty() && !seen.contains(it.key()))
                seen.append(it.key());
    }
    QStringList ordered;
    for (const QString& kind : ComparisonAssistant::fixedKindOrder())
        if (seen.contains(kind))
            ordered.append(kind);
    for (const QString& kind : std::as_const(seen))
        if (!ordered.contains(kind))
            ordered.append(kind);
    return ordered;
}

// The label the files give the key, else the key itself.
QString labelOf(const AnalysedList& list, const QString& section, const QString& key)
{
    for (const PerspixDataPtr& file : list.data) {
        const SectionData* data = file ? file->data() : nullptr;
        if (!data)
            continue;
        for (const ParameterMap& stream : data->value(section)) {
            const auto param = stream.constFind(key);
            if (param != stream.cend() && !param->name.isEmpty())
                return param->name;
        }
    }
    return key;
}

// The key the user means: the key itself when a file has it, else the key with "/String"
// added ("Video/Format" stands for the shown "Format/String" line), else a key whose label
// is the given text (the first in key order when several are). An unknown key stays as
// given, and every file counts as not set.
QString resolveKey(const AnalysedList& list, const QString& section, const QString& given)
{
    const QString stringKey = given + QStringLiteral("/String");
    bool hasStringKey = false;
    QString byLabel;
    for (const PerspixDataPtr& file : list.data) {
        const SectionData* data = file ? file->data() : nullptr;
        if (!data)
            continue;
        for (const ParameterMap& stream : data->value(section)) {
            if (stream.contains(given))
                return given;
            hasStringKey = hasStringKey || stream.contains(stringKey);
            for (auto it = stream.cbegin(); it != stream.cend(); ++it)
                if (it->name.compare(given, Qt::CaseInsensitive) == 0 &&
                    (byLabel.isEmpty() || it.key() < byLabel))
                    byLabel = it.key();
        }
    }
    if (hasStringKey)
        return stringKey;
    return byLabel.isEmpty() ? given : byLabel;
}

// One statistics row per line: line breaks, tabs and backslashes in a value are written as
// escapes.
QString oneLine(const QString& value)
{
    QString text;
    text.reserve(value.size());
    for (const QChar c : value) {
        switch (c.unicode()) {
        case u'\\':
            text += u"\\\\";
            break;
        case u'\t':
            text += u"\\t";
            break;
        case u'\n':
            text += u"\\n";
            break;
        case u'\r':
            text += u"\\r";
            break;
        default:
            text += c;
        }
    }
    return text;
}

QString failures(const AnalysedList& list)
{
    QString lines;
    for (qsizetype i = 0; i < list.items.size(); ++i)
        if (!list.data.at(i))
            lines += u"perspix-cli: failed to analyse " + list.items.at(i)->filename() + u'\n';
    return lines;
}

AnalysedList analyse(const CliOptions& options, const QVariantMap& analysisOptions)
{
    AnalysedList list;
    list.items = FilelistFiller::fillerWithPaths(absolutePaths(options.paths)).filelist();
    ListAnalysis analysis(list.items, options.threads, analysisOptions);
    const QHash<QString, PerspixDataPtr> data = analysis.run();
    list.data.reserve(list.items.size());
    for (const FilelistItemPtr& item : list.items)
        list.data.append(data.value(item->filename()));
    return list;
}

bool writeWhole(const QString& path, const QString& text, QString* error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0 || !file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace

bool isCompareOrStatsRun(const QStringList& arguments)
{
    for (const QString& arg : arguments) {
        if (arg == QLatin1String("--"))
            return false;
        if (arg == kCompare || arg == kStats || arg.startsWith(kCompare + u'=') ||
            arg.startsWith(kStats + u'='))
            return true;
    }
    return false;
}

CompareStatsParse extractCompareStatsOptions(const QStringList& arguments)
{
    CompareStatsParse parse;
    CompareStatsOptions& o = parse.options;
    QString compareMode;
    QString format;
    bool formatGiven = false;
    bool outputGiven = false;
    bool chartGiven = false;
    int runs = 0;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& arg = arguments.at(i);
        if (arg == QLatin1String("--")) {
            parse.rest.append(arguments.mid(i));
            break;
        }
        // An option of these runs with its value, as "--name value" or "--name=value".
        QString value;
        const auto takes = [&](const QString& name) {
            if (arg.startsWith(name + u'=')) {
                value = arg.mid(name.size() + 1);
                return true;
            }
            if (arg != name)
                return false;
            if (i + 1 >= arguments.size()) {
                parse.error = name + QStringLiteral(" needs a value");
                return true;
            }
            value = arguments.at(++i);
            return true;
        };
        if (takes(kCompare)) {
            ++runs;
            compareMode = value;
        } else if (takes(kStats)) {
            ++runs;
            o.statsParameter = value;
            o.run = CompareStatsOptions::Run::Stats;
        } else if (takes(kFormat)) {
            formatGiven = true;
            format = value;
        } else if (takes(kOutput) || takes(kOutputShort)) {
            outputGiven = true;
            o.outputFile = value;
        } else if (takes(kChart)) {
            chartGiven = true;
            o.chartFile = value;
        } else {
            parse.rest.append(arg);
        }
        if (!parse.error.isEmpty())
            return parse;
    }

    if (runs != 1) {
        parse.error = runs == 0 ? QStringLiteral("give --compare or --stats")
                                : QStringLiteral("give one of --compare and --stats, once");
        return parse;
    }
    if (o.run != CompareStatsOptions::Run::Stats) {
        if (compareMode == QLatin1String("extended")) {
            o.run = CompareStatsOptions::Run::CompareExtended;
        } else if (compareMode == QLatin1String("general")) {
            o.run = CompareStatsOptions::Run::CompareGeneral;
        } else {
            parse.error =
                QStringLiteral("--compare takes extended or general, not \"%1\"").arg(compareMode);
            return parse;
        }
        if (formatGiven && format != QLatin1String("csv") && format != QLatin1String("html")) {
            parse.error = QStringLiteral("--format takes csv or html, not \"%1\"").arg(format);
            return parse;
        }
        o.html = format == QLatin1String("html");
    } else if (formatGiven) {
        parse.error = QStringLiteral("--format goes with --compare only");
        return parse;
    }
    if (outputGiven && o.outputFile.isEmpty())
        parse.error = QStringLiteral("-o needs a file name");
    if (chartGiven && (o.run != CompareStatsOptions::Run::Stats || o.chartFile.isEmpty()))
        parse.error = QStringLiteral("--chart goes with --stats and needs a file name");
    return parse;
}

QString compareStatsUsageText()
{
    return QStringLiteral(
        "\n"
        "Comparison and statistics (with the options above):\n"
        "  perspix-cli --compare extended|general [--format csv|html] [-o FILE] PATH...\n"
        "      writes the side-by-side comparison of the analysed files (at most\n"
        "      compareFilesLimit of them, 70 unless the settings say otherwise; files\n"
        "      that fail are left out) as CSV (the default) or an HTML page\n"
        "  perspix-cli --stats SECTION/KEY [-o FILE] PATH...\n"
        "      counts the values of one parameter over every listed file, for example\n"
        "      --stats Video/Format or --stats EXIF/Exif.Photo.ISOSpeedRatings (KEY is a\n"
        "      parameter's key, as the JSON export names it, or its shown name):\n"
        "      a title line, then one \"value<TAB>count\" line per value, \"Not set\" first\n"
        "      (line breaks, tabs and backslashes in values are written as \\n, \\t, \\\\)\n"
        "  perspix-cli --stats SECTION/KEY --chart FILE.svg PATH...\n"
        "      also draws the counts as an SVG chart: a histogram where the values are\n"
        "      numbers of one unit, else bars of the 20 largest counts, then \"other\"\n");
}

QString statsKeysText()
{
    const ParametersOrder& order = ComparisonAssistant::parametersOrder();
    QStringList sections;
    for (const QString& section : ComparisonAssistant::fixedKindOrder())
        if (order.contains(section))
            sections.append(section);
    QStringList others = order.keys();
    others.sort();
    for (const QString& section : std::as_const(others))
        if (!sections.contains(section))
            sections.append(section);
    QString text;
    for (const QString& section : std::as_const(sections))
        for (const QString& key : order.value(section))
            text += section + u'/' + key + u'\n';
    return text;
}

RunOutput comparisonOutput(const AnalysedList& list, const CompareStatsOptions& options,
                           qsizetype limit)
{
    RunOutput output;
    output.errors = failures(list);
    output.status = output.errors.isEmpty() ? kExitOk : kExitFailedFiles;
    QList<PerspixDataPtr> files;
    for (const PerspixDataPtr& file : list.data)
        if (file)
            files.append(file);
    limit = std::max<qsizetype>(limit, 0);
    if (files.size() > limit) {
        output.errors += QStringLiteral("perspix-cli: comparing the first %1 of %2 analysed "
                                        "files (setting compareFilesLimit)\n")
                             .arg(QString::number(limit), QString::number(files.size()));
        files.resize(limit);
    }
    if (files.isEmpty())
        return output;
    const ComparisonResult result =
        options.run == CompareStatsOptions::Run::CompareGeneral
            ? ComparisonAssistant::prepareGeneralComparisonWithPerspixDataArray(files)
            : ComparisonAssistant::prepareExtendedComparisonWithPerspixDataArray(files);
    output.text = options.html
                      ? ComparisonExport::htmlExportStringForContent(result.content, result.descr)
                      : ComparisonExport::csvExportStringForContent(result.content, result.descr);
    return output;
}

RunOutput statisticsOutput(const AnalysedList& list, const QString& parameter, bool chart)
{
    RunOutput output;
    const QStringList sections = sectionsPresent(list);
    const QString known =
        sections.isEmpty() ? QStringLiteral("none") : sections.join(QStringLiteral(", "));
    // Section names and keys may both hold "/" ("Menu/Chapters", "BitRate/String"): the
    // longest section present that the parameter starts with wins.
    QString section;
    for (const QString& candidate : sections)
        if (parameter.startsWith(candidate + u'/') && parameter.size() > candidate.size() + 1 &&
            candidate.size() > section.size())
            section = candidate;
    if (!parameter.contains(u'/') || (section.isEmpty() && !list.items.isEmpty())) {
        output.status = kExitUsage;
        output.errors = QStringLiteral("perspix-cli: --stats takes SECTION/KEY; \"%1\" names no "
                                       "section of the files. Sections present: %2\n")
                            .arg(parameter, known);
        return output;
    }
    output.errors = failures(list);
    output.status = output.errors.isEmpty() ? kExitOk : kExitFailedFiles;
    if (list.items.isEmpty())
        return output;

    const QString key = resolveKey(list, section, parameter.mid(section.size() + 1));
    QStringList filenames;
    QHash<QString, PerspixDataPtr> cache;
    for (qsizetype i = 0; i < list.items.size(); ++i) {
        filenames.append(list.items.at(i)->filename());
        if (list.data.at(i))
            cache.insert(list.items.at(i)->filename(), list.data.at(i));
    }
    const auto content = ParameterStatistics::prepareForNode(
        ExtTreeItem::itemWithKey(key, labelOf(list, section, key), QVariant()),
        ExtTreeItem::groupTreeWithKey(section, section, {}, 0), filenames,
        [&cache](const QString& path) { return cache.value(path); });
    QString title = content->label;
    if (!title.endsWith(u'\n'))
        title += u'\n';
    output.text = title;
    for (const StatisticsRow& row : content->rows)
        output.text += oneLine(row.paramValue) + u'\t' + QString::number(row.paramCount) + u'\n';
    if (chart)
        output.chart = ChartSvg::document(StatisticsChart::picture(content->rows, content->label));
    return output;
}

int runCompareOrStats(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    const CompareStatsParse extracted = extractCompareStatsOptions(arguments);
    if (!extracted.error.isEmpty()) {
        err << "perspix-cli: " << extracted.error << "\n\n"
            << usageText() << compareStatsUsageText();
        return kExitUsage;
    }
    const ParseOutcome parsed = parseCommandLine(extracted.rest);
    switch (parsed.action) {
    case ParseOutcome::Help:
        out << usageText() << compareStatsUsageText();
        return kExitOk;
    case ParseOutcome::Version:
        out << versionText();
        return kExitOk;
    case ParseOutcome::ListKeys:
        out << statsKeysText();
        return kExitOk;
    case ParseOutcome::UsageError:
        err << "perspix-cli: " << parsed.error << "\n\n" << usageText() << compareStatsUsageText();
        return kExitUsage;
    case ParseOutcome::Run:
        break;
    }

    setupCore();
    Settings::registerDefaults();
    const Settings settings;
    const AnalysedList list = analyse(parsed.options, analysisOptions(parsed.options, settings));
    const CompareStatsOptions& o = extracted.options;
    const RunOutput output =
        o.run == CompareStatsOptions::Run::Stats
            ? statisticsOutput(list, o.statsParameter, !o.chartFile.isEmpty())
            : comparisonOutput(list, o, settings.intValue(prefs::kCompareFilesLimit));

    err << output.errors;
    err.flush();
    if (output.status == kExitUsage)
        return output.status;
    if (!o.outputFile.isEmpty()) {
        QString error;
        if (!writeWhole(o.outputFile, output.text, &error)) {
            err << "perspix-cli: cannot write " << o.outputFile << ": " << error << '\n';
            return kExitFailedFiles;
        }
    } else {
        out << output.text;
        out.flush();
    }
    if (!o.chartFile.isEmpty() && !output.chart.isEmpty()) {
        QSaveFile chart(o.chartFile);
        if (!chart.open(QIODevice::WriteOnly) || chart.write(output.chart) < 0 || !chart.commit()) {
            err << "perspix-cli: cannot write " << o.chartFile << ": " << chart.errorString() << '\n';
            return kExitFailedFiles;
        }
    }
    return output.status;
}

} // namespace perspix::cli
