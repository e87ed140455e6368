// Fills a menu with the applications that can open one file and opens the file with the
// one picked. The menu is rebuilt only when it is opened for another file than last time.
#pragma once

#include <QObject>
#include <QString>

#include "app/platform/GioApplications.h"

class QAction;
class QMenu;

namespace perspix {

// One line of the menu.
struct OpenWithEntry
{
    QString title;
    ApplicationEntry application;
    bool isDefault = false;
};

class OpenWithMenuHelper : public QObject
{
    Q_OBJECT
public:
    static inline const QString kNone = QStringLiteral("<None>");

    // Fills the menu each time it is about to show (when the file changed since).
    explicit OpenWithMenuHelper(QMenu* menu);

    QString filename() const { return m_filename; }
    // The file of the clicked row; an empty path for none. Symbolic links are resolved.
    void setFilename(const QString& path);
    bool isChanged() const { return m_changed; }

    // Rebuilds the menu when the file changed since it was last built.
    void menuWillOpen(QMenu* menu);
    // Opens the file with the item's application, when it carries one.
    void openWithMenuClicked(QAction* item);

    // The lines of the menu for these applications: the default first, then the others
    // sorted by name; names that occur more than once carry a distinguishing text.
    static QList<OpenWithEntry> entriesFor(const QList<ApplicationEntry>& applications,
                                           const std::optional<ApplicationEntry>& defaultApp);

private:
    QMenu* m_menu;
    QString m_filename;
    bool m_changed = false;
};

} // namespace perspix
