// How long the GUI's event loop stalls while a main window lists and analyses a folder of
// 10,000 files. A timer ticks every 5 ms on the main thread; the longest gap between two
// ticks (less the 5 ms) is the longest time the window could not answer the user. Every
// event the main thread handles is timed too, so that a stall is traced to its step (the
// receiver and the kind of event), or, when no step was long, to the machine's cores.
// Target: under 100 ms, and at most 16 KB resident per file. Runs offscreen, for 100,000
// files: nice build/default/bench/gui_event_loop_stall 100000
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMetaEnum>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <unistd.h>
#include <vector>

#include "app/AppController.h"
#include "app/mainwindow/ArrangedFilelistModel.h"
#include "app/mainwindow/MainView.h"
#include "app/mainwindow/MainWindowController.h"
#include "batch/WindowWorker.h"

using namespace perspix;

namespace {
constexpr int kTickMs = 5;
constexpr qint64 kTargetMs = 100;
constexpr double kTargetKbPerFile = 16;

// A step of the main thread: one event handed to its receiver, timed from outside.
struct Step
{
    qint64 ms = 0;
    qint64 endedAt = 0; // ms on the bench's clock
    QString what;
};

// Times every event that the main thread's loop hands over (not the ones sent from inside
// another), keeping the longest few.
class TimedApplication : public QApplication
{
public:
    using QApplication::QApplication;
    QElapsedTimer* clock = nullptr;
    std::vector<Step> longest; // the longest first

    bool notify(QObject* receiver, QEvent* event) override
    {
        if (m_depth > 0 || !clock || !clock->isValid())
            return QApplication::notify(receiver, event);
        ++m_depth;
        const int type = event->type();
        const qint64 started = clock->nsecsElapsed();
        const bool handled = QApplication::notify(receiver, event);
        const qint64 ms = (clock->nsecsElapsed() - started) / 1000000;
        --m_depth;
        if (ms >= 10 && (longest.size() < kKept || ms > longest.back().ms)) {
            const QMetaEnum types = QMetaEnum::fromType<QEvent::Type>();
            const char* typeName = types.valueToKey(type);
            Step step{ms, clock->elapsed(),
                      QStringLiteral("%1 to %2")
                          .arg(typeName ? QLatin1String(typeName) : QLatin1String("event"),
                               QLatin1String(receiver ? receiver->metaObject()->className()
                                                      : "nothing"))};
            longest.insert(std::upper_bound(longest.begin(), longest.end(), step,
                                            [](const Step& a, const Step& b) {
                                                return a.ms > b.ms;
                                            }),
                           step);
            if (longest.size() > kKept)
                longest.pop_back();
        }
        return handled;
    }

private:
    static constexpr size_t kKept = 5;
    int m_depth = 0;
};

// Hard links to a few real samples, so that 10,000 files cost no disk space; every tenth
// is an empty file that no reader opens.
// Resident memory of this process in KB, from /proc.
long residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

bool makeCorpus(const QString& folder, int count)
{
    const QStringList samples = {QStringLiteral("audio/tone.flac"),
                                 QStringLiteral("audio/song.mp3"), QStringLiteral("media/nyc.mp4"),
                                 QStringLiteral("audio/stereo.wav")};
    for (int i = 0; i < count; ++i) {
        const QString target =
            QDir(folder).filePath(QStringLiteral("file%1").arg(i, 5, 10, QLatin1Char('0')));
        if (i % 10 == 9) {
            QFile empty(target + QStringLiteral(".mp4"));
            if (!empty.open(QIODevice::WriteOnly))
                return false;
            continue;
        }
        const QString source =
            QDir(QStringLiteral(PERSPIX_TEST_DATA)).filePath(samples[i % samples.size()]);
        const QString linked = target + QLatin1Char('.') + QFileInfo(source).suffix();
        if (::link(QFile::encodeName(source).constData(), QFile::encodeName(linked).constData()) !=
                0 &&
            !QFile::copy(source, linked))
            return false;
    }
    return true;
}
} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    // An empty result store of its own: every file is analysed, none read back.
    qputenv("XDG_CACHE_HOME", QFile::encodeName(config.path() + QStringLiteral("/cache")));
    TimedApplication app(argc, argv);
    const int count = argc > 1 ? std::max(10, atoi(argv[1])) : 10000;

    QTemporaryDir corpus;
    if (!makeCorpus(corpus.path(), count)) {
        std::fprintf(stderr, "could not make the corpus in %s\n", qPrintable(corpus.path()));
        return 1;
    }

    AppController& controller = AppController::instance();
    MainWindowController* window = controller.showNewWindowForFiles({});
    window->resize(1200, 760);
    const QPointer<MainWindowController> guard(window);

    QElapsedTimer clock;
    app.clock = &clock;
    qint64 last = 0;
    qint64 longest = 0;
    qint64 longestAt = 0;
    QTimer ticker;
    ticker.setInterval(kTickMs);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        const qint64 gap = now - last - kTickMs;
        if (gap > longest) {
            longest = gap;
            longestAt = now;
        }
        last = now;
    });

    qint64 listed = 0;
    qint64 finished = 0;
    long residentBefore = 0;
    QTimer::singleShot(50, [&] {
        clock.start();
        last = 0;
        ticker.start();
        // The drop: a folder handed to the window.
        residentBefore = residentKb();
        QElapsedTimer listing;
        listing.start();
        window->myView()->processFiles({QUrl::fromLocalFile(corpus.path())});
        listed = listing.elapsed();
    });
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (clock.isValid() && window->worker()->processingIsDone() &&
            window->worker()->countToProcess() == count) {
            finished = clock.elapsed();
            poll.stop();
            ticker.stop();
            app.quit();
        }
    });
    poll.start();
    app.exec();
    app.clock = nullptr; // the clock goes before the application, which still has events

    const int rearranges = window->myView()->arrangedModel()->rearrangeCount();
    const long resident = residentKb();
    std::printf("files analysed                 %d in %.2f s (%.0f files/s)\n", count,
                double(finished) / 1000.0, finished > 0 ? count * 1000.0 / double(finished) : 0.0);
    std::printf("drop handled on main thread    %lld ms (listing runs beside it)\n", static_cast<long long>(listed));
    std::printf("longest event-loop stall       %lld ms at %.2f s (target < %lld ms: %s)\n",
                static_cast<long long>(longest), double(longestAt) / 1000.0,
                static_cast<long long>(kTargetMs), longest < kTargetMs ? "met" : "missed");
    for (const Step& step : app.longest)
        std::printf("  main-thread step             %lld ms, ended at %.2f s: %s\n",
                    static_cast<long long>(step.ms), double(step.endedAt) / 1000.0,
                    qPrintable(step.what));
    if (app.longest.empty() || app.longest.front().ms + 20 < longest)
        std::printf("  the longest stall is longer than any step: the main thread waited for "
                    "a core\n");
    std::printf("list rearranged                %d times for %d results\n", rearranges, count);
    // Per file: the whole resident memory over the files (the target), and what the list
    // added to the window's memory (which a small N shows better).
    std::printf("resident memory                %.1f MB, %.1f KB per file (target <= %.0f KB: %s); "
                "the list added %.1f KB per file\n",
                double(resident) / 1024.0, double(resident) / count, kTargetKbPerFile,
                double(resident) / count <= kTargetKbPerFile ? "met" : "missed",
                double(resident - residentBefore) / count);
    std::fflush(stdout);
    // Qt's quit closes (and so deletes) the window already.
    if (guard)
        window->close();
    return 0;
}
