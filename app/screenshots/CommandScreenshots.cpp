// Screenshots of the command sheets and menus (see CommandScreenshots.h).
#include "app/screenshots/CommandScreenshots.h"
#include "app/screenshots/ScreenshotMode.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QMenu>
#include <QPainter>
#include <QScreen>
#include <QThread>

#include "app/commands/ExportSheet.h"
#include "app/mainwindow/FilelistView.h"
#include "app/mainwindow/MainView.h"
#include "app/commands/MainWindowCommands.h"
#include "app/mainwindow/MainWindowController.h"
#include "app/platform/OpenWithMenu.h"
#include "app/preview/QuickLookWindow.h"
#include "app/commands/StripCommands.h"
#include "model/Log.h"

namespace perspix {

namespace {

// The window's area of the screen, with whatever shows over it.
bool saveScreenArea(QWidget* window, const QDir& dir, const QString& name)
{
    QScreen* screen = window->screen();
    const QRect area = window->frameGeometry();
    QPixmap shot =
        screen ? screen->grabWindow(0, area.x(), area.y(), area.width(), area.height()) : QPixmap();
    if (shot.isNull() || shot.toImage().allGray()) {
        // Offscreen there is no screen to grab: the window with the popup drawn over it.
        shot = window->grab();
        if (QWidget* popup = QApplication::activePopupWidget()
                                 ? QApplication::activePopupWidget()
                                 : QApplication::activeModalWidget()) {
            QPainter painter(&shot);
            painter.drawPixmap(window->mapFromGlobal(popup->mapToGlobal(QPoint(0, 0))),
                               popup->grab());
        }
    }
    // Without a window manager a sheet has no frame: outline it as a desktop would.
    if (QWidget* modal = QApplication::activeModalWidget(); modal && modal->isWindow()) {
        QPainter painter(&shot);
        painter.setPen(QPen(QColor(0, 0, 0, 110), 1));
        const QRect frame = modal->frameGeometry().translated(-area.topLeft());
        painter.drawRect(frame.adjusted(-1, -1, 0, 0));
        painter.setPen(QPen(QColor(0, 0, 0, 40), 3));
        painter.drawRect(frame.adjusted(-3, -3, 2, 2));
    }
    const QString path = dir.filePath(name);
    if (!shot.save(path)) {
        logLine(QStringLiteral("Failed to write %1").arg(path));
        return false;
    }
    logLine(QStringLiteral("Wrote %1").arg(path));
    return true;
}

} // namespace

bool saveCommandScreenshots(MainWindowController* window, const QDir& dir)
{
    MainWindowCommands* commands = MainWindowCommands::of(window);
    if (!commands)
        return false;
    bool ok = true;
    window->raise();
    window->activateWindow();
    screenshotSettle(200);

    if (ExportSheet* sheet = commands->exportFiles()) {
        screenshotSettle(400);
        ok &= saveScreenArea(window, dir, QStringLiteral("export-sheet.png"));
        sheet->reject();
        screenshotSettle(200);
    }

    if (QDialog* sheet = StripCommands::removeMetadata(window->myView(), window)) {
        screenshotSettle(400);
        ok &= saveScreenArea(window, dir, QStringLiteral("remove-metadata-sheet.png"));
        sheet->reject();
        screenshotSettle(200);
    }

    // The menu of the selected row, as a right-click shows it.
    FilelistView* list = window->myView()->filelistView();
    const int row = window->myView()->selectedRow();
    const QModelIndex index = list->model()->index(std::max(row, 0), 0);
    QMenu menu(window);
    window->fillFilelistMenu(&menu, index);
    QMenu* openWith = nullptr;
    for (QAction* action : menu.actions())
        if (action->menu())
            openWith = action->menu();
    const QRect rect = list->visualRect(index);
    menu.popup(list->viewport()->mapToGlobal(rect.center()));
    screenshotSettle(300);
    if (openWith) {
        for (QAction* action : menu.actions())
            if (action->menu() == openWith)
                menu.setActiveAction(action);
        screenshotSettle(200);
        openWith->popup(menu.mapToGlobal(menu.actionGeometry(menu.activeAction()).topRight()));
        screenshotSettle(400);
    }
    ok &= saveScreenArea(window, dir, QStringLiteral("open-with-menu.png"));
    if (openWith)
        openWith->close();
    menu.close();
    screenshotSettle(200);

    // Quick look on the first picture of the list.
    for (const FilelistItemPtr& item : window->myView()->arrangedFilelist()) {
        const PerspixDataPtr data = item->data();
        if (!data || !data->isImage())
            continue;
        QuickLookWindow& look = QuickLookWindow::instance();
        look.resize(640, 480);
        look.previewFile(item->filename(), window);
        screenshotSettle(400);
        ok &= saveScreenArea(&look, dir, QStringLiteral("quicklook.png"));
        look.closePreview();
        break;
    }
    return ok;
}

} // namespace perspix
