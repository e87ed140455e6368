// The content of a main window: the file list with its filters, totals and progress, the
// General and Extended views of the selected file, and the searches. Turns URLs into a file
// list, hands it to a DataCacher for background analysis, keeps the window's WindowWorker up
// to date and shows every result as it arrives. Everything here runs on the main thread.
#pragma once

#include <QModelIndex>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "batch/DataCacher.h"
#include "filelist/FilelistItem.h"
#include "model/FileRecord.h"
#include "model/Settings.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QToolButton;
class QWidget;

namespace perspix {

class ArrangedFilelistModel;
class ExtendedOutline;
class ExtendedOutlineDelegate;
class FilelistListing;
class FilelistModel;
class FilelistView;
class GeneralView;
class PerspixProject;
class WindowWorker;
struct DropRequest;

// The arranged items and the cacher, as the statistics window takes them.
struct FilelistDesc
{
    Filelist filelist;
    DataCacher* cacher = nullptr;
};

class MainView : public QObject, public DataCacherDelegate
{
    Q_OBJECT
public:
    explicit MainView(QWidget* window);
    ~MainView() override;

    // The panes the window lays out.
    QWidget* sidebar() const { return m_sidebar; }
    GeneralView* generalView() const { return m_general; }
    QWidget* extendedPage() const { return m_extendedPage; }
    QPlainTextEdit* customView() const { return m_custom; }
    QLineEdit* fileNameSearchField() const { return m_nameSearch; }
    QLineEdit* globalSearchField() const { return m_globalSearch; }
    QLineEdit* extendedSearchField() const { return m_extSearch; }
    QWidget* extendedSearchBar() const { return m_extSearchBar; }
    ExtendedOutline* outline() const { return m_outline; }
    ExtendedOutlineDelegate* outlineState() const { return m_outlineState; }
    FilelistView* filelistView() const { return m_listView; }
    QLabel* totalsLabel() const { return m_totals; }
    QProgressBar* progressBar() const { return m_progress; }

    void setWorker(WindowWorker* worker) { m_worker = worker; }
    // The analysis every cacher of this view runs (the real one unless replaced, for
    // example by one that takes its time).
    void setAnalyser(Analyser analyser) { m_analyser = std::move(analyser); }
    WindowWorker* worker() const { return m_worker; }
    DataCacher* cacher() const { return m_cacher.get(); }
    FilelistModel* filelistModel() const { return m_model; }
    ArrangedFilelistModel* arrangedModel() const { return m_arranged; }
    const Filelist& filelist() const;
    Filelist arrangedFilelist() const;
    int filelistRowOfItem(const FilelistItemPtr& item) const;
    qint64 totalDuration() const { return m_totalDuration; }
    bool isWindowClosing() const { return m_isWindowClosing; }

    // A new list from source URLs.
    void processFiles(const QList<QUrl>& urls);
    void processFilesWithSecurityScopedFlag(const QList<QUrl>& urls, bool securityScoped,
                                            const QList<QUrl>& recentItems);
    // Adds files before the item at index; -1 appends, -2 appends and selects the first.
    void processAdditionalFilesAtIndex(const QList<QUrl>& urls, int index);
    void processAdditionalFiles(const QList<QUrl>& urls);
    // A project's documents as a new list; the project file is the recent item.
    void processPerspixProject(const std::shared_ptr<PerspixProject>& project);
    void processAdditionalFilesAndSelectFirst(const QList<QUrl>& urls);

    // Selects a file: shows its data, or waits for it (and asks for it first).
    void processFile(const FilelistItemPtr& item);
    void processFileAtIndex(int row);
    void selectRow(int row);
    int selectedRow() const;
    // Analyses the current file again after it was changed in place.
    void reprocessCurrentFile();

    void dataCacherNewObjectReady(const CacherResult& result) override;
    void showPerspixData(const PerspixDataPtr& data);
    bool isBusyIndicatorShown() const;

    void updateTotalDurationAndFileCount();
    void updateTotalProgress();
    void updateFilelistFilter();
    bool canExportAll() const;
    QString totalsText() const;

    // Removes items from the list and reports them to the worker.
    void removeItems(const Filelist& items);
    void removeSelectedRows();

    // Drops on the file list: the operation a drop would get (none when refused), and
    // carrying it out.
    Qt::DropAction validateDrop(DropRequest& request) const;
    bool acceptDrop(const DropRequest& request);

