// A main window's commands beyond its shell (see MainWindowCommands.h).
#include "app/commands/MainWindowCommands.h"

#include <QAction>
#include <QDesktopServices>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTimer>
#include <QToolBar>
#include <QUrl>

#include "app/AppController.h"
#include "app/commands/DiagnosticsCommands.h"
#include "app/commands/ExportSheet.h"
#include "app/commands/StripCommands.h"
#include "app/mainwindow/ArrangedFilelistModel.h"
#include "app/mainwindow/ExtTreeModel.h"
#include "app/mainwindow/ExtendedOutline.h"
#include "app/mainwindow/FilelistView.h"
#include "app/mainwindow/GeneralView.h"
#include "app/mainwindow/MainView.h"
#include "app/mainwindow/MainWindowController.h"
#include "app/mainwindow/MainWindowViews.h"
#include "app/platform/OpenWithMenu.h"
#include "app/platform/RevealInFileManager.h"
#include "app/preview/QuickLookWindow.h"
#include "batch/WindowWorker.h"
#include "export/PerspixProject.h"
#include "model/Keys.h"
#include "model/NativePath.h"
#include "model/Utilities.h"
#include "readers/image/oEXIV2.h"
#include "readers/mediainfo/oMediaInfo.h"

namespace perspix {

namespace {
const QString kObjectName = QStringLiteral("mainWindowCommands");
const QString kQuickTimeLocation = QStringLiteral("com.apple.quicktime.location.ISO6709");

MainWindowCommands::LocationHandler& locationHandler()
{
    static MainWindowCommands::LocationHandler handler;
    return handler;
}

QMenu* menuNamed(QMainWindow* window, const QString& name)
{
    return window->menuBar()->findChild<QMenu*>(name);
}
} // namespace

MainWindowCommands* MainWindowCommands::attach(MainWindowController* window)
{
    auto* commands = new MainWindowCommands(window);
    commands->buildActions();
    return commands;
}

MainWindowCommands* MainWindowCommands::of(const MainWindowController* window)
{
    return window ? window->findChild<MainWindowCommands*>(kObjectName, Qt::FindDirectChildrenOnly)
                  : nullptr;
}

MainWindowCommands::MainWindowCommands(MainWindowController* window)
    : QObject(window), m_window(window)
{
    setObjectName(kObjectName);
}

MainView* MainWindowCommands::view() const
{
    return m_window->myView();
}

void MainWindowCommands::setLocationHandler(LocationHandler handler)
{
    locationHandler() = std::move(handler);
}

QUrl MainWindowCommands::externalMapSearchUrl(const MapLocation& location)
{
    QUrl url(QStringLiteral("https://www.openstreetmap.org/search"));
    url.setQuery(QStringLiteral("query=") +
                 QString::fromLatin1(QUrl::toPercentEncoding(
                     QString::asprintf("%f,%f", location.latitude, location.longitude))));
    return url;
}

void MainWindowCommands::buildActions()
{
    const auto make = [this](const QString& text, const QKeySequence& key,
                             const std::function<void()>& slot) {
        auto* action = new QAction(text, m_window);
        if (!key.isEmpty())
            action->setShortcut(key);
        connect(action, &QAction::triggered, this, slot);
        m_window->addAction(action);
        return action;
    };
    m_export = make(tr("&Export…"), QKeySequence(tr("Ctrl+E")), [this] { exportFiles(); });
    m_export->setObjectName(QStringLiteral("tbExport"));
    m_export->setIcon(QIcon::fromTheme(QStringLiteral("document-export"),
                                       QIcon::fromTheme(QStringLiteral("document-save-as"))));
    m_export->setIconText(tr("Export"));
    m_saveProject = make(tr("Save Project &As…"), QKeySequence(tr("Ctrl+Shift+S")),
                         [this] { saveProjectAs(); });
    m_openProject = make(tr("Open &Project…"), QKeySequence(), [this] { openProject(); });
    m_removeMetadata = make(tr("Remove &Metadata…"), QKeySequence(), [this] {
        if (view()->canExportAll())
            StripCommands::removeMetadata(view(), m_window);
    });
    m_removeLocation = make(tr("Remove &Location Info…"), QKeySequence(), [this] {
        if (view()->canExportAll())
            StripCommands::removeLocationInfo(view(), m_window);
    });
    m_extractAttachments = make(tr("E&xtract Attachments…"), QKeySequence(), [this] {
        if (view()->canExportAll())
            StripCommands::extractAttachments(view(), m_window);
    });
    m_quickLook =
        make(tr("&Quick Look"), QKeySequence(Qt::Key_Space), [this] { toggleQuickLook(); });
    m_quickLook->setShortcutContext(Qt::WindowShortcut);

    if (QMenu* file = menuNamed(m_window, QStringLiteral("fileMenu"))) {
        QAction* before = nullptr;
        const QList<QAction*> items = file->actions();
        // After "Open Recent": the project commands, then export and the file commands.
        for (int i = 0; i + 1 < items.size(); ++i)
            if (items[i]->menu()) {
                before = items[i + 1];
                break;
            }
        file->insertAction(before, m_openProject);
        file->insertAction(before, m_saveProject);
        file->insertSeparator(before);
        file->insertAction(before, m_export);
        file->insertAction(before, m_removeMetadata);
        file->insertAction(before, m_removeLocation);
        file->insertAction(before, m_extractAttachments);
        file->insertSeparator(before);
        file->insertAction(before, m_quickLook);
        connect(file, &QMenu::aboutToShow, this, &MainWindowCommands::updateStates);
    }
    if (auto* toolbar = m_window->findChild<QToolBar*>(QStringLiteral("mainToolbar"))) {
        const QList<QAction*> items = toolbar->actions();
        toolbar->insertAction(items.size() > 3 ? items[3] : nullptr, m_export);
    }

    m_diagnostics = DiagnosticsCommands::buildMenu(m_window);
    QMenuBar* bar = m_window->menuBar();
    const QList<QAction*> menus = bar->actions();
    bar->insertMenu(menus.size() >= 2 ? menus[menus.size() - 2] : nullptr, m_diagnostics);
    connect(m_diagnostics, &QMenu::aboutToShow, this, &MainWindowCommands::updateStates);

    // Double-clicks.
    connect(view()->outline(), &ExtendedOutline::rowDoubleClicked, this,
            &MainWindowCommands::outlineRowDoubleClicked);
    connect(view()->generalView(), &GeneralView::streamRowDoubleClicked, this,
            &MainWindowCommands::generalRowDoubleClicked);
    connect(view()->generalView()->coverView(), &CoverView::doubleClicked, this,
            &MainWindowCommands::coverDoubleClicked);

    // The preview follows the window's selection while it shows one of its files.
    connect(view(), &MainView::currentFileChanged, this, [this] {
        if (QuickLookWindow::isShown() && QuickLookWindow::instance().owner() == m_window)
            if (const FilelistItemPtr item = view()->currentFile())
                QuickLookWindow::instance().previewFile(item->filename(), m_window);
        updateStates();
    });
    connect(view(), &MainView::arrangedFilelistChanged, this, &MainWindowCommands::updateStates);
    connect(view(), &MainView::progressChanged, this, &MainWindowCommands::updateStates);
    m_window->installEventFilter(this);
    updateStates();
}

bool MainWindowCommands::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window && event->type() == QEvent::WindowActivate)
        updateStates();
    return QObject::eventFilter(watched, event);
}

