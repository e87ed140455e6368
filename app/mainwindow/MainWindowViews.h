// Connects a main window to the comparison, statistics and map views: the Comparison tab's
// content, rebuilt while the tab is shown; the commands that open the comparison windows,
// the statistics window and the map; the outline's Statistics command.
#pragma once

#include <QModelIndex>

class QMenu;

namespace perspix {

class ComparisonController;
class MainWindowController;

class MainWindowViews
{
public:
    // Gives the window its comparison tab and its menu of views. Once, when it is built.
    static void attach(MainWindowController* window);
    // Builds the extended comparison of the window's files into its comparison tab.
    static void updateComparisonView(MainWindowController* window);
    // The Copy command on the comparison tab: its selected rows.
    static void copyComparisonRows(MainWindowController* window);
    // The Export command while the comparison tab is shown: the comparison export sheet for
    // the tab's comparison. False (nothing opened) on the other tabs, where the window's own
    // export applies, or without rows to export.
    static bool exportComparison(MainWindowController* window);
    // A double-click on the location of the window's current file: the map, centred on it.
    // False when the file has no location.
    static bool showLocationOfCurrentFile(MainWindowController* window);
    // Adds the Statistics command for the clicked outline row to its context menu.
    static void addOutlineCommands(MainWindowController* window, QMenu* menu,
                                   const QModelIndex& clicked);
    // The Statistics command may count the clicked row: analysis is done, the row is
    // alone in any selection, has a value and lies no deeper than the second level.
    static bool canShowStatisticsForRow(MainWindowController* window, const QModelIndex& clicked);
};

} // namespace perspix
