// Screenshots of the windows (see ScreenshotMode.h).
#include "app/ScreenshotMode.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include "app/AppController.h"
#include "app/ArrangedFilelistModel.h"
#include "app/MainView.h"
#include "app/MainWindowController.h"
#include "app/QuickInfoWindow.h"
#include "batch/WindowWorker.h"
#include "model/Log.h"

namespace perspix {

namespace {
void settle(int ms)
{
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
}

bool save(QWidget* widget, const QDir& dir, const QString& name)
{
    const QString path = dir.filePath(name);
    if (!widget->grab().save(path)) {
        logLine(QStringLiteral("Failed to write %1").arg(path));
        return false;
    }
    logLine(QStringLiteral("Wrote %1").arg(path));
    return true;
}
} // namespace

int runScreenshotMode(const QString& folder, const QStringList& paths)
{
    QDir dir(folder);
    if (!dir.mkpath(QStringLiteral("."))) {
        logLine(QStringLiteral("Can not make the folder %1").arg(folder));
        return 1;
    }
    AppController& app = AppController::instance();
    QList<QUrl> urls;
    for (const QString& path : paths)
        urls.append(QUrl::fromLocalFile(path));
    MainWindowController* window = app.showNewWindowForFiles(urls);
    window->resize(1200, 760);
    window->processUrls(urls);

    QDeadlineTimer deadline(120000);
    while (!deadline.hasExpired() &&
           !(window->worker()->processingIsDone() && window->worker()->countToProcess() > 0))
        settle(50);
    settle(300);

    // A film (with a sound track, with a cover) shows the most.
    MainView* view = window->myView();
    int chosen = 0;
    int best = -1;
    for (int row = 0; row < view->arrangedModel()->rowCount(); ++row) {
        const PerspixDataPtr data = view->arrangedModel()->itemAt(row)->data();
        if (!data || !data->generalInfo())
            continue;
        const int score = (data->isVideo() ? 4 : 0) + (data->isAudio() ? 1 : 0) +
                          (data->generalInfo()->contains(QStringLiteral("coverData")) ? 2 : 0);
        if (score > best) {
            best = score;
            chosen = row;
        }
    }
    view->selectRow(chosen);
    settle(300);

    bool ok = true;
    window->setCurrentTab(MainWindowController::GeneralTab);
    settle(300);
    ok &= save(window, dir, QStringLiteral("general.png"));
    window->setCurrentTab(MainWindowController::ExtendedTab);
    settle(300);
    ok &= save(window, dir, QStringLiteral("extended.png"));

    if (const FilelistItemPtr item = view->currentFile()) {
        const QList<QuickInfoWindow*> quick =
            app.doQuickInfoWindow({QUrl::fromLocalFile(item->filename())});
        settle(300);
        for (QuickInfoWindow* info : quick) {
            ok &= save(info, dir, QStringLiteral("quickinfo.png"));
            info->close();
        }
    }
    window->close();
    settle(100);
    return ok ? 0 : 1;
}

} // namespace perspix