void MainWindowCommands::updateStates()
{
    const bool all = view()->canExportAll();
    m_export->setEnabled(all);
    m_saveProject->setEnabled(all);
    m_removeMetadata->setEnabled(all);
    m_removeLocation->setEnabled(all);
    m_extractAttachments->setEnabled(all);
    m_quickLook->setEnabled(view()->currentFile() != nullptr);
    m_quickLook->setText(isQuickLookShown() ? tr("Close &Quick Look") : tr("&Quick Look"));
    m_diagnostics->menuAction()->setVisible(m_ud.boolValue(prefs::kEnableDebug));
    for (QAction* action : m_diagnostics->actions())
        action->setEnabled(view()->currentFile() != nullptr);
}

QMessageBox* MainWindowCommands::lastAlert() const
{
    return m_alert;
}

void MainWindowCommands::showError(const QString& text)
{
    if (m_alert)
        m_alert->close();
    auto* box =
        new QMessageBox(QMessageBox::Warning, tr("Perspix"), text, QMessageBox::Ok, m_window);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    box->setObjectName(QStringLiteral("commandAlert"));
    m_alert = box;
    box->open();
}

// ---- export and projects -------------------------------------------------------------------

ExportSheet* MainWindowCommands::exportFiles()
{
    // On the comparison tab the comparison has an export of its own.
    if (MainWindowViews::exportComparison(m_window))
        return nullptr;
    if (!view()->canExportAll())
        return nullptr;
    if (auto* open = m_window->findChild<ExportSheet*>(); open && open->isVisible())
        return open;
    auto* sheet = new ExportSheet(view(), m_window);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->open();
    return sheet;
}

