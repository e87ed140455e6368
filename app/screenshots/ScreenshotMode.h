// A mode of the program that opens files in a window, waits for their analysis, writes
// pictures of the General and Extended tabs and of a quick-info window, and quits.
// scripts/screenshots runs it under Xvfb for the README.
#pragma once

#include <QString>
#include <QStringList>

class QDir;
class QWidget;

namespace perspix {

int runScreenshotMode(const QString& folder, const QStringList& paths);

// For the screenshot writers: lets the event loop run for about `ms` milliseconds, and
// writes a picture of the widget into the folder, logging what was written or what failed.
void screenshotSettle(int ms);
bool saveScreenshot(QWidget* widget, const QDir& dir, const QString& name);

} // namespace perspix
