// A main window with real files: tabs and the sidebar's choices, the extended outline's
// remembered groups across files, the title, and closing while the analysis runs.
#include <QHeaderView>
#include <QSplitter>

#include "AppTestSupport.h"
#include "app/AppController.h"
#include "app/mainwindow/ArrangedFilelistModel.h"
#include "app/mainwindow/ExtTreeModel.h"
#include "app/mainwindow/ExtendedOutline.h"
#include "app/mainwindow/ExtendedOutlineDelegate.h"
#include "app/mainwindow/GeneralView.h"
#include "app/mainwindow/MainView.h"
#include "app/mainwindow/MainWindowController.h"
#include "batch/WindowWorker.h"
#include "model/Settings.h"

using namespace perspix;
using namespace perspix::apptest;

namespace {

MainWindowController* openWindow(const QList<QUrl>& urls)
{
    MainWindowController* window = AppController::instance().showNewWindowForFiles(urls);
    if (!urls.isEmpty())
        window->processUrls(urls);
    return window;
}

bool waitUntilShown(MainWindowController* window)
{
    return waitFor([window] {
        return window->worker()->processingIsDone() && window->myView()->currentData() &&
               window->myView()->outline()->treeModel()->rowCount() > 0;
    });
}

QStringList openGroups(ExtendedOutline* outline)
{
    QStringList open;
    ExtTreeModel* model = outline->treeModel();
    for (int row = 0; row < model->rowCount(); ++row)
        if (outline->isExpanded(model->index(row, 0)))
            open.append(model->itemForIndex(model->index(row, 0))->key());
    return open;
}

QStringList allGroups(ExtendedOutline* outline)
{
    QStringList ids;
    ExtTreeModel* model = outline->treeModel();
    for (int row = 0; row < model->rowCount(); ++row)
        ids.append(model->itemForIndex(model->index(row, 0))->key());
    return ids;
}

// The first top-level group of a section.
QModelIndex groupWithId(ExtendedOutline* outline, const QString& key)
{
    ExtTreeModel* model = outline->treeModel();
    for (int row = 0; row < model->rowCount(); ++row)
        if (model->itemForIndex(model->index(row, 0))->key() == key)
            return model->index(row, 0);
    return {};
}

void clickArrow(ExtendedOutline* outline, const QModelIndex& index, Qt::KeyboardModifiers mods)
{
    outline->scrollTo(index);
    const QRect rect = outline->visualRect(index);
    QTest::mouseClick(outline->viewport(), Qt::LeftButton, mods,
                      QPoint(rect.left() - outline->indentation() / 2, rect.center().y()));
}

void closeAll()
{
    for (MainWindowController* window : AppController::instance().windows())
        window->close();
    QTest::qWait(20);
}

} // namespace

class MainWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { closeAll(); }

    void freshStoreOpensOnFirstTabWithDefaults()
    {
        Settings ud;
        QCOMPARE(ud.tabForNewWindow(), 0);
        QCOMPARE(ud.realValue(prefs::kSidebarWidth), 160.0);
        QVERIFY(ud.boolValue(prefs::kWrapLongLines));
        QVERIFY(ud.boolValue(prefs::kUseSIUnits));

        MainWindowController* window = openWindow({});
        QCOMPARE(window->currentTab(), int(MainWindowController::GeneralTab));
        QVERIFY(window->isSidebarVisible());
        // Wide enough for typical names until the user sets a width, which is kept.
        QVERIFY(window->fittingSidebarWidth() > 160);
        QCOMPARE(window->sidebarWidth(), window->fittingSidebarWidth());
        auto* splitter = window->findChild<QSplitter*>();
        splitter->setSizes({300, splitter->width() - 300 - splitter->handleWidth()});
        emit splitter->splitterMoved(300, 1);
        QCOMPARE(ud.realValue(prefs::kSidebarWidth), 300.0);
        // An empty window invites files instead of showing empty tabs.
        QVERIFY(window->isShowingDropTarget());
        QVERIFY(window->myView()->outline()->wordWrap());
        QCOMPARE(window->windowTitle(), QStringLiteral("Perspix"));
        QVERIFY(window->width() <= 1280 && window->height() <= 800);

        // openTab 3 opens on tab index 2 whatever lastTab holds.
        ud.setValue(prefs::kOpenTab, 3);
        ud.setValue(prefs::kLastTab, 1);
        MainWindowController* second = openWindow({});
        QCOMPARE(second->currentTab(), int(MainWindowController::ComparisonTab));
        ud.setValue(prefs::kOpenTab, 0);
        second->setCurrentTab(MainWindowController::ExtendedTab);
        second->close();
        QCOMPARE(ud.intValue(prefs::kLastTab), 1);
        MainWindowController* third = openWindow({});
        QCOMPARE(third->currentTab(), int(MainWindowController::ExtendedTab));
        third->setCurrentTab(MainWindowController::GeneralTab);
        third->close();
    }

    void tabsAndTheComparisonTabsOwnSidebarChoice()
    {
        MainWindowController* window = openWindow({});
        QVERIFY(window->isSidebarVisible());
        // The comparison tab starts without the sidebar; the information tabs keep theirs.
        window->setCurrentTab(MainWindowController::ComparisonTab);
        QVERIFY(!window->isSidebarVisible());
        window->toggleSidebar();
        QVERIFY(window->isSidebarVisible());
        window->setCurrentTab(MainWindowController::GeneralTab);
        QVERIFY(window->isSidebarVisible());

        // Collapsed on an information tab: the comparison tab keeps it collapsed, and leaving
        // it restores the information tabs' own choice.
        window->toggleSidebar();
        QVERIFY(!window->isSidebarVisible());
        window->setCurrentTab(MainWindowController::ComparisonTab);
        QVERIFY(!window->isSidebarVisible());
        window->toggleSidebar();
        window->setCurrentTab(MainWindowController::ExtendedTab);
        QVERIFY(!window->isSidebarVisible());
        // Collapsed on the information tabs: the comparison tab follows.
        window->setCurrentTab(MainWindowController::ComparisonTab);
        QVERIFY(!window->isSidebarVisible());

        window->setCurrentTab(7);
        QCOMPARE(window->currentTab(), int(MainWindowController::GeneralTab));
        QVERIFY(!window->isSidebarVisible());
        window->close();
        QVERIFY(Settings().boolValue(prefs::kSidebarIsHidden));
        Settings().setValue(prefs::kSidebarIsHidden, false);

        // Closing on the comparison tab stores the information tabs' choice.
        MainWindowController* other = openWindow({});
        other->setCurrentTab(MainWindowController::ComparisonTab);
        QVERIFY(!other->isSidebarVisible());
        other->close();
        QVERIFY(!Settings().boolValue(prefs::kSidebarIsHidden));
    }

    void collapsedVideoStaysCollapsedForTheNextFile()
    {
        SampleFolder folder;
        folder.add(QStringLiteral("media/nyc.mp4"), QStringLiteral("a.mp4"));
        folder.add(QStringLiteral("media/paris.mp4"), QStringLiteral("b.mp4"));
        MainWindowController* window = openWindow({folder.url()});
        window->setCurrentTab(MainWindowController::ExtendedTab);
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QVERIFY(waitUntilShown(window));
        QVERIFY(!window->isShowingDropTarget());
        ExtendedOutline* outline = window->myView()->outline();
        QVERIFY(allGroups(outline).contains(QStringLiteral("Video")));
        QCOMPARE(openGroups(outline), allGroups(outline));

        clickArrow(outline, groupWithId(outline, QStringLiteral("Video")), Qt::NoModifier);
        QVERIFY(!outline->isExpanded(groupWithId(outline, QStringLiteral("Video"))));

        window->myView()->selectRow(1);
        QVERIFY(waitFor([&] {
            return window->worker()->currentFile()->prefixedPath() == QStringLiteral("b.mp4") &&
                   outline->treeModel()->rowCount() > 0;
        }));
        QStringList expected = allGroups(outline);
        expected.removeAll(QStringLiteral("Video"));
        QCOMPARE(openGroups(outline), expected);
        QVERIFY(allGroups(outline).contains(QStringLiteral("Video")));
        QCOMPARE(window->windowTitle(), QStringLiteral("b.mp4"));
    }

    void ctrlClickCollapseAllThenContainerOnly()
    {
        SampleFolder folder;
        folder.add(QStringLiteral("media/nyc.mp4"), QStringLiteral("a.mp4"));
        folder.add(QStringLiteral("media/multi.mkv"), QStringLiteral("b.mkv"));
        MainWindowController* window = openWindow({folder.url()});
        window->setCurrentTab(MainWindowController::ExtendedTab);
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QVERIFY(waitUntilShown(window));
        ExtendedOutline* outline = window->myView()->outline();

        clickArrow(outline, groupWithId(outline, QStringLiteral("Video")), Qt::ControlModifier);
        QVERIFY(waitFor([&] { return openGroups(outline).isEmpty(); }, 2000));
        clickArrow(outline, groupWithId(outline, QStringLiteral("Container")), Qt::NoModifier);
        QCOMPARE(openGroups(outline), QStringList({QStringLiteral("Container")}));

        window->myView()->selectRow(1);
        QVERIFY(waitFor([&] {
            return window->worker()->currentFile()->prefixedPath() == QStringLiteral("b.mkv") &&
                   outline->treeModel()->rowCount() > 0;
        }));
        QVERIFY(allGroups(outline).size() > 2);
        QCOMPARE(openGroups(outline), QStringList({QStringLiteral("Container")}));
    }

    void streamLineDoubleClickSelectsItsGroup()
    {
        SampleFolder folder;
        const QString film = folder.add(QStringLiteral("media/multi.mkv"), QStringLiteral("m.mkv"));
        MainWindowController* window = openWindow({QUrl::fromLocalFile(film)});
        window->setCurrentTab(MainWindowController::GeneralTab);
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QVERIFY(waitUntilShown(window));
        MainView* view = window->myView();
        QTreeView* streams = view->generalView()->streamList();
        ExtTreeModel* lines = view->generalView()->streamModel();
        // The last audio line: its group among the groups of the same kind.
        QModelIndex last;
        for (int row = 0; row < lines->rowCount(); ++row)
            if (lines->itemForIndex(lines->index(row, 0))->key() == QStringLiteral("Audio"))
                last = lines->index(row, 0);
        QVERIFY(last.isValid());
        const ExtTreeItemPtr line = lines->itemForIndex(last);
        QVERIFY(line && line->isMediaStream());
        streams->scrollTo(last);
        QCoreApplication::processEvents();
        QTRY_VERIFY(streams->viewport()->rect().contains(streams->visualRect(last).center()));
        // A double-click is a press, a release and the second press.
        QTest::mouseClick(streams->viewport(), Qt::LeftButton, {},
                          streams->visualRect(last).center());
        QTest::mouseDClick(streams->viewport(), Qt::LeftButton, {},
                           streams->visualRect(last).center());
        QTRY_COMPARE(window->currentTab(), int(MainWindowController::ExtendedTab));
        const QModelIndex selected = view->outline()->currentIndex();
        const ExtTreeItemPtr group = view->outline()->treeModel()->itemForIndex(selected);
        QVERIFY2(group, qPrintable(line->key() + QString::number(line->mediaStreamIndex())));
        QCOMPARE(group->key(), line->key());
        QVERIFY(!selected.parent().isValid());
        // It is the group of the same kind at the line's position among that kind.
        quint64 before = 0;
        for (int row = 0; row < selected.row(); ++row)
            if (view->outline()
                    ->treeModel()
                    ->itemForIndex(view->outline()->treeModel()->index(row, 0))
                    ->key() == line->key())
                ++before;
        QCOMPARE(before, line->mediaStreamIndex());
    }
};

PERSPIX_APP_TEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
