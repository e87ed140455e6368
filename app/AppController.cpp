// The application object (see AppController.h).
#include "app/AppController.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QSystemTrayIcon>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "app/Notifier.h"
#include "app/PreferencesWindow.h"
#include "app/WindowPlacement.h"
#include "app/mainwindow/MainView.h"
#include "app/mainwindow/MainWindowController.h"
#include "app/platform/FilesAndFoldersDialog.h"
#include "app/preview/QuickInfoWindow.h"
#include "batch/CoreSetup.h"
#include "batch/WindowWorker.h"
#include "export/PerspixProject.h"
#include "model/NativePath.h"

// Resources of a static library are registered by hand, outside any namespace.
static void initPerspixResources()
{
    Q_INIT_RESOURCE(perspix);
}

namespace perspix {

namespace {
const QString kRecentDocuments = QStringLiteral("recentDocuments");
constexpr int kMaxRecentDocuments = 12;

QList<QUrl> urlsFromPaths(const QStringList& paths)
{
    QList<QUrl> urls;
    for (const QString& path : paths)
        urls.append(NativePath::url(NativePath::ofShown(NativePath::absolute(path))));
    return urls;
}
// One file needs no list; a folder or a project becomes one.
bool isSingleFile(const QUrl& url)
{
    const QString path = NativePath::ofUrl(url);
    return NativePath::isRegularFile(path) &&
           QFileInfo(path).suffix().toLower() != PerspixProject::kExtension;
}
} // namespace

void AppController::initialize()
{
    initPerspixResources();
    Settings::registerDefaults();
    setupCore();
}

AppController& AppController::instance()
{
    static AppController* controller = [] {
        initialize();
        return new AppController;
    }();
    return *controller;
}

AppController::AppController()
{
    connect(&Notifier::instance(), &Notifier::wrapLongLinesDidChanged, this,
            &AppController::wrapLongLinesDidChange);
    m_exportTypes = {
        {QStringLiteral("txt"), QStringLiteral("Text"), QStringLiteral("txt")},
        {QStringLiteral("html"), QStringLiteral("HTML"), QStringLiteral("html")},
        {QStringLiteral("csv"), QStringLiteral("CSV"), QStringLiteral("csv")},
        {QStringLiteral("xml"), QStringLiteral("XML"), QStringLiteral("xml")},
        {QStringLiteral("json"), QStringLiteral("JSON"), QStringLiteral("json")},
        {QStringLiteral("plist"), QStringLiteral("plist"), QStringLiteral("plist")},
    };
    applyLastWindowSetting();
    // Whatever a window or a view wrote last reaches the disk, however the program ends.
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] { m_ud.sync(); });
}

bool AppController::keepsRunningWithoutWindows() const
{
    return m_trayIcon && m_trayIcon->isVisible();
}

void AppController::applyLastWindowSetting()
{
    const bool keepRunning = !m_ud.boolValue(prefs::kTerminateAppWhenAllWindowsClosed) &&
                             QSystemTrayIcon::isSystemTrayAvailable();
    QApplication::setQuitOnLastWindowClosed(!keepRunning);
    if (!keepRunning) {
        if (m_trayIcon)
            m_trayIcon->hide();
        return;
    }
    if (!m_trayIcon) {
        m_trayIcon = new QSystemTrayIcon(QApplication::windowIcon(), this);
        m_trayIcon->setToolTip(QStringLiteral("Perspix"));
        auto* menu = new QMenu;
        connect(m_trayIcon, &QObject::destroyed, menu, &QObject::deleteLater);
        menu->addAction(tr("New Window"), this, [this] { showNewWindowForFiles({}); });
        menu->addAction(tr("Open..."), this, [this] { openFile(); });
        menu->addSeparator();
        menu->addAction(tr("Quit Perspix"), this, [] { QApplication::quit(); });
        m_trayIcon->setContextMenu(menu);
        connect(m_trayIcon, &QSystemTrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason reason) {
                    if (reason == QSystemTrayIcon::Trigger)
                        applicationShouldHandleReopen();
                });
    }
    m_trayIcon->show();
}

