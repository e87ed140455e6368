// A main window's comparison, statistics and map commands (see MainWindowViews.h).
#include "app/mainwindow/MainWindowViews.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include "app/comparison/ComparisonController.h"
#include "app/comparison/ComparisonWindowController.h"
#include "app/mainwindow/ExtTreeModel.h"
#include "app/mainwindow/ExtendedOutline.h"
#include "app/mainwindow/MainView.h"
#include "app/mainwindow/MainWindowController.h"
#include "app/map/MapWindowController.h"
#include "app/packets/BitrateWindow.h"
#include "app/privacy/PrivacyWindowController.h"
#include "app/comparison/ParameterStatisticsController.h"
#include "app/WindowInfo.h"

namespace perspix {

void MainWindowViews::attach(MainWindowController* window)
{
    auto* tab = new ComparisonController(ComparisonController::Kind::Tab);
    window->setComparisonPage(tab);
    QObject::connect(window, &MainWindowController::tabChanged, tab, [window, tab](int index) {
        if (index == MainWindowController::ComparisonTab)
            updateComparisonView(window);
        else
            tab->hideControls();
    });
    QObject::connect(window->myView(), &MainView::arrangedFilelistChanged, tab, [window] {
        if (window->currentTab() == MainWindowController::ComparisonTab)
            updateComparisonView(window);
    });

    QMenu* tools = new QMenu(QObject::tr("&Tools"), window);
    QAction* compare = tools->addAction(QObject::tr("&Compare"), window, [window] {
        if (!window->myView()->canExportAll())
            return;
        ComparisonWindowController::prepareAndShowGeneralComparisonWithPerspixDataArray(
            window->myView()->filesForComparison());
    });
    compare->setShortcut(QKeySequence(QObject::tr("Ctrl+Shift+K")));
    compare->setObjectName(QStringLiteral("compareAction"));
    QAction* compareExtended = tools->addAction(QObject::tr("Compare &Extended"), window, [window] {
        if (!window->myView()->canExportAll())
            return;
        ComparisonWindowController::prepareAndShowExtendedComparisonWithPerspixDataArray(
            window->myView()->filesForComparison());
    });
    compareExtended->setShortcut(QKeySequence(QObject::tr("Ctrl+Alt+K")));
    compareExtended->setObjectName(QStringLiteral("compareExtendedAction"));
    tools->addSeparator();
    QAction* statistics = tools->addAction(QObject::tr("&Statistics"), window, [] {
        ParameterStatisticsController::sharedInstance().prepareAndShow();
    });
    statistics->setShortcut(QKeySequence(QObject::tr("Ctrl+I")));
    QAction* map = tools->addAction(QObject::tr("&Map"), window, [] {
        MapWindowController::sharedInstance().showSharedMapWindow();
    });
    map->setShortcut(QKeySequence(QObject::tr("Ctrl+Shift+M")));
    tools->addAction(QObject::tr("&Privacy Report"), window, [] {
        PrivacyWindowController::sharedInstance().showSharedPrivacyWindow();
    });
    QAction* bitrate = tools->addAction(QObject::tr("&Bitrate and Frames"), window, [window] {
        if (const FilelistItemPtr item = window->myView()->currentFile())
            BitrateWindow::showForFile(item->filename());
    });
    bitrate->setShortcut(QKeySequence(QObject::tr("Ctrl+Shift+B")));
    bitrate->setObjectName(QStringLiteral("bitrateAction"));
    for (QAction* action : tools->actions())
        window->addAction(action);
    // A comparison needs every listed file analysed; the shortcuts follow the menu items.
    const auto updateCompare = [window, compare, compareExtended] {
        const bool possible = window->myView()->canExportAll();
        compare->setEnabled(possible);
        compareExtended->setEnabled(possible);
    };
    QObject::connect(tools, &QMenu::aboutToShow, window, updateCompare);
    QObject::connect(window->myView(), &MainView::arrangedFilelistChanged, window, updateCompare);
    QObject::connect(window->myView(), &MainView::progressChanged, window, updateCompare);
    updateCompare();

    // Before the Window menu, as desktop programs order them.
    QMenuBar* bar = window->menuBar();
    QAction* before = nullptr;
    const QList<QAction*> menus = bar->actions();
    if (menus.size() >= 2)
        before = menus[menus.size() - 2];
    bar->insertMenu(before, tools);
}

void MainWindowViews::updateComparisonView(MainWindowController* window)
{
    ComparisonController* tab = WindowInfo::comparisonControllerOf(window);
    if (!tab)
        return;
    const ComparisonResult result =
        ComparisonAssistant::prepareExtendedComparisonWithPerspixDataArray(
            window->myView()->filesForComparison());
    tab->setContent(result.content, result.descr);
}

void MainWindowViews::copyComparisonRows(MainWindowController* window)
{
    if (ComparisonController* tab = WindowInfo::comparisonControllerOf(window))
        tab->copyHandler(-1);
}

bool MainWindowViews::exportComparison(MainWindowController* window)
{
    if (!window || window->currentTab() != MainWindowController::ComparisonTab)
        return false;
    ComparisonController* tab = WindowInfo::comparisonControllerOf(window);
    if (!tab || tab->content().isEmpty())
        return false;
    ComparisonExportWinController::openPanelForWindow(window, tab);
    return true;
}

bool MainWindowViews::showLocationOfCurrentFile(MainWindowController* window)
{
    const std::optional<MapLocationRecord> record = WindowInfo::mapLocationInfo(window);
    if (!record)
        return false;
    MapWindowController::sharedInstance().showSharedMapWindowAndCenterLocationDict(*record);
    return true;
}

bool MainWindowViews::canShowStatisticsForRow(MainWindowController* window,
                                              const QModelIndex& clicked)
{
    if (!window || !clicked.isValid() || !window->myView()->canExportAll())
        return false;
    ExtendedOutline* outline = window->myView()->outline();
    const QModelIndexList selected = outline->selectionModel()->selectedRows();
    if (selected.size() > 1 &&
        outline->selectionModel()->isRowSelected(clicked.row(), clicked.parent()))
        return false;
    const QModelIndex row = clicked.siblingAtColumn(0);
    const ExtTreeItemPtr item = outline->treeModel()->itemForIndex(row);
    if (!item || item->stringValue().isEmpty())
        return false;
    return outline->treeModel()->levelOfIndex(row) <= 1;
}

void MainWindowViews::addOutlineCommands(MainWindowController* window, QMenu* menu,
                                         const QModelIndex& clicked)
{
    menu->addSeparator();
    QAction* statistics = menu->addAction(QObject::tr("Statistics of This Parameter"));
    statistics->setEnabled(canShowStatisticsForRow(window, clicked));
    const QPersistentModelIndex row(clicked.siblingAtColumn(0));
    QObject::connect(statistics, &QAction::triggered, window, [window, row] {
        if (!row.isValid())
            return;
        MainView* view = window->myView();
        // Counted over the whole list, not only the files the filters show.
        ParameterStatisticsController::showForNode(row, view->filelist(), view->cacher());
    });
}

} // namespace perspix
