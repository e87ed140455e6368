// A main window: the sidebar with the file list, the General, Extended, Comparison and
// Custom tabs, the toolbar, the menus and the window's commands. The content and the data
// flow are the MainView's; this class turns the user's commands into calls on it.
#pragma once

#include <QMainWindow>
#include <QUrl>
#include <memory>

#include "model/Settings.h"

class QActionGroup;
class QMenu;
class QModelIndex;
class QLabel;
class QSplitter;
class QStackedWidget;

namespace perspix {

class DropTargetView;
class FilesAndFoldersDialog;
class MainView;
class WindowWorker;

class MainWindowController : public QMainWindow
{
    Q_OBJECT
public:
    enum Tab { GeneralTab = 0, ExtendedTab = 1, ComparisonTab = 2, CustomTab = 3 };

    explicit MainWindowController(QWidget* parent = nullptr);
    ~MainWindowController() override;

    WindowWorker* worker() const { return m_worker.get(); }
    MainView* myView() const { return m_view; }

    // URLs handed to the window: a single project file opens as a project, anything else
    // becomes a new list; on the next turn of the event loop.
    void processUrls(const QList<QUrl>& urls);

    int currentTab() const;
    void setCurrentTab(int index);

    bool isSidebarVisible() const;
    void setSidebarVisible(bool visible, bool remember = true);
    void toggleSidebar();
    // A window for one file needs no list: hidden without becoming the user's choice.
    void hideSidebarForSingleFile();
    // Moves the sidebar to the other side.
    void exchangeViews();
    int sidebarWidth() const;
    // The width a list of typical names needs; the sidebar's width until the user sets one.
    int fittingSidebarWidth() const;
    bool openSidebar() const { return m_openSidebar; }
    bool openSidebarForComparison() const { return m_openSidebarForComparison; }

    bool hideUnknownFiles() const { return m_hideUnknownFiles; }
    void toggleHideUnknownFiles();
    void toggleWrapLongLines();
    void applyWrapSetting();

    void updateWindowTitle();
    // The name of the project the list was opened from; empty without one.
    QString projectName() const;

    // Commands.
    // The open dialogs (files and folders together), open over the window.
    FilesAndFoldersDialog* openDocument();
    FilesAndFoldersDialog* addFiles();
    void openDirectory();
    void find();
    void findInProject();
    void findInMetadata();
    void copy();
    void copyGeneralInfo();

    // The context menu of the file list for the clicked row (none: an invalid index).
    void fillFilelistMenu(QMenu* menu, const QModelIndex& index);

    // The page the Comparison tab shows; the comparison views put theirs in its place.
    QWidget* comparisonPage() const { return m_comparisonPage; }
    // The empty window's drop target; shown while the list is empty.
    DropTargetView* dropTarget() const { return m_dropTarget; }
    bool isShowingDropTarget() const;
    void setComparisonPage(QWidget* page);

signals:
    void tabChanged(int index);
    void closed(MainWindowController* controller);

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void buildContent();
    void buildActions();
    void buildMenus();
    void buildToolbar();
    void updateMenuStates();
    void updateRecentMenu();
    void updateWindowMenu();
    void applySidebarPosition(int pos);
    bool isOwnDrag(const QDropEvent* event) const;

    Settings m_ud;
    std::unique_ptr<WindowWorker> m_worker;
    MainView* m_view = nullptr;
    QSplitter* m_splitter = nullptr;
    QStackedWidget* m_tabs = nullptr;
    QStackedWidget* m_content = nullptr; // the drop target or the tabs
    DropTargetView* m_dropTarget = nullptr;
    QWidget* m_comparisonPage = nullptr;
    bool m_hideUnknownFiles = false;
    bool m_openSidebar = true;
    bool m_openSidebarForComparison = false;
    int m_sidebarPos = 0;
    bool m_closing = false;
    bool m_sidebarAutoHidden = false;

    QActionGroup* m_tabGroup = nullptr;
    QList<QAction*> m_tabActions;
    QActionGroup* m_segmentGroup = nullptr;
    QList<QAction*> m_segmentActions;
    QAction* m_openAction = nullptr;
    QAction* m_addAction = nullptr;
    QAction* m_openDirAction = nullptr;
    QAction* m_closeAction = nullptr;
    QAction* m_removeAction = nullptr;
    QAction* m_quitAction = nullptr;
    QAction* m_copyAction = nullptr;
    QAction* m_copyGeneralAction = nullptr;
    QAction* m_findAction = nullptr;
    QAction* m_findInProjectAction = nullptr;
    QAction* m_findInMetadataAction = nullptr;
    QAction* m_preferencesAction = nullptr;
    QAction* m_sidebarAction = nullptr;
    QAction* m_exchangeAction = nullptr;
    QAction* m_fullScreenAction = nullptr;
    QAction* m_wrapAction = nullptr;
    QAction* m_hideUnknownAction = nullptr;
    QAction* m_newWindowAction = nullptr;
    QAction* m_minimizeAction = nullptr;
    QAction* m_aboutAction = nullptr;
    QAction* m_acknowledgmentsAction = nullptr;
    QMenu* m_recentMenu = nullptr;
    QMenu* m_windowMenu = nullptr;
};

} // namespace perspix