    // Searches.
    void setHideUnknownFiles(bool hide);
    void showExtendedSearchBar();
    void hideExtendedSearchBar();
    void applyExtendedSearch();
    void focusGlobalSearch();

    // Line wrapping and name alignment from the settings.
    void applyDisplaySettings();

    // Collections handed to other windows and commands.
    QList<PerspixDataPtr> filesForComparison() const;
    QList<FileRecord> arrayWithDataForExport() const;
    std::optional<FilelistDesc> filelistDesc() const;
    PerspixDataPtr currentData() const;
    FilelistItemPtr currentFile() const;

    // Copy commands.
    void copyGeneralInfo();
    void copyExtendedRows(const QModelIndex& clicked = {});

    // Stops the workers and waits for them; late results are dropped from then on.
    void setWindowIsClosing();

    // How long a listing is waited for before the window goes on without it, and from how
    // many files on a list is taken in over several turns (tests set both to nothing).
    void setListingLimits(int waitMs, qsizetype stepsFrom)
    {
        m_listingWaitMs = waitMs;
        m_stepsFrom = stepsFrom;
    }

    // Rearranges scheduled but not yet run (a burst of results rearranges once).
    bool isRearrangePending() const { return m_rearrangeTimer.isActive(); }

signals:
    void currentFileChanged();
    void arrangedFilelistChanged();
    // A result arrived or the list was replaced: the counts of analysed files changed.
    void progressChanged();
    void selectedStreamGroup(); // the Extended tab should come forward
    void filesAdded(const QList<QUrl>& urls);

private:
    void buildSidebar();
    void buildExtendedPage();
    void replaceCacher();
    void scheduleRearrange();
    void rearrangeNow();
    void arrangedListDidChange();
    void clearDisplay();
    void scheduleBusyIndicator(const FilelistItemPtr& item);
    void onSelectionChanged();
    void showStreamGroup(const ExtTreeItemPtr& streamLine);
    void itemsDidRemove(const Filelist& items);
    void applyDataToItem(const FilelistItemPtr& item, const PerspixDataPtr& data);
    qint64 sumOfDurations(const Filelist& items) const;
    // Lists the URLs on a background thread and hands the list to `then`, in the order the
    // listings were asked for. A short listing is waited for, so that it is handled at once.
    void listThen(const QList<QUrl>& urls, bool securityScoped,
                  std::function<void(const Filelist&)> then);
    void runFinishedListings();
    // Runs the steps in order; those of a long list one per turn of the event loop, so that
    // the window answers in between.
    void runSteps(qsizetype items, std::vector<std::function<void()>> steps);
    void postNextStep();

    QWidget* m_window;
    Settings m_ud;
    WindowWorker* m_worker = nullptr;
    std::unique_ptr<DataCacher> m_cacher;
    Analyser m_analyser;
    FilelistModel* m_model;
    ArrangedFilelistModel* m_arranged;
    qint64 m_totalDuration = 0;
    bool m_isWindowClosing = false;
    bool m_selecting = false;
    QTimer m_rearrangeTimer;
    QTimer m_busyTimer;
    FilelistItemPtr m_busyItem;
    struct PendingListing
    {
        std::unique_ptr<FilelistListing> listing;
        std::function<void(const Filelist&)> then;
    };
    std::deque<PendingListing> m_listings;
    std::deque<std::function<void()>> m_steps;
    int m_listingWaitMs;
    qsizetype m_stepsFrom;
    bool m_stepPosted = false;

    QWidget* m_sidebar = nullptr;
    FilelistView* m_listView = nullptr;
    QLineEdit* m_globalSearch = nullptr;
    QLineEdit* m_nameSearch = nullptr;
    QLabel* m_totals = nullptr;
    QProgressBar* m_progress = nullptr;
    GeneralView* m_general = nullptr;
    QWidget* m_extendedPage = nullptr;
    // The widgets made for the window to place (see the destructor).
    QList<QPointer<QWidget>> m_pagesForTheWindow;
    QWidget* m_extSearchBar = nullptr;
    QLineEdit* m_extSearch = nullptr;
    ExtendedOutline* m_outline = nullptr;
    ExtendedOutlineDelegate* m_outlineState = nullptr;
    QPlainTextEdit* m_custom = nullptr;
};

} // namespace perspix
