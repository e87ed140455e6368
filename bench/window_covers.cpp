// Benchmark: what covers cost a window. The files of one folder are analysed by the batch
// engine as a main window analyses them (its threading mode and analysis options, from the
// settings store), once with cover pictures and once without, best of a few runs each.
// Used by bench/run.
//
//   window_covers FOLDER [runs, default 3]
//   prints "covers_on_s=A covers_off_s=B files=N"
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <algorithm>
#include <cstdio>

#include "batch/CoreSetup.h"
#include "batch/DataCacher.h"
#include "filelist/FilelistFiller.h"
#include "model/Keys.h"
#include "model/Settings.h"

using namespace perspix;

namespace {

class Run : public DataCacherDelegate
{
public:
    double seconds(const Filelist& items, const QVariantMap& options, quint32 mode)
    {
        m_left = items.size();
        DataCacher cacher;
        cacher.setMTMode(mode);
        cacher.setDelegate(this);
        cacher.setOptionsProvider([options] { return options; });
        QElapsedTimer timer;
        timer.start();
        cacher.processFiles(items);
        if (m_left > 0)
            m_loop.exec();
        const double elapsed = static_cast<double>(timer.nsecsElapsed()) / 1e9;
        cacher.setDelegate(nullptr);
        cacher.cancelThreadsAndWait();
        return elapsed;
    }

    void dataCacherNewObjectReady(const CacherResult&) override
    {
        if (--m_left == 0)
            m_loop.quit();
    }

private:
    QEventLoop m_loop;
    qsizetype m_left = 0;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    setupCore();
    if (argc < 2) {
        std::fprintf(stderr, "usage: window_covers FOLDER [runs]\n");
        return 2;
    }
    const int runs = std::max(1, argc > 2 ? std::atoi(argv[2]) : 3);
    const Filelist items =
        FilelistFiller::fillerWithPaths({QDir(QString::fromLocal8Bit(argv[1])).absolutePath()})
            .filelist();
    Settings::registerDefaults();
    const Settings settings;
    const auto mode = quint32(settings.intValue(prefs::kMTMode));
    // As the window asks: covers that need a full decode are left to be made when shown.
    QVariantMap withCovers = settings.analysisOptions();
    withCovers.insert(keys::kOptMakeFilmFrames, true);
    withCovers.insert(keys::kOptDeferSlowCovers, true);
    QVariantMap withoutCovers = withCovers;
    withoutCovers.insert(keys::kOptSkipCoverPictures, true);

    Run run;
    run.seconds(items, withCovers, mode); // page cache and the libraries' first-use tables
    double on = 1e9;
    double off = 1e9;
    for (int i = 0; i < runs; ++i) {
        on = std::min(on, run.seconds(items, withCovers, mode));
        off = std::min(off, run.seconds(items, withoutCovers, mode));
    }
    std::printf("covers_on_s=%.3f covers_off_s=%.3f files=%lld\n", on, off,
                static_cast<long long>(items.size()));
    return 0;
}
