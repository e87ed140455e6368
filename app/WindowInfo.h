// What the statistics and map windows read from the other windows: the selected comparison
// row or outline parameter of a main window, the located files of its list, and the way
// back to select a file. Main windows answer according to the tab they show; a comparison
// window answers for its selected row.
#pragma once

#include <QList>
#include <QString>
#include <optional>

#include "app/mainwindow/MainView.h"
#include "comparison/ComparisonAssistant.h"

class QWidget;

namespace perspix {

class ComparisonController;
class ExtendedOutline;
class MainWindowController;
class WindowWorker;

// The extended outline whose selection the statistics count, with its window's list.
struct AdvOutlineSelection
{
    ExtendedOutline* outline = nullptr;
    FilelistDesc userInfo;
};

// A located file of a window's arranged list.
struct MapLocationRecord
{
    double latitude = 0;
    double longitude = 0;
    QString filename;
    // The file's row in the arranged list when the records were collected; -1 unknown.
    int lastIndexInList = -1;
    bool operator==(const MapLocationRecord&) const = default;
};

class WindowInfo
{
public:
    // The main window of a window: itself, or the main window a dialog or sheet belongs to.
    static MainWindowController* mainWindowOf(QWidget* window);
    static MainWindowController* windowOfWorker(const WindowWorker* worker);
    // The comparison tab's controller, once the window has one.
    static ComparisonController* comparisonControllerOf(const MainWindowController* window);

    // A main window showing its comparison tab: the selected row. Nothing otherwise.
    static std::optional<ComparisonRow> comparisonSelectionInfo(QWidget* window);
    // A main window showing its extended tab with a list: its outline and list.
    static std::optional<AdvOutlineSelection> advOutlineSelectionInfo(QWidget* window);
    // An extended comparison window answers (with its selected row, or none).
    static bool answersExtComparisonSelectionInfo(QWidget* window);
    static std::optional<ComparisonRow> extComparisonSelectionInfo(QWidget* window);

    // For each arranged file with a location, its record with its row in the list.
    static QList<MapLocationRecord> allMapLocationInfo(const MainWindowController* window);
    // The current file's location, or nothing.
    static std::optional<MapLocationRecord> mapLocationInfo(const MainWindowController* window);
    static std::optional<MapLocationRecord> mapLocationOfItem(const FilelistItemPtr& item);
    // Selects the record's row when it is not selected and still holds the record's file;
    // logs "not found by last known index" when the file moved. True when the row is (or
    // was already) selected.
    static bool selectFileByMapLocationInfo(MainWindowController* window,
                                            const MapLocationRecord& record);
};

} // namespace perspix
