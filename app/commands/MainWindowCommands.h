// The commands of a main window beyond its shell: export, projects, metadata removal,
// attachments, the file-list and outline context commands (open with, reveal, quick look,
// removing a file fact, setting a file's date), the double-click actions and the
// diagnostic menu, with their availability. One instance per window, its child.
#pragma once

#include <QModelIndex>
#include <QObject>
#include <QPointer>
#include <functional>

#include "model/ExtTreeItem.h"
#include "model/PerspixData.h"
#include "model/Settings.h"

class QAction;
class QMenu;
class QMessageBox;

namespace perspix {

class ExportSheet;
class MainView;
class MainWindowController;
class OpenWithMenuHelper;

class MainWindowCommands : public QObject
{
    Q_OBJECT
public:
    // Adds the commands to the window's menus and toolbar; once, when it is built.
    static MainWindowCommands* attach(MainWindowController* window);
    static MainWindowCommands* of(const MainWindowController* window);

    // Where a location goes instead of the map window (or, without a location the map can
    // show, a map search in the web browser). Answers whether it was shown.
    using LocationHandler = std::function<bool(const MapLocation&)>;
    static void setLocationHandler(LocationHandler handler);
    static QUrl externalMapSearchUrl(const MapLocation& location);

    // Availability and titles, as every menu shows them.
    void updateStates();

    QAction* exportAction() const { return m_export; }
    QAction* saveProjectAction() const { return m_saveProject; }
    QAction* openProjectAction() const { return m_openProject; }
    QAction* removeMetadataAction() const { return m_removeMetadata; }
    QAction* removeLocationAction() const { return m_removeLocation; }
    QAction* extractAttachmentsAction() const { return m_extractAttachments; }
    QAction* quickLookAction() const { return m_quickLook; }
    QMenu* diagnosticsMenu() const { return m_diagnostics; }

    // Export: the export sheet (or, on the comparison tab, the comparison's own export).
    ExportSheet* exportFiles();
    // Projects: the save panel, and saving the whole list to a chosen file.
    void saveProjectAs();
    bool saveProjectToFile(const QString& path);
    void openProject();

    // Context menus: the clicked row of the file list, or of the extended outline.
    void addFilelistCommands(QMenu* menu, const QModelIndex& clicked);
    void addOutlineCommands(QMenu* menu, const QModelIndex& clicked);
    // The open-with helper of the last file-list menu.
    OpenWithMenuHelper* openWithHelper() const { return m_openWith; }

    // Quick look on a file (the current file when empty); Space toggles it.
    void toggleQuickLook(const QString& path = {});
    bool isQuickLookShown() const;

    // Outline row commands. Both reanalyse the current file afterwards.
    static QString attributeForRowKey(const QString& key);
    bool removeExtendedAttribute(const ExtTreeItemPtr& row);
    bool touchDate(const ExtTreeItemPtr& row);

    // Double-click actions.
    void outlineRowDoubleClicked(const QModelIndex& index);
    void generalRowDoubleClicked(const ExtTreeItemPtr& row);
    void coverDoubleClicked();
    // Saves the current file's covers or previews into its temporary folder and opens them
    // in a new window; the paths written.
    QStringList openEmbeddedPictures();
    bool showLocation(const MapLocation& location);

    // The last alert shown over the window (errors of the commands), if still open.
    QMessageBox* lastAlert() const;

protected:
    // A window that becomes active shows the commands as the settings now ask.
    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    // The embedded pictures written for a double-click, before they open.
    void embeddedPicturesSaved(const QStringList& paths);

private:
    explicit MainWindowCommands(MainWindowController* window);
    void buildActions();
    void showError(const QString& text);
    MainView* view() const;
    bool rowIsAlone(const QModelIndex& clicked) const;

    MainWindowController* m_window;
    Settings m_ud;
    QAction* m_export = nullptr;
    QAction* m_saveProject = nullptr;
    QAction* m_openProject = nullptr;
    QAction* m_removeMetadata = nullptr;
    QAction* m_removeLocation = nullptr;
    QAction* m_extractAttachments = nullptr;
    QAction* m_quickLook = nullptr;
    QMenu* m_diagnostics = nullptr;
    OpenWithMenuHelper* m_openWith = nullptr;
    QPointer<QMessageBox> m_alert;
};

} // namespace perspix
