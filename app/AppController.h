// The application's single entry point for everything that arrives from outside a window:
// start-up, files handed over by the system (command line, file manager, a second launch),
// the quick-info hand-over, and the application-wide commands. Owns the list of open main
// windows and routes each batch of files to one of them, to a new one, or to quick-info
// windows.
#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QUrl>
#include <optional>

class QSystemTrayIcon;

#include "model/Settings.h"

namespace perspix {

class MainView;
class MainWindowController;
class PreferencesWindow;
class QuickInfoWindow;

struct ExportType
{
    QString id;
    QString name;
    QString extension;
};

class AppController : public QObject
{
    Q_OBJECT
public:
    // The one instance; made on first use.
    static AppController& instance();

    // Registers the settings' defaults and sets up the libraries; before the first window.
    static void initialize();

    const QList<MainWindowController*>& windows() const { return m_windows; }
    bool launchWithFile() const { return m_launchWithFile; }
    bool wasActiveAfterStart() const { return m_wasActiveAfterStart; }

    // Export formats in the order the export dialog lists them.
    const QList<ExportType>& exportTypes() const { return m_exportTypes; }
    std::optional<QString> extensionForExportType(const QString& id) const;

    // Paths from the system: the idle key window takes them, or a new window does.
    void openFiles(const QStringList& paths);
    // Paths from the quick-info hand-over: quick-info windows when the setting asks for
    // them, otherwise one new main window.
    void identifyService(const QStringList& paths);
    // A second launch: its paths, or nothing (then a window is shown).
    void handOver(const QStringList& paths, bool quickInfo);

    MainWindowController* doWorkInNewWindow(const QList<QUrl>& urls);
    void doWorkInFirstWindow(const QList<QUrl>& urls);
    void processTemporaryFilesInNewWindow(const QStringList& paths);
    QList<QuickInfoWindow*> doQuickInfoWindow(const QList<QUrl>& urls);
    // A new main window for the URLs that will follow (none for an empty window).
    MainWindowController* showNewWindowForFiles(const QList<QUrl>& urls);
    void windowClosed(MainWindowController* controller);

    // Becoming active: opens one empty window the first time nothing is shown.
    void applicationWillBecomeActive();
    // Asked to show itself again: an empty window when none is visible.
    void applicationShouldHandleReopen();
    bool hasVisibleWindows() const;
    // The main window the user works in (the active one), if any.
    MainWindowController* keyMainWindow() const;

    // Commands.
    void openFile(QWidget* parent = nullptr);
    void openAboutPanel(QWidget* parent = nullptr);
    void openPreferences();
    void openAcknowledgments(QWidget* parent = nullptr);
    PreferencesWindow* preferencesWindow() const;

    // Recent documents, newest first.
    void noteRecentDocuments(const QList<QUrl>& urls);
    QList<QUrl> recentDocuments() const;
    void clearRecentDocuments();

    // The window a file-list drag started from last.
    void setDraggingSourceWindow(MainView* view);
    MainView* draggingSourceWindow() const;
    // The main view of an open window by its identity, or none.
    MainView* mainViewWithId(quintptr id) const;

    // Every main window applies the line-wrapping setting again.
    void wrapLongLinesDidChange();
    // Applies terminateAppWhenAllWindowsClosed: with it off, Perspix keeps running once its
    // last window closes, reachable from an icon in the system tray (New Window, Quit) and
    // from a second launch; without a system tray it quits as usual.
    void applyLastWindowSetting();
    bool keepsRunningWithoutWindows() const;

private:
    AppController();

    Settings m_ud;
    QList<MainWindowController*> m_windows;
    bool m_launchWithFile = false;
    bool m_wasActiveAfterStart = false;
    QList<ExportType> m_exportTypes;
    QPointer<QObject> m_draggingSourceWindow;
    QPointer<QWidget> m_preferences;
    QSystemTrayIcon* m_trayIcon = nullptr;
};

} // namespace perspix
