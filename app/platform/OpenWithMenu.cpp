// The open-with menu (see OpenWithMenu.h).
#include "app/platform/OpenWithMenu.h"

#include <QAction>
#include <QFileInfo>
#include <QHash>
#include <QIcon>
#include <QMenu>
#include <QMessageBox>
#include <algorithm>

#include "model/Log.h"

namespace perspix {

namespace {

QString baseTitle(const ApplicationEntry& app)
{
    if (!app.name.isEmpty())
        return app.name;
    return QFileInfo(app.location).fileName();
}

// What tells apart two applications of one name: their own version, else the version
// key of their entry when the two differ in it, else the desktop entry's file id.
QString distinguishingText(const ApplicationEntry& app, const QList<ApplicationEntry>& sameName)
{
    if (!app.version.isEmpty())
        return app.version;
    if (!app.specVersion.isEmpty()) {
        const bool unique =
            std::count_if(sameName.begin(), sameName.end(), [&](const ApplicationEntry& other) {
                return other.specVersion == app.specVersion;
            }) == 1;
        if (unique)
            return app.specVersion;
    }
    QString id = app.id;
    if (id.endsWith(QStringLiteral(".desktop")))
        id.chop(8);
    return id;
}

QIcon iconOf(const ApplicationEntry& app)
{
    if (app.iconName.isEmpty())
        return {};
    if (app.iconName.startsWith(QLatin1Char('/')))
        return QIcon(app.iconName);
    return QIcon::fromTheme(app.iconName);
}

} // namespace

OpenWithMenuHelper::OpenWithMenuHelper(QMenu* menu) : QObject(menu), m_menu(menu)
{
    // Each item's tooltip is the application's location, which tells two versions apart.
    menu->setToolTipsVisible(true);
    connect(menu, &QMenu::aboutToShow, this, [this] { menuWillOpen(m_menu); });
    connect(menu, &QMenu::triggered, this, &OpenWithMenuHelper::openWithMenuClicked);
}

void OpenWithMenuHelper::setFilename(const QString& path)
{
    if (path == m_filename)
        return;
    QString resolved = path;
    if (!path.isEmpty()) {
        const QString target = QFileInfo(path).canonicalFilePath();
        if (!target.isEmpty())
            resolved = target;
    }
    if (resolved == m_filename)
        return;
    m_filename = resolved;
    m_changed = true;
}

QList<OpenWithEntry>
OpenWithMenuHelper::entriesFor(const QList<ApplicationEntry>& applications,
                               const std::optional<ApplicationEntry>& defaultApp)
{
    QList<OpenWithEntry> others;
    std::optional<OpenWithEntry> first;
    if (defaultApp)
        first = OpenWithEntry{defaultApp->name, *defaultApp, true};
    for (const ApplicationEntry& app : applications) {
        if (defaultApp && app.id == defaultApp->id)
            continue;
        others.append(OpenWithEntry{baseTitle(app), app, false});
    }

    QHash<QString, QList<ApplicationEntry>> byName;
    if (first)
        byName[first->title].append(first->application);
    for (const OpenWithEntry& entry : others)
        byName[entry.title].append(entry.application);
    const auto distinguish = [&byName](OpenWithEntry& entry) {
        const QList<ApplicationEntry>& sameName = byName.value(entry.title);
        if (sameName.size() >= 2)
            entry.title = QStringLiteral("%1 (%2)").arg(
                entry.title, distinguishingText(entry.application, sameName));
    };
    for (OpenWithEntry& entry : others)
        distinguish(entry);
    std::stable_sort(others.begin(), others.end(),
                     [](const OpenWithEntry& a, const OpenWithEntry& b) {
                         return a.title.compare(b.title, Qt::CaseInsensitive) < 0;
                     });

    QList<OpenWithEntry> result;
    if (first) {
        distinguish(*first);
        first->title = QStringLiteral("%1 (default)").arg(first->title);
        result.append(*first);
    }
    result.append(others);
    return result;
}

void OpenWithMenuHelper::menuWillOpen(QMenu* menu)
{
    if (!m_changed)
        return;
    m_changed = false;
    menu->clear();
    if (m_filename.isEmpty())
        return;
    const QString type = GioApplications::contentTypeOfFile(m_filename);
    const QList<ApplicationEntry> applications = GioApplications::applicationsForType(type);
    if (applications.isEmpty()) {
        menu->addAction(kNone)->setEnabled(false);
        return;
    }
    const QList<OpenWithEntry> entries =
        entriesFor(applications, GioApplications::defaultApplicationForType(type));
    for (const OpenWithEntry& entry : entries) {
        QAction* item = menu->addAction(iconOf(entry.application), entry.title);
        item->setData(entry.application.id);
        item->setToolTip(entry.application.location);
        if (entry.isDefault && entries.size() > 1)
            menu->addSeparator();
    }
}

void OpenWithMenuHelper::openWithMenuClicked(QAction* item)
{
    const QString id = item ? item->data().toString() : QString();
    if (id.isEmpty() || m_filename.isEmpty())
        return;
    QString error;
    if (!GioApplications::launch(id, m_filename, &error))
        logLine(QStringLiteral("Failed to open %1 with %2: %3").arg(m_filename, id, error));
}

} // namespace perspix