void MainWindowCommands::saveProjectAs()
{
    if (!view()->canExportAll())
        return;
    auto* dialog = new QFileDialog(m_window, tr("Save Project As"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setNameFilter(tr("Perspix projects (*.%1)").arg(PerspixProject::kExtension));
    dialog->setDefaultSuffix(PerspixProject::kExtension);
    dialog->resize(860, 540); // the date column is elided at Qt's default size
    const QString project = m_window->projectName();
    dialog->selectFile((project.isEmpty() ? tr("Untitled") : project) + QLatin1Char('.') +
                       PerspixProject::kExtension);
    connect(dialog, &QFileDialog::fileSelected, this,
            [this](const QString& path) { saveProjectToFile(path); });
    dialog->open();
}

bool MainWindowCommands::saveProjectToFile(const QString& path)
{
    QStringList filenames;
    for (const FilelistItemPtr& item : view()->filelist()) // the whole list, not the filtered
        filenames.append(item->filename());
    const PerspixProjectPtr project = PerspixProject::projectWithFilelist(filenames);
    QString error;
    if (!project || !project->saveToUrl(QUrl::fromLocalFile(path), false, &error)) {
        if (error.isEmpty())
            error = tr("The list holds no file that can be saved.");
        showError(
            tr("The project “%1” could not be saved: %2").arg(QFileInfo(path).fileName(), error));
        return false;
    }
    if (WindowWorker* worker = m_window->worker())
        worker->setProject(project);
    m_window->updateWindowTitle();
    return true;
}

void MainWindowCommands::openProject()
{
    auto* dialog = new QFileDialog(m_window, tr("Open Project"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setNameFilter(tr("Perspix projects (*.%1)").arg(PerspixProject::kExtension));
    dialog->resize(860, 540);
    connect(dialog, &QFileDialog::fileSelected, this, [this](const QString& path) {
        m_window->processUrls({NativePath::url(NativePath::ofShown(path))});
    });
    dialog->open();
}

// ---- context menus -------------------------------------------------------------------------

bool MainWindowCommands::rowIsAlone(const QModelIndex& clicked) const
{
    if (!clicked.isValid())
        return false;
    const QItemSelectionModel* selection = view()->outline()->selectionModel();
    return !(selection->selectedRows().size() > 1 &&
             selection->isRowSelected(clicked.row(), clicked.parent()));
}

void MainWindowCommands::addFilelistCommands(QMenu* menu, const QModelIndex& clicked)
{
    const FilelistItemPtr item =
        clicked.isValid() ? view()->arrangedModel()->itemAt(clicked.row()) : nullptr;
    const QString path = item ? item->filename() : QString();
    menu->addSeparator();

    const bool shown = isQuickLookShown();
    QAction* look = menu->addAction(shown ? tr("Close Quick Look") : tr("Quick Look"));
    look->setEnabled(item && (item == view()->currentFile() || item->isProcessed()));
    connect(look, &QAction::triggered, this, [this, path] { toggleQuickLook(path); });

    if (!m_openWith) {
        // One submenu for every context menu, so that it is rebuilt only for another file.
        auto* openWith = new QMenu(tr("Open With"), m_window);
        m_openWith = new OpenWithMenuHelper(openWith);
    }
    auto* openWith = static_cast<QMenu*>(m_openWith->parent());
    menu->addMenu(openWith);
    openWith->setEnabled(item != nullptr);
    m_openWith->setFilename(path);

    QAction* reveal = menu->addAction(tr("Show in File Manager"));
    reveal->setEnabled(item != nullptr);
    connect(reveal, &QAction::triggered, this, [path] { revealInFileManager(path); });
}

QString MainWindowCommands::attributeForRowKey(const QString& key)
{
    if (key == keys::kFileFromKey)
        return keys::kXattrWhereFroms;
    if (key == keys::kFileFromDateKey)
        return keys::kXattrDownloadedDate;
    if (key == keys::kFileFinderComment)
        return keys::kXattrFinderComment;
    if (key == keys::kFileLabel || key == keys::kFileTags)
        return keys::kXattrUserTags;
    return {};
}

void MainWindowCommands::addOutlineCommands(QMenu* menu, const QModelIndex& clicked)
{
    if (!rowIsAlone(clicked))
        return;
    const ExtTreeItemPtr row =
        view()->outline()->treeModel()->itemForIndex(clicked.siblingAtColumn(0));
    if (!row)
        return;
    if (!attributeForRowKey(row->key()).isEmpty()) {
        menu->addSeparator();
        QAction* remove = menu->addAction(tr("Remove “%1” from the File").arg(row->name()));
        connect(remove, &QAction::triggered, this, [this, row] { removeExtendedAttribute(row); });
    }
    if (row->key() == QStringLiteral("Encoded_Date")) {
        menu->addSeparator();
        QAction* touch = menu->addAction(tr("Set the File's Date to the Encoded Date"));
        connect(touch, &QAction::triggered, this, [this, row] { touchDate(row); });
    }
}

bool MainWindowCommands::removeExtendedAttribute(const ExtTreeItemPtr& row)
{
    const FilelistItemPtr item = view()->currentFile();
    const QString attribute = row ? attributeForRowKey(row->key()) : QString();
    if (!item || attribute.isEmpty())
        return false;
    FileError error;
    const bool removed = Utilities::removeExtendedAtrribute(attribute, item->filename(), &error);
    if (!removed)
        showError(tr("The file fact could not be removed: %1").arg(error.description));
    view()->reprocessCurrentFile();
    return removed;
}

bool MainWindowCommands::touchDate(const ExtTreeItemPtr& row)
{
    const FilelistItemPtr item = view()->currentFile();
    if (!item || !row || row->key() != QStringLiteral("Encoded_Date"))
        return false;
    // MediaInfo writes "2005-08-11 14:03:54 UTC" since its 21 series, "UTC 2005-08-11
    // 14:03:54" before: the date setter takes the older form.
    QString date = row->stringValue().trimmed();
    static const QRegularExpression trailingZone(
        QStringLiteral("^(\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}) UTC$"));
    if (const QRegularExpressionMatch match = trailingZone.match(date); match.hasMatch())
        date = QStringLiteral("UTC ") + match.captured(1);
    FileError error;
    const bool touched = Utilities::touchDate(date, item->filename(), &error);
    if (!touched)
        showError(error.description);
    view()->reprocessCurrentFile();
    return touched;
}

// ---- quick look ----------------------------------------------------------------------------

bool MainWindowCommands::isQuickLookShown() const
{
    return QuickLookWindow::isShown();
}

void MainWindowCommands::toggleQuickLook(const QString& path)
{
    if (isQuickLookShown()) {
        QuickLookWindow::instance().closePreview();
    } else {
        QString file = path;
        if (file.isEmpty())
            if (const FilelistItemPtr item = view()->currentFile())
                file = item->filename();
        if (!file.isEmpty())
            QuickLookWindow::instance().previewFile(file, m_window);
    }
    updateStates();
}

// ---- double-clicks -------------------------------------------------------------------------

bool MainWindowCommands::showLocation(const MapLocation& location)
{
    if (locationHandler())
        return locationHandler()(location);
    // The map window centres the current file's location; a search in the browser when
    // it has none to show.
    if (MainWindowViews::showLocationOfCurrentFile(m_window))
        return true;
    return QDesktopServices::openUrl(externalMapSearchUrl(location));
}

void MainWindowCommands::generalRowDoubleClicked(const ExtTreeItemPtr& row)
{
    if (!row || !row->isLocation())
        return;
    if (const PerspixDataPtr data = view()->currentData())
        if (data->mapLocation())
            showLocation(*data->mapLocation());
}

void MainWindowCommands::outlineRowDoubleClicked(const QModelIndex& index)
{
    const ExtTreeItemPtr row =
        view()->outline()->treeModel()->itemForIndex(index.siblingAtColumn(0));
    const PerspixDataPtr data = view()->currentData();
    if (!row || !data)
        return;
    const QString key = row->key();
    if ((key == QStringLiteral("ThumbCount") && row->value().toLongLong() >= 1) ||
        key == QStringLiteral("Cover") || key == QStringLiteral("Thumbnail")) {
        openEmbeddedPictures();
    } else if (key == kQuickTimeLocation) {
        if (data->mapLocation())
            showLocation(*data->mapLocation());
        else if (const auto location = PerspixData::locationFromIso6709(row->stringValue()))
            showLocation(*location);
    }
}

void MainWindowCommands::coverDoubleClicked()
{
    if (view()->generalView()->coverView()->coverFromFile())
        openEmbeddedPictures();
}

QStringList MainWindowCommands::openEmbeddedPictures()
{
    const FilelistItemPtr item = view()->currentFile();
    const PerspixDataPtr data = view()->currentData();
    if (!item || !data)
        return {};
    const std::optional<QString> folder =
        Utilities::createTemporaryFolderWithName(Utilities::sha1String(item->filename()));
    if (!folder)
        return {};
    QStringList files;
    if (data->isImage())
        oEXIV2::savePreviewsOfFile(item->filename(), *folder, &files);
    else
        oMediaInfo::saveCoversOfFile(item->filename(), *folder, &files);
    emit embeddedPicturesSaved(files);
    if (!files.isEmpty())
        AppController::instance().processTemporaryFilesInNewWindow(files);
    return files;
}

} // namespace perspix
