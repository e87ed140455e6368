// Screenshots of the windows (see ScreenshotMode.h).
#include "app/screenshots/ScreenshotMode.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include "app/AppController.h"
#include "app/mainwindow/ArrangedFilelistModel.h"
#include "app/screenshots/CommandScreenshots.h"
#include "app/mainwindow/MainView.h"
#include "app/mainwindow/MainWindowController.h"
#include "app/preview/QuickInfoWindow.h"
#include "app/screenshots/ViewsScreenshots.h"
#include "batch/WindowWorker.h"
#include "model/Log.h"

namespace perspix {

void screenshotSettle(int ms)
{
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
}

bool saveScreenshot(QWidget* widget, const QDir& dir, const QString& name)
{
    const QString path = dir.filePath(name);
    if (!widget->grab().save(path)) {
        logLine(QStringLiteral("Failed to write %1").arg(path));
        return false;
    }
    logLine(QStringLiteral("Wrote %1").arg(path));
    return true;
}

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
        screenshotSettle(50);
    screenshotSettle(300);

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
    screenshotSettle(300);

    bool ok = true;
    window->setCurrentTab(MainWindowController::GeneralTab);
    screenshotSettle(300);
    ok &= saveScreenshot(window, dir, QStringLiteral("general.png"));
    window->setCurrentTab(MainWindowController::ExtendedTab);
    screenshotSettle(300);
    ok &= saveScreenshot(window, dir, QStringLiteral("extended.png"));

    window->setCurrentTab(MainWindowController::GeneralTab);
    screenshotSettle(200);
    ok &= saveCommandScreenshots(window, dir);

    if (const FilelistItemPtr item = view->currentFile()) {
        const QList<QuickInfoWindow*> quick =
            app.doQuickInfoWindow({QUrl::fromLocalFile(item->filename())});
        screenshotSettle(300);
        for (QuickInfoWindow* info : quick) {
            ok &= saveScreenshot(info, dir, QStringLiteral("quickinfo.png"));
            info->close();
        }
    }
    ok &= saveViewsScreenshots(window, dir);
    window->close();
    screenshotSettle(100);

    // A new window before any file: its drop target.
    MainWindowController* empty = app.showNewWindowForFiles({});
    empty->resize(900, 560);
    screenshotSettle(300);
    ok &= saveScreenshot(empty, dir, QStringLiteral("empty-window.png"));
    empty->close();
    screenshotSettle(100);
    return ok ? 0 : 1;
}

} // namespace perspix
