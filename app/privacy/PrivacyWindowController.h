// The privacy report window: one for the application, with a row per file of the main
// window the user works in and a column per category, and the selected file's findings
// below. It follows that window (another window becoming active, its list changing, results
// arriving) and hands the selected files to the remove-metadata sheet.
#pragma once

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include "batch/DataCacher.h"
#include "filelist/FilelistItem.h"
#include "privacy/PrivacyReport.h"

class QLabel;
class QPushButton;
class QTableWidget;
class QTreeWidget;

namespace perspix {

class MainWindowController;

// Images are read once more, in the background, with ExifTool beside Exiv2 (from the result
// store when they were read so before), since the main window's analysis reads them with
// Exiv2 alone.
class PrivacyWindowController : public QWidget, public DataCacherDelegate
{
    Q_OBJECT
public:
    // The one window, made on first use (on the main thread).
    static PrivacyWindowController& sharedInstance();

    // Reports on the active main window's files and brings the window forward.
    void showSharedPrivacyWindow();
    // Reports on this main window's files (none: empties the window).
    void showReportsOfWindow(MainWindowController* window);
    // Reads the followed window's list again.
    void refresh();
    // The remove-metadata sheet over the followed window for the selected files, with the
    // privacy removal chosen; nothing without a selection.
    QWidget* removeSelected();

    MainWindowController* followedWindow() const { return m_window; }
    const QList<privacy::Report>& reports() const { return m_reports; }
    QTableWidget* table() const { return m_table; }
    QTreeWidget* findingsView() const { return m_findings; }
    QPushButton* removeButton() const { return m_remove; }

    void dataCacherNewObjectReady(const CacherResult& result) override;
    // The analysis the report is made from: the main window's, or for an image the one
    // with both readers (nothing while it is being read).
    PerspixDataPtr reportedData(const FilelistItemPtr& item, bool* waiting);

private:
    PrivacyWindowController();
    ~PrivacyWindowController() override;
    void scheduleRefresh();
    void windowDidBecomeKey();
    void showFindingsOfSelection();

    QPointer<MainWindowController> m_window;
    Filelist m_items;
    QList<privacy::Report> m_reports;
    QTableWidget* m_table;
    QTreeWidget* m_findings;
    QLabel* m_summary;
    QPushButton* m_remove;
    QTimer m_refreshTimer;

    struct BothReaders
    {
        const PerspixData* mainData = nullptr; // the main window's result it stands for
        PerspixDataPtr data;
        bool done = false;
    };
    std::unique_ptr<DataCacher> m_reader;
    QHash<QString, BothReaders> m_bothReaders;
};

} // namespace perspix
