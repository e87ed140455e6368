// Pictures of the comparison tab, the extended comparison window, the statistics window
// and the map, for the screenshot mode: taken from a main window whose files are analysed.
#pragma once

#include <QDir>

namespace perspix {

class MainWindowController;

// Writes comparison.png, ext-comparison.png, statistics.png and map.png into the folder;
// false when one could not be written.
bool saveViewsScreenshots(MainWindowController* window, const QDir& dir);

} // namespace perspix