std::optional<QString> AppController::extensionForExportType(const QString& id) const
{
    for (const ExportType& type : m_exportTypes)
        if (type.id == id)
            return type.extension;
    return std::nullopt;
}

// ---- windows -------------------------------------------------------------------------------

MainWindowController* AppController::showNewWindowForFiles(const QList<QUrl>& urls)
{
    auto* controller = new MainWindowController;
    m_windows.append(controller);
    controller->setCurrentTab(m_ud.tabForNewWindow());
    controller->applyWrapSetting();
    if (m_launchWithFile && urls.size() == 1 && isSingleFile(urls.first()))
        controller->hideSidebarForSingleFile();
    WindowPlacement::keepOnScreen(controller);
    controller->show();
    controller->raise();
    controller->activateWindow();
    return controller;
}

void AppController::windowClosed(MainWindowController* controller)
{
    m_ud.setValue(prefs::kLastTab, controller->currentTab());
    m_windows.removeAll(controller);
}

MainWindowController* AppController::doWorkInNewWindow(const QList<QUrl>& urls)
{
    MainWindowController* controller = showNewWindowForFiles(urls);
    controller->processUrls(urls);
    m_launchWithFile = false;
    return controller;
}

void AppController::doWorkInFirstWindow(const QList<QUrl>& urls)
{
    if (m_windows.isEmpty()) {
        doWorkInNewWindow(urls);
        return;
    }
    m_windows.first()->processUrls(urls);
}

void AppController::processTemporaryFilesInNewWindow(const QStringList& paths)
{
    doWorkInNewWindow(urlsFromPaths(paths));
}

MainWindowController* AppController::keyMainWindow() const
{
    auto* active = qobject_cast<MainWindowController*>(QApplication::activeWindow());
    return m_windows.contains(active) ? active : nullptr;
}

void AppController::openFiles(const QStringList& paths)
{
    const QList<QUrl> urls = urlsFromPaths(paths);
    m_launchWithFile = true;
    MainWindowController* key = keyMainWindow();
    WindowWorker* worker = key ? key->worker() : nullptr;
    if (worker && worker->countToProcess() == 0 && worker->countProcessed() == 0) {
        key->processUrls(urls);
        m_launchWithFile = false;
        return;
    }
    doWorkInNewWindow(urls);
}

void AppController::identifyService(const QStringList& paths)
{
    if (paths.isEmpty())
        return;
    m_launchWithFile = true;
    const QList<QUrl> urls = urlsFromPaths(paths);
    if (m_ud.boolValue(prefs::kUseQuickInfoService))
        doQuickInfoWindow(urls);
    else
        doWorkInNewWindow(urls);
}

void AppController::handOver(const QStringList& paths, bool quickInfo)
{
    if (quickInfo)
        identifyService(paths);
    else if (!paths.isEmpty())
        openFiles(paths);
    else
        applicationShouldHandleReopen();
}

QList<QuickInfoWindow*> AppController::doQuickInfoWindow(const QList<QUrl>& urls)
{
    QList<QuickInfoWindow*> opened;
    for (const QUrl& url : urls) {
        auto* window = new QuickInfoWindow;
        window->processUrl(url);
        window->show();
        window->raise();
        opened.append(window);
    }
    m_launchWithFile = false;
    return opened;
}

bool AppController::hasVisibleWindows() const
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->isVisible() && widget->isWindow() &&
            !widget->windowFlags().testFlag(Qt::Popup) && widget->windowType() != Qt::ToolTip)
            return true;
    return false;
}

void AppController::applicationWillBecomeActive()
{
    if (hasVisibleWindows()) {
        m_wasActiveAfterStart = true;
        return;
    }
    if (!m_wasActiveAfterStart)
        showNewWindowForFiles({});
    m_wasActiveAfterStart = true;
}

