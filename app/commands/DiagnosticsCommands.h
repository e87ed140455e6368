// The Diagnostics menu, shown when the setting enableDebug is on: the raw reports of the
// libraries and of ExifTool on the current file, copied to the clipboard or shown in the
// Custom tab. Reports are made off the main thread; the texts themselves are plain
// functions that the tests call directly.
#pragma once

#include <QString>
#include <optional>

class QMenu;

namespace perspix {

class MainWindowController;

class DiagnosticsCommands
{
public:
    static inline const QString kNoOutput = QStringLiteral("<No output>");

    // The menu with every diagnostic command of the window.
    static QMenu* buildMenu(MainWindowController* window);

    // MediaInfo's list of parameters, one per line, sections set apart by a line of dashes.
    static QString libParametersCSV();
    // MediaInfo's parameters by section as an XML property list.
    static std::optional<QByteArray> libParametersPlist();
    // Raw XMP with its packet wrapper, its elements indented one per line.
    static std::optional<QString> prettyXmp(const QString& xmp);
    // Every QuickTime metadata item of a film through ExifTool, by metadata format (Keys,
    // UserData, ItemList, ...); nothing (and a log line) for a file without any.
    static std::optional<QString> mp4Metadata(const QString& path);
    // What the platform image reader tells about the file; nothing when it cannot read it.
    static std::optional<QString> imageioProperties(const QString& path);
};

} // namespace perspix
