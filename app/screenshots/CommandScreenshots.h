// Screenshots of the window's command sheets and menus (the export sheet, the
// remove-metadata sheet, the open-with menu of the file list) for the screenshot mode, taken
// from the screen so that sheets and menus show where the user sees them.
#pragma once

class QDir;

namespace perspix {

class MainWindowController;

bool saveCommandScreenshots(MainWindowController* window, const QDir& dir);

} // namespace perspix
