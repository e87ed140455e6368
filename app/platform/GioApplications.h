// The applications of the desktop that can open a file, through GIO: every application
// registered for the file's MIME type, the default one, and launching one with the file.
// The only file that includes GIO's headers; nothing of GIO leaves it.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace perspix {

struct ApplicationEntry
{
    QString id;          // the desktop entry's file id ("org.example.Viewer.desktop")
    QString name;        // display name; empty when the entry gives none
    QString location;    // the desktop entry file (or the executable when there is none)
    QString version;     // the application's own version ("X-AppVersion"), else ""
    QString specVersion; // the entry's "Version" key, else ""
    QString iconName;    // a theme icon name or an icon file path; "" without one
    bool operator==(const ApplicationEntry&) const = default;
};

class GioApplications
{
public:
    // The MIME type of the file as the desktop sees it (content sniffing included).
    static QString contentTypeOfFile(const QString& path);
    // Every application able to open files of the type, in GIO's order, without
    // duplicates; the default application among them.
    static QList<ApplicationEntry> applicationsForType(const QString& contentType);
    static std::optional<ApplicationEntry> defaultApplicationForType(const QString& contentType);
    // Opens the file with the application of that id; false with the reason otherwise.
    static bool launch(const QString& applicationId, const QString& path, QString* error = nullptr);
};

} // namespace perspix
