// The application object's routing of files (idle key window, new windows, the sidebar for a
// single file, quick-info windows), its start-up window, the single-instance hand-over and
// the preferences window.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTabWidget>
#include <thread>

#include "AppTestSupport.h"
#include "app/AppController.h"
#include "app/PreferencesWindow.h"
#include "app/comparison/ComparisonTableView.h"
#include "app/mainwindow/ExtTreeModel.h"
#include "app/mainwindow/ExtendedOutline.h"
#include "app/mainwindow/MainView.h"
#include "app/mainwindow/MainWindowController.h"
#include "app/platform/SingleInstance.h"
#include "app/preview/QuickInfoWindow.h"
#include "batch/WindowWorker.h"
#include "model/Settings.h"

using namespace perspix;
using namespace perspix::apptest;

namespace {

void closeAll()
{
    for (MainWindowController* window : AppController::instance().windows())
        window->close();
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (qobject_cast<QuickInfoWindow*>(widget))
            widget->close();
    QTest::qWait(20);
}

QList<QuickInfoWindow*> quickInfoWindows()
{
    QList<QuickInfoWindow*> windows;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* window = qobject_cast<QuickInfoWindow*>(widget); window && window->isVisible())
            windows.append(window);
    return windows;
}

} // namespace

class AppControllerTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { closeAll(); }

    // Runs first: the application has not been active yet.
    void becomingActiveOpensOneWindowOnlyTheFirstTime()
    {
        AppController& app = AppController::instance();
        QVERIFY(!app.wasActiveAfterStart());
        app.applicationWillBecomeActive();
        QCOMPARE(app.windows().size(), 1);
        app.applicationWillBecomeActive();
        QCOMPARE(app.windows().size(), 1);
        closeAll();
        QVERIFY(app.windows().isEmpty());
        app.applicationWillBecomeActive();
        QVERIFY(app.windows().isEmpty());
        // Asked to show itself again with nothing shown: one empty window.
        app.handOver({}, false);
        QCOMPARE(app.windows().size(), 1);
    }

    void idleKeyWindowIsReusedBusyOneIsNot()
    {
        AppController& app = AppController::instance();
        MainWindowController* idle = app.showNewWindowForFiles({});
        idle->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(idle));
        QCOMPARE(app.keyMainWindow(), idle);

        app.openFiles({dataPath(QStringLiteral("audio/song.mp3"))});
        QCOMPARE(app.windows().size(), 1);
        QVERIFY(waitFor([idle] { return idle->worker()->processingIsDone(); }));
        QCOMPARE(idle->myView()->filelist().size(), 1);
        QVERIFY(!app.launchWithFile());

        // The key window has analysed something: a new window takes the files.
        app.openFiles({dataPath(QStringLiteral("audio/tone.flac"))});
        QCOMPARE(app.windows().size(), 2);
        QCOMPARE(idle->myView()->filelist().size(), 1);
        MainWindowController* second = app.windows().last();
        QVERIFY(waitFor([second] { return second->myView()->filelist().size() == 1; }));
    }

    void oneFileAtLaunchHidesTheSidebarTwoShowIt()
    {
        AppController& app = AppController::instance();
        app.openFiles({dataPath(QStringLiteral("audio/song.mp3"))});
        QCOMPARE(app.windows().size(), 1);
        QVERIFY(!app.windows().first()->isSidebarVisible());
        // Hiding it for a single file is not the user's choice: the store keeps its own.
        QVERIFY(!Settings().boolValue(prefs::kSidebarIsHidden));
        closeAll();

        // One folder becomes a list: the list shows.
        app.openFiles({dataPath(QStringLiteral("audio"))});
        QCOMPARE(app.windows().size(), 1);
        QVERIFY(app.windows().first()->isSidebarVisible());
        closeAll();

        app.openFiles({dataPath(QStringLiteral("audio/song.mp3")),
                       dataPath(QStringLiteral("audio/tone.flac"))});
        QCOMPARE(app.windows().size(), 1);
        QVERIFY(app.windows().first()->isSidebarVisible());
        QVERIFY(waitFor([&] { return app.windows().first()->myView()->filelist().size() == 2; }));
    }

    void quickInfoOpensOneWindowPerFile()
    {
        AppController& app = AppController::instance();
        Settings ud;
        ud.setValue(prefs::kUseQuickInfoService, true);
        const QStringList files = {dataPath(QStringLiteral("media/nyc.mp4")),
                                   dataPath(QStringLiteral("audio/song.mp3")),
                                   dataPath(QStringLiteral("README.md")) + QStringLiteral(".gone")};
        app.identifyService(files);
        QVERIFY(app.windows().isEmpty());
        const QList<QuickInfoWindow*> windows = quickInfoWindows();
        QCOMPARE(windows.size(), 3);
        QStringList titles;
        for (QuickInfoWindow* window : windows) {
            titles.append(window->windowTitle());
            if (window->windowFilePath() == files[2])
                QCOMPARE(window->outline()->treeModel()->rowCount(), 0);
            else
                QVERIFY2(window->outline()->treeModel()->rowCount() >= 2,
                         qPrintable(window->windowFilePath()));
        }
        titles.sort();
        QCOMPARE(titles, QStringList({QStringLiteral("README.md.gone"), QStringLiteral("nyc.mp4"),
                                      QStringLiteral("song.mp3")}));
        QVERIFY(!app.launchWithFile());

        // With the setting off the same hand-over opens one main window.
        closeAll();
        ud.setValue(prefs::kUseQuickInfoService, false);
        app.handOver(files.mid(0, 2), true);
        QCOMPARE(app.windows().size(), 1);
        QVERIFY(quickInfoWindows().isEmpty());
    }

    void quickInfoUsesTheFourSwitchesOnly()
    {
        Settings ud;
        ud.setValue(prefs::kUseSIUnits, false);
        ud.setValue(prefs::kVideoUtility, QStringLiteral("exiftool"));
        QuickInfoWindow window;
        const QVariantMap options = window.analysisOptions();
        QCOMPARE(options.value(QStringLiteral("useSIUnits")), QVariant(false));
        QVERIFY(options.contains(QStringLiteral("computeFileHashes")));
        QVERIFY(!options.contains(QStringLiteral("videoUtility")));
        QVERIFY(!options.contains(QStringLiteral("skipExtAttributes")));
        ud.remove(prefs::kUseSIUnits);
        ud.remove(prefs::kVideoUtility);
    }

    void secondLaunchHandsItsFilesOver()
    {
        const QString name =
            QStringLiteral("perspix-test-%1").arg(QCoreApplication::applicationPid());
        SingleInstance first(name);
        SingleInstance second(name);
        QVERIFY(!second.sendToRunning({QStringLiteral("/x")}, false, 300));
        QVERIFY(first.listen());
        QSignalSpy received(&first, &SingleInstance::filesReceived);

        const QStringList paths = {QStringLiteral("/tmp/a b.mp4"), QStringLiteral("/tmp/Été.mov")};
        bool sent = false;
        // The client blocks while the server needs the event loop: send from a thread.
        std::thread client([&] { sent = second.sendToRunning(paths, true); });
        QVERIFY(received.wait(5000));
        client.join();
        QVERIFY(sent);
        QCOMPARE(received.first().at(0).toStringList(), paths);
        QCOMPARE(received.first().at(1).toBool(), true);

        QStringList decoded;
        bool quick = false;
        QVERIFY(!SingleInstance::decode("{\"paths\": [1, 2]}", decoded, quick));
        QVERIFY(!SingleInstance::decode("not json", decoded, quick));
        QVERIFY(SingleInstance::decode(SingleInstance::encode({}, false), decoded, quick));
        QVERIFY(decoded.isEmpty());
    }

    void preferencesWriteTheStoreAndRewrapWindows()
    {
        AppController& app = AppController::instance();
        MainWindowController* window = app.showNewWindowForFiles({});
        app.openPreferences();
        PreferencesWindow* prefsWindow = app.preferencesWindow();
        QVERIFY(prefsWindow);
        auto* wrap = qobject_cast<QCheckBox*>(prefsWindow->controlForKey(prefs::kWrapLongLines));
        QVERIFY(wrap && wrap->isChecked());
        wrap->setChecked(false);
        QVERIFY(!Settings().boolValue(prefs::kWrapLongLines));
        QVERIFY(!window->myView()->outline()->wordWrap());
        wrap->setChecked(true);
        QVERIFY(window->myView()->outline()->wordWrap());

        // The parameter font: one size for the outline and the comparison tables, applied to
        // the open windows at once.
        auto* fontSize = qobject_cast<QSpinBox*>(prefsWindow->controlForKey(prefs::kExtFontSize));
        QVERIFY(fontSize);
        auto* table = window->findChild<ComparisonTableView*>();
        QVERIFY(table);
        QCOMPARE(table->font().pointSizeF(), window->myView()->outline()->font().pointSizeF());
        fontSize->setValue(15);
        QCOMPARE(Settings().intValue(prefs::kExtFontSize), 15);
        QCOMPARE(window->myView()->outline()->font().pointSizeF(), 12.0);
        QCOMPARE(table->font().pointSizeF(), 12.0);
        Settings().remove(prefs::kExtFontSize);

        // Staying alive without windows needs a system tray to come back from; with none
        // (as here), closing the last window quits whatever the setting says.
        auto* quit = qobject_cast<QCheckBox*>(
            prefsWindow->controlForKey(prefs::kTerminateAppWhenAllWindowsClosed));
        QVERIFY(quit && !quit->isChecked());
        QVERIFY(QApplication::quitOnLastWindowClosed());
        QVERIFY(!app.keepsRunningWithoutWindows());
        quit->setChecked(true);
        QVERIFY(Settings().boolValue(prefs::kTerminateAppWhenAllWindowsClosed));
        QVERIFY(QApplication::quitOnLastWindowClosed());
        Settings().remove(prefs::kTerminateAppWhenAllWindowsClosed);

        auto* threads = qobject_cast<QComboBox*>(prefsWindow->controlForKey(prefs::kMTMode));
        threads->setCurrentIndex(threads->count() - 1);
        QCOMPARE(Settings().intValue(prefs::kMTMode), 256);
        Settings().remove(prefs::kMTMode);

        QCOMPARE(PreferencesWindow::versionsText(QStringLiteral("MediaInfoLib - v23.04"),
                                                 QStringLiteral("12.57")),
                 QStringLiteral("MediaInfoLib - v23.04, exiftool - v12.57"));
        // The one window is reused.
        app.openPreferences();
        QCOMPARE(app.preferencesWindow(), prefsWindow);
        prefsWindow->close();
        QVERIFY(waitFor([&] { return app.preferencesWindow() == nullptr; }, 2000));
    }

    void exportTypesInTheirOrder()
    {
        AppController& app = AppController::instance();
        QStringList ids;
        for (const ExportType& type : app.exportTypes())
            ids.append(type.id);
        QCOMPARE(ids, QStringList({QStringLiteral("txt"), QStringLiteral("html"),
                                   QStringLiteral("csv"), QStringLiteral("xml"),
                                   QStringLiteral("json"), QStringLiteral("plist")}));
        QCOMPARE(app.extensionForExportType(QStringLiteral("plist")), QStringLiteral("plist"));
        QVERIFY(!app.extensionForExportType(QStringLiteral("pdf")));
    }

    // Runs last: Quit ends the application's event loops.
    void quitWritesEverySettingOfTheClosingWindowsToDisk()
    {
        AppController& app = AppController::instance();
        MainWindowController* window = app.showNewWindowForFiles({});
        window->setCurrentTab(MainWindowController::CustomTab);
        window->toggleHideUnknownFiles();
        QAction* quit = nullptr;
        for (QAction* action : window->actions())
            if (action->menuRole() == QAction::QuitRole)
                quit = action;
        QVERIFY(quit);
        quit->trigger();
        QVERIFY(app.windows().isEmpty());

        // What is on disk, not what this process still holds in memory.
        QFile file(Settings().fileName());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString stored = QString::fromUtf8(file.readAll());
        QVERIFY2(stored.contains(QStringLiteral("lastTab=3")), qPrintable(stored));
        QVERIFY(stored.contains(QStringLiteral("hideUnknownFiles=true")));
        QVERIFY(stored.contains(QStringLiteral("windowFrame")));
    }
};

PERSPIX_APP_TEST_MAIN(AppControllerTest)
#include "AppControllerTest.moc"
