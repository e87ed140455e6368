// A mode of the program that opens files in a window, waits for their analysis, writes
// pictures of the General and Extended tabs and of a quick-info window, and quits.
// scripts/screenshots runs it under Xvfb for the README.
#pragma once

#include <QString>
#include <QStringList>

namespace perspix {

int runScreenshotMode(const QString& folder, const QStringList& paths);

} // namespace perspix