void AppController::applicationShouldHandleReopen()
{
    if (!hasVisibleWindows()) {
        showNewWindowForFiles({});
        return;
    }
    if (MainWindowController* window = keyMainWindow()
                                           ? keyMainWindow()
                                           : (m_windows.isEmpty() ? nullptr : m_windows.last())) {
        window->raise();
        window->activateWindow();
    }
}

void AppController::setDraggingSourceWindow(MainView* view)
{
    m_draggingSourceWindow = view;
}

MainView* AppController::draggingSourceWindow() const
{
    return qobject_cast<MainView*>(m_draggingSourceWindow.data());
}

MainView* AppController::mainViewWithId(quintptr id) const
{
    for (MainWindowController* controller : m_windows)
        if (quintptr(controller->myView()) == id)
            return controller->myView();
    return nullptr;
}

void AppController::wrapLongLinesDidChange()
{
    for (MainWindowController* controller : m_windows)
        controller->applyWrapSetting();
}

// ---- commands ------------------------------------------------------------------------------

void AppController::openFile(QWidget* parent)
{
    FilesAndFoldersDialog dialog(parent, tr("Open"));
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QList<QUrl> urls = dialog.chosenUrls();
    if (!urls.isEmpty())
        doWorkInNewWindow(urls);
}

void AppController::openAboutPanel(QWidget* parent)
{
    QMessageBox box(parent);
    box.setWindowTitle(tr("About Perspix"));
    box.setIconPixmap(QApplication::windowIcon().pixmap(64));
    box.setText(QStringLiteral("<h3>Perspix %1</h3>").arg(QApplication::applicationVersion()));
    box.setInformativeText(tr("Inspects films, sound files, still images and raw camera files "
                              "and shows their technical metadata."));
    box.exec();
}

PreferencesWindow* AppController::preferencesWindow() const
{
    return qobject_cast<PreferencesWindow*>(m_preferences.data());
}

void AppController::openPreferences()
{
    if (!m_preferences) {
        m_preferences = new PreferencesWindow;
        m_preferences->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_preferences->show();
    m_preferences->raise();
    m_preferences->activateWindow();
}

void AppController::openAcknowledgments(QWidget* parent)
{
    QDialog dialog(parent);
    dialog.setWindowTitle(tr("Acknowledgments"));
    auto* browser = new QTextBrowser(&dialog);
    browser->setOpenExternalLinks(true);
    QFile file(QStringLiteral(":/Acknowledgments.html"));
    if (file.open(QIODevice::ReadOnly))
        browser->setHtml(QString::fromUtf8(file.readAll()));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(browser);
    layout->addWidget(buttons);
    dialog.resize(560, 480);
    dialog.exec();
}

// ---- recent documents ----------------------------------------------------------------------

void AppController::noteRecentDocuments(const QList<QUrl>& urls)
{
    QStringList recent = m_ud.value(kRecentDocuments).toStringList();
    for (const QUrl& url : urls) {
        const QString path = NativePath::ofUrl(url);
        if (path.isEmpty())
            continue;
        // A name that is not UTF-8 is kept as its URL, whose percent-encoding holds the bytes.
        const QString entry =
            NativePath::isText(path) ? path : NativePath::url(path).toString(QUrl::FullyEncoded);
        recent.removeAll(entry);
        recent.prepend(entry);
    }
    while (recent.size() > kMaxRecentDocuments)
        recent.removeLast();
    m_ud.setValue(kRecentDocuments, recent);
}

QList<QUrl> AppController::recentDocuments() const
{
    QList<QUrl> urls;
    for (const QString& entry : m_ud.value(kRecentDocuments).toStringList())
        urls.append(entry.startsWith(QLatin1String("file:")) ? QUrl(entry)
                                                             : QUrl::fromLocalFile(entry));
    return urls;
}

void AppController::clearRecentDocuments()
{
    m_ud.remove(kRecentDocuments);
}

} // namespace perspix
