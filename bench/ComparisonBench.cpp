// Comparison and statistics speed: the extended comparison of 70 analysed media files (the
// default limit) and of 1,000, their export texts, and the statistics of one parameter over
// 10,000 files. The files are the repository's media and sound samples, analysed once and
// listed repeatedly under distinct names. No peer tool does this work; the figures are set
// against targets.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>
#include <functional>

#include "batch/CoreSetup.h"
#include "comparison/ComparisonAssistant.h"
#include "comparison/ComparisonExport.h"
#include "comparison/ParameterStatistics.h"

using namespace perspix;

namespace {

QList<PerspixDataPtr> analysedSamples()
{
    const QDir data(
        QFileInfo(QStringLiteral(__FILE__)).dir().filePath(QStringLiteral("../tests/data")));
    QList<PerspixDataPtr> samples;
    for (const QString& folder : {QStringLiteral("media"), QStringLiteral("audio")}) {
        const QDir dir(data.filePath(folder));
        for (const QString& name : dir.entryList(QDir::Files, QDir::Name)) {
            PerspixDataPtr file = PerspixData::dataAboutFile(dir.filePath(name), {});
            if (file && file->data())
                samples.append(file);
        }
    }
    return samples;
}

// n files cycling through the samples, each under its own name.
QList<PerspixDataPtr> listOf(const QList<PerspixDataPtr>& samples, int n)
{
    QList<PerspixDataPtr> files;
    files.reserve(n);
    for (int i = 0; i < n; ++i) {
        const PerspixDataPtr& sample = samples.at(i % samples.size());
        files.append(std::make_shared<PerspixData>(
            QStringLiteral("/bench/%1-%2")
                .arg(QString::number(i), QFileInfo(sample->filename).fileName()),
            *sample->dict()));
    }
    return files;
}

// Best of several runs, in seconds.
double bestOf(int runs, const std::function<void()>& work)
{
    double best = 1e9;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        best = std::min(best, timer.nsecsElapsed() / 1e9);
    }
    return best;
}

void report(const char* what, double seconds, double target)
{
    std::printf("%-52s %10.3f ms   target %6.0f ms   %5.2f%% of target  %s\n", what, seconds * 1000,
                target * 1000, 100.0 * seconds / target, seconds < target ? "ok" : "SLOW");
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    setupCore();

    QElapsedTimer timer;
    timer.start();
    const QList<PerspixDataPtr> samples = analysedSamples();
    if (samples.isEmpty()) {
        std::fprintf(stderr, "no sample could be analysed\n");
        return 1;
    }
    std::printf("analysed %lld sample files in %.3f s\n", static_cast<long long>(samples.size()),
                timer.nsecsElapsed() / 1e9);

    for (const int n : {70, 1000}) {
        const QList<PerspixDataPtr> files = listOf(samples, n);
        qsizetype rows = 0;
        const double extended = bestOf(5, [&] {
            rows = ComparisonAssistant::prepareExtendedComparisonWithPerspixDataArray(files)
                       .content.size();
        });
        const QByteArray label =
            QStringLiteral("extended comparison, %1 files (%2 rows)").arg(n).arg(rows).toUtf8();
        report(label.constData(), extended, n <= 70 ? 0.2 : 3.0);
        const ComparisonResult result =
            ComparisonAssistant::prepareExtendedComparisonWithPerspixDataArray(files);
        const double csv = bestOf(
            5, [&] { ComparisonExport::csvExportStringForContent(result.content, result.descr); });
        const double html = bestOf(
            5, [&] { ComparisonExport::htmlExportStringForContent(result.content, result.descr); });
        std::printf("  its CSV export %.3f ms, its HTML export %.3f ms\n", csv * 1000, html * 1000);
        const double general = bestOf(
            5, [&] { ComparisonAssistant::prepareGeneralComparisonWithPerspixDataArray(files); });
        const QByteArray generalLabel =
            QStringLiteral("general comparison, %1 files").arg(n).toUtf8();
        report(generalLabel.constData(), general, n <= 70 ? 0.2 : 3.0);
    }

    const int statFiles = 10000;
    const QList<PerspixDataPtr> files = listOf(samples, statFiles);
    QHash<QString, PerspixDataPtr> cache;
    QStringList names;
    for (const PerspixDataPtr& file : files) {
        cache.insert(file->filename, file);
        names.append(file->filename);
    }
    const ParameterStatistics::CachedData cached = [&cache](const QString& path) {
        return cache.value(path);
    };
    const auto item = ExtTreeItem::itemWithKey(QStringLiteral("Format/String"),
                                               QStringLiteral("Format"), QString());
    const auto group =
        ExtTreeItem::groupTreeWithKey(QStringLiteral("Audio"), QStringLiteral("Audio"), {}, 1);
    qsizetype values = 0;
    const double stats = bestOf(5, [&] {
        values = ParameterStatistics::prepareForNode(item, group, names, cached)->rows.size();
    });
    const QByteArray statsLabel = QStringLiteral("statistics of Audio/Format, %1 files (%2 rows)")
                                      .arg(statFiles)
                                      .arg(values)
                                      .toUtf8();
    report(statsLabel.constData(), stats, 0.1);
    return 0;
}
