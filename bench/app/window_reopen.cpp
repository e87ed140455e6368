// How long a main window takes to show a folder of analysed files again: a first window
// analyses 2,000 hard links to the samples of tests/data into a result store of its own and
// is closed; a second window opens the same folder, timed until every row is filled.
// Target: at most 0.5 s. Runs offscreen: build/default/bench/window_reopen [N]
#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <unistd.h>

#include "app/AppController.h"
#include "app/mainwindow/MainView.h"
#include "app/mainwindow/MainWindowController.h"
#include "batch/WindowWorker.h"

using namespace perspix;

namespace {
constexpr double kTargetSeconds = 0.5;

bool makeCorpus(const QString& folder, int count)
{
    QStringList samples;
    for (const char* kind : {"media", "audio", "images", "raw"}) {
        QDirIterator it(QDir(QStringLiteral(PERSPIX_TEST_DATA)).filePath(QLatin1String(kind)),
                        QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext())
            samples.append(it.next());
    }
    std::sort(samples.begin(), samples.end());
    if (samples.isEmpty())
        return false;
    for (int i = 0; i < count; ++i) {
        const QString& source = samples[i % samples.size()];
        const QString linked = QDir(folder).filePath(
            QStringLiteral("%1.%2").arg(i, 5, 10, QLatin1Char('0')).arg(QFileInfo(source).suffix()));
        if (::link(QFile::encodeName(source).constData(), QFile::encodeName(linked).constData()) !=
                0 &&
            !QFile::copy(source, linked))
            return false;
    }
    return true;
}

// Opens the folder in a new window and runs the event loop until every file is answered:
// the seconds it took.
double openUntilFilled(QApplication& app, const QString& folder, int count)
{
    MainWindowController* window = AppController::instance().showNewWindowForFiles({});
    window->resize(1200, 760);
    const QPointer<MainWindowController> guard(window);
    QElapsedTimer clock;
    double seconds = -1;
    QTimer::singleShot(0, [&] {
        clock.start();
        window->myView()->processFiles({QUrl::fromLocalFile(folder)});
    });
    QTimer poll;
    poll.setInterval(2);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (clock.isValid() && window->worker()->processingIsDone() &&
            window->worker()->countToProcess() == count) {
            seconds = double(clock.nsecsElapsed()) / 1e9;
            poll.stop();
            app.quit();
        }
    });
    poll.start();
    app.exec();
    if (guard)
        window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return seconds;
}
} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    // A result store of its own, empty before the first window.
    qputenv("XDG_CACHE_HOME", QFile::encodeName(config.path() + QStringLiteral("/cache")));
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    const int count = argc > 1 ? std::max(10, atoi(argv[1])) : 2000;

    QTemporaryDir corpus;
    if (!makeCorpus(corpus.path(), count)) {
        std::fprintf(stderr, "could not make the corpus in %s\n", qPrintable(corpus.path()));
        return 1;
    }
    const double first = openUntilFilled(app, corpus.path(), count);
    const double again = openUntilFilled(app, corpus.path(), count);
    std::printf("window, %d files: first open %.2f s, reopened %.2f s (target <= %.1f s: %s)\n",
                count, first, again, kTargetSeconds,
                again >= 0 && again <= kTargetSeconds ? "met" : "missed");
    std::fflush(stdout);
    return 0;
}
