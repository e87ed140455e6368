// A main window and its commands (see MainWindowController.h).
#include "app/mainwindow/MainWindowController.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSplitter>
#include <QStackedWidget>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include "app/AppController.h"
#include "app/Notifier.h"
#include "app/commands/MainWindowCommands.h"
#include "app/mainwindow/ArrangedFilelistModel.h"
#include "app/mainwindow/DropTargetView.h"
#include "app/mainwindow/ExtendedOutline.h"
#include "app/mainwindow/FilelistView.h"
#include "app/mainwindow/GeneralView.h"
#include "app/mainwindow/MainView.h"
#include "app/mainwindow/MainWindowViews.h"
#include "app/platform/FilesAndFoldersDialog.h"
#include "batch/WindowWorker.h"
#include "export/PerspixProject.h"
#include "model/NativePath.h"

namespace perspix {

namespace {
constexpr int kSidebarMinWidth = 160;
// A name as lists show it: a folder, a camera's file name.
constexpr char kTypicalListedName[] = "images/IMG_20240612_181502.jpg";
constexpr int kContentMinWidth = 350;
constexpr int kDropDelayMs = 100;
const QString kWindowFrame = QStringLiteral("windowFrame/MainWindow");

QIcon themeIcon(const QString& name, QStyle::StandardPixmap fallback)
{
    return QIcon::fromTheme(name, QApplication::style()->standardIcon(fallback));
}
} // namespace

MainWindowController::MainWindowController(QWidget* parent) : QMainWindow(parent)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setAcceptDrops(true);
    setWindowTitle(QStringLiteral("Perspix"));

    m_worker = std::make_unique<WindowWorker>();
    m_view = new MainView(this);
    m_view->setWorker(m_worker.get());
    connect(m_view, &MainView::currentFileChanged, this, &MainWindowController::updateWindowTitle);
    connect(m_view, &MainView::selectedStreamGroup, this, [this] { setCurrentTab(ExtendedTab); });

    buildContent();
    buildActions();
    buildMenus();
    buildToolbar();
    MainWindowCommands::attach(this);
    MainWindowViews::attach(this);

    // The window's life starts from the stored choices.
    m_hideUnknownFiles = m_ud.boolValue(prefs::kHideUnknownFiles);
    m_view->arrangedModel()->setHideUnknownFiles(m_hideUnknownFiles);
    m_hideUnknownAction->setChecked(m_hideUnknownFiles);
    m_openSidebar = !m_ud.boolValue(prefs::kSidebarIsHidden);
    m_openSidebarForComparison = false;
    applySidebarPosition(int(m_ud.intValue(prefs::kSidebarPos)));
    // Until the user sets a width by dragging, the list is wide enough for typical names.
    const int width = std::max(kSidebarMinWidth, m_ud.contains(prefs::kSidebarWidth)
                                                     ? int(m_ud.realValue(prefs::kSidebarWidth))
                                                     : fittingSidebarWidth());
    m_splitter->setSizes(m_sidebarPos == 0 ? QList<int>{width, 10000} : QList<int>{10000, width});
    setSidebarVisible(m_openSidebar, false);
    // The keys go to the list first, not to a search field.
    m_view->filelistView()->setFocus();

    const QByteArray frame = m_ud.value(kWindowFrame).toByteArray();
    if (frame.isEmpty() || !restoreGeometry(frame)) {
        QSize size(1120, 720);
        if (const QScreen* screen = QApplication::primaryScreen())
            size = size.boundedTo(screen->availableSize() - QSize(40, 60));
        resize(size);
    }
    updateWindowTitle();
}

MainWindowController::~MainWindowController()
{
    // The view's cacher and the worker go first: their results must not reach a half
    // destroyed window.
    if (!m_closing)
        m_view->setWindowIsClosing();
}

void MainWindowController::buildContent()
{
    m_tabs = new QStackedWidget;
    m_tabs->addWidget(m_view->generalView());
    m_tabs->addWidget(m_view->extendedPage());
    m_comparisonPage = new QLabel(tr("Open the comparison of the listed files from the "
                                     "Comparison commands."));
    static_cast<QLabel*>(m_comparisonPage)->setAlignment(Qt::AlignCenter);
    m_tabs->addWidget(m_comparisonPage);
    m_tabs->addWidget(m_view->customView());
    m_tabs->setMinimumWidth(kContentMinWidth);

    // An empty window invites files in place of its tabs.
    m_dropTarget = new DropTargetView;
    connect(m_dropTarget, &DropTargetView::openRequested, this,
            &MainWindowController::openDocument);
    m_content = new QStackedWidget;
    m_content->addWidget(m_dropTarget);
    m_content->addWidget(m_tabs);
    const auto updateContent = [this] {
        m_content->setCurrentWidget(
            m_view->filelist().isEmpty() ? static_cast<QWidget*>(m_dropTarget) : m_tabs);
    };
    connect(m_view, &MainView::arrangedFilelistChanged, this, updateContent);
    connect(m_view, &MainView::progressChanged, this, updateContent);

    m_view->sidebar()->setMinimumWidth(kSidebarMinWidth);
    m_splitter = new QSplitter(Qt::Horizontal);
    m_splitter->setChildrenCollapsible(false);
    m_splitter->addWidget(m_view->sidebar());
    m_splitter->addWidget(m_content);
    m_splitter->setStretchFactor(0, 0);
    m_splitter->setStretchFactor(1, 1);
    setCentralWidget(m_splitter);
    connect(m_splitter, &QSplitter::splitterMoved, this, [this] {
        if (isSidebarVisible())
            m_ud.setValue(prefs::kSidebarWidth, double(sidebarWidth()));
    });
    setMinimumWidth(kSidebarMinWidth + kContentMinWidth + m_splitter->handleWidth());

    // Context menus of the list and the outline.
    auto* list = m_view->filelistView();
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list, &QWidget::customContextMenuRequested, this, [this, list](const QPoint& pos) {
        QMenu menu(this);
        fillFilelistMenu(&menu, list->indexAt(pos));
        menu.exec(list->viewport()->mapToGlobal(pos));
    });
    auto* outline = m_view->outline();
    outline->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(outline, &QWidget::customContextMenuRequested, this,
            [this, outline](const QPoint& pos) {
                QMenu menu(this);
                const QModelIndex index = outline->indexAt(pos);
                QAction* copyRows = menu.addAction(tr("Copy"));
                copyRows->setEnabled(index.isValid() || outline->selectionModel()->hasSelection());
                MainWindowCommands::of(this)->addOutlineCommands(&menu, index);
                MainWindowViews::addOutlineCommands(this, &menu, index);
                if (menu.exec(outline->viewport()->mapToGlobal(pos)) == copyRows)
                    m_view->copyExtendedRows(index);
            });
}

void MainWindowController::fillFilelistMenu(QMenu* menu, const QModelIndex& index)
{
    auto* list = m_view->filelistView();
    QAction* remove = menu->addAction(tr("Remove from List"));
    remove->setEnabled(index.isValid());
    const QPersistentModelIndex clicked(index);
    connect(remove, &QAction::triggered, this, [this, list, clicked] {
        if (!clicked.isValid())
            return;
        if (list->selectionModel()->isSelected(clicked))
            m_view->removeSelectedRows();
        else if (const FilelistItemPtr item = m_view->arrangedModel()->itemAt(clicked.row()))
            m_view->removeItems({item});
    });
    MainWindowCommands::of(this)->addFilelistCommands(menu, index);
}

void MainWindowController::buildActions()
{
    const auto make = [this](const QString& text, const QKeySequence& key,
                             const std::function<void()>& slot) {
        auto* action = new QAction(text, this);
        if (!key.isEmpty())
            action->setShortcut(key);
        connect(action, &QAction::triggered, this, slot);
        addAction(action);
        return action;
    };
    m_openAction = make(tr("&Open…"), QKeySequence::Open, [this] { openDocument(); });
    m_openAction->setIcon(themeIcon(QStringLiteral("document-open"), QStyle::SP_DialogOpenButton));
    m_addAction = make(tr("&Add Files…"), QKeySequence(tr("Ctrl+Shift+O")), [this] { addFiles(); });
    m_addAction->setIcon(themeIcon(QStringLiteral("list-add"), QStyle::SP_FileDialogNewFolder));
    m_openDirAction =
        make(tr("Open &Folder…"), QKeySequence(tr("Ctrl+Alt+O")), [this] { openDirectory(); });
    m_closeAction = make(tr("&Close Window"), QKeySequence::Close, [this] { close(); });
    m_removeAction =
        make(tr("&Remove from List"), QKeySequence(), [this] { m_view->removeSelectedRows(); });
    m_quitAction = make(tr("&Quit"), QKeySequence::Quit, [] {
        // Quit means quit, also when the application would stay in the tray.
        QApplication::closeAllWindows();
        if (!AppController::instance().hasVisibleWindows())
            QApplication::quit();
    });
    m_quitAction->setMenuRole(QAction::QuitRole);

    m_copyAction = make(tr("&Copy"), QKeySequence::Copy, [this] { copy(); });
    m_copyAction->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    m_copyGeneralAction = make(tr("Copy &General Info"), QKeySequence(tr("Ctrl+Shift+C")),
                               [this] { copyGeneralInfo(); });
    m_findAction = make(tr("&Find…"), QKeySequence::Find, [this] { find(); });
    m_findInProjectAction =
        make(tr("Find in &List"), QKeySequence(tr("Ctrl+Shift+F")), [this] { findInProject(); });
    m_findInMetadataAction = make(tr("Search &Metadata of All Files"),
                                  QKeySequence(tr("Ctrl+Alt+F")), [this] { findInMetadata(); });
    m_preferencesAction = make(tr("&Preferences…"), QKeySequence(tr("Ctrl+,")),
                               [] { AppController::instance().openPreferences(); });
    m_preferencesAction->setMenuRole(QAction::PreferencesRole);

    m_tabGroup = new QActionGroup(this);
    m_tabGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    const QStringList tabNames = {tr("&General"), tr("&Extended"), tr("&Comparison"),
                                  tr("C&ustom")};
    for (int i = 0; i < tabNames.size(); ++i) {
        QAction* action = make(tabNames[i], QKeySequence(QStringLiteral("Ctrl+%1").arg(i + 1)),
                               [this, i] { setCurrentTab(i); });
        action->setCheckable(true);
        m_tabGroup->addAction(action);
        m_tabActions.append(action);
    }
    m_tabActions.first()->setChecked(true);

    m_sidebarAction =
        make(tr("Hide &Sidebar"), QKeySequence(Qt::Key_F9), [this] { toggleSidebar(); });
    m_sidebarAction->setIcon(
        themeIcon(QStringLiteral("view-sidetree"), QStyle::SP_FileDialogListView));
    m_exchangeAction = make(tr("E&xchange Views"), QKeySequence(), [this] { exchangeViews(); });
    m_fullScreenAction = make(tr("&Full Screen"), QKeySequence(Qt::Key_F11), [this] {
        if (isFullScreen())
            showNormal();
        else
            showFullScreen();
    });
    m_fullScreenAction->setCheckable(true);
    m_wrapAction = make(tr("&Wrap Long Lines"), QKeySequence(), [this] { toggleWrapLongLines(); });
    m_wrapAction->setCheckable(true);
    m_hideUnknownAction = make(tr("&Hide Unknown Files"), QKeySequence(tr("Ctrl+Shift+H")),
                               [this] { toggleHideUnknownFiles(); });
    m_hideUnknownAction->setCheckable(true);
    m_hideUnknownAction->setIcon(
        themeIcon(QStringLiteral("view-filter"), QStyle::SP_FileDialogDetailedView));

    m_newWindowAction = make(tr("&New Window"), QKeySequence::New,
                             [] { AppController::instance().showNewWindowForFiles({}); });
    m_minimizeAction =
        make(tr("Mi&nimize"), QKeySequence(tr("Ctrl+M")), [this] { showMinimized(); });
    m_aboutAction = make(tr("&About Perspix"), QKeySequence(),
                         [this] { AppController::instance().openAboutPanel(this); });
    m_aboutAction->setMenuRole(QAction::AboutRole);
    m_acknowledgmentsAction = make(tr("A&cknowledgments"), QKeySequence(),
                                   [this] { AppController::instance().openAcknowledgments(this); });
}

void MainWindowController::buildMenus()
{
    QMenu* file = menuBar()->addMenu(tr("&File"));
    file->setObjectName(QStringLiteral("fileMenu"));
    file->addAction(m_openAction);
    file->addAction(m_addAction);
    file->addAction(m_openDirAction);
    m_recentMenu = file->addMenu(tr("Open &Recent"));
    connect(m_recentMenu, &QMenu::aboutToShow, this, &MainWindowController::updateRecentMenu);
    file->addSeparator();
    file->addAction(m_removeAction);
    file->addSeparator();
    file->addAction(m_closeAction);
    file->addAction(m_quitAction);

    QMenu* edit = menuBar()->addMenu(tr("&Edit"));
    edit->addAction(m_copyAction);
    edit->addAction(m_copyGeneralAction);
    edit->addSeparator();
    edit->addAction(m_findAction);
    edit->addAction(m_findInProjectAction);
    edit->addAction(m_findInMetadataAction);
    edit->addSeparator();
    edit->addAction(m_preferencesAction);

    QMenu* view = menuBar()->addMenu(tr("&View"));
    for (QAction* action : m_tabActions)
        view->addAction(action);
    view->addSeparator();
    view->addAction(m_sidebarAction);
    view->addAction(m_exchangeAction);
    view->addAction(m_fullScreenAction);
    view->addSeparator();
    view->addAction(m_wrapAction);
    view->addAction(m_hideUnknownAction);

    m_windowMenu = menuBar()->addMenu(tr("&Window"));
    connect(m_windowMenu, &QMenu::aboutToShow, this, &MainWindowController::updateWindowMenu);

    QMenu* help = menuBar()->addMenu(tr("&Help"));
    help->addAction(m_aboutAction);
    help->addAction(m_acknowledgmentsAction);

    for (QMenu* menu : {file, edit, view})
        connect(menu, &QMenu::aboutToShow, this, &MainWindowController::updateMenuStates);
    updateMenuStates();
}

void MainWindowController::buildToolbar()
{
    QToolBar* toolbar = addToolBar(tr("Toolbar"));
    toolbar->setObjectName(QStringLiteral("mainToolbar"));
    toolbar->setMovable(false);
    toolbar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    toolbar->addAction(m_sidebarAction);
    toolbar->addAction(m_openAction);
    toolbar->addAction(m_hideUnknownAction);

    const auto spacer = [toolbar] {
        auto* space = new QWidget(toolbar);
        space->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
        toolbar->addWidget(space);
    };
    spacer();
    auto* segments = new QToolBar(toolbar);
    segments->setToolButtonStyle(Qt::ToolButtonTextOnly);
    m_segmentGroup = new QActionGroup(this);
    m_segmentGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    const QStringList names = {tr("General"), tr("Extended"), tr("Comparison")};
    for (int i = 0; i < names.size(); ++i) {
        auto* segment = new QAction(names[i], segments);
        segment->setCheckable(true);
        segment->setChecked(i == currentTab());
        m_segmentGroup->addAction(segment);
        connect(segment, &QAction::triggered, this, [this, i] { setCurrentTab(i); });
        segments->addAction(segment);
        m_segmentActions.append(segment);
    }
    toolbar->addWidget(segments);
    spacer();
    QLineEdit* search = m_view->fileNameSearchField();
    search->setMaximumWidth(240);
    search->setMinimumWidth(140);
    toolbar->addWidget(search);
}

// ---- URLs ----------------------------------------------------------------------------------

void MainWindowController::processUrls(const QList<QUrl>& urls)
{
    QPointer<MainWindowController> self(this);
    const bool project =
        urls.size() == 1 &&
        QFileInfo(urls.first().toLocalFile()).suffix().toLower() == PerspixProject::kExtension;
    QTimer::singleShot(0, this, [self, urls, project] {
        if (!self || self->m_closing)
            return;
        if (project) {
            const PerspixProjectPtr opened = PerspixProject::projectWithUrl(urls.first());
            self->m_worker->setProject(opened);
            self->m_view->processPerspixProject(opened);
        } else {
            // A plain list belongs to no project; the title must not keep the old name.
            self->m_worker->setProject(nullptr);
            self->m_view->processFiles(urls);
        }
        self->updateWindowTitle();
    });
}

// ---- tabs and sidebar ----------------------------------------------------------------------

int MainWindowController::currentTab() const
{
    return m_tabs->currentIndex();
}

void MainWindowController::setCurrentTab(int index)
{
    if (index < 0 || index > CustomTab)
        index = GeneralTab;
    if (index == currentTab())
        return;
    if (!isSidebarVisible() || currentTab() == ComparisonTab)
        m_openSidebarForComparison = isSidebarVisible();
    const bool wanted = index == ComparisonTab ? m_openSidebarForComparison : m_openSidebar;
    m_tabs->setCurrentIndex(index);
    m_view->sidebar()->setVisible(wanted);
    updateMenuStates();
    for (int i = 0; i < m_tabActions.size(); ++i)
        m_tabActions[i]->setChecked(i == index);
    for (int i = 0; i < m_segmentActions.size(); ++i)
        m_segmentActions[i]->setChecked(i == index);
    if (index == ExtendedTab)
        m_view->outline()->setFocus();
    emit tabChanged(index);
}

bool MainWindowController::isSidebarVisible() const
{
    return m_view->sidebar()->isVisibleTo(const_cast<MainWindowController*>(this));
}

void MainWindowController::setSidebarVisible(bool visible, bool remember)
{
    m_view->sidebar()->setVisible(visible);
    if (remember) {
        if (currentTab() != ComparisonTab)
            m_openSidebar = visible;
        m_ud.setValue(prefs::kSidebarIsHidden, !visible);
    } else if (currentTab() != ComparisonTab) {
        m_openSidebar = visible;
    }
    updateMenuStates();
}

void MainWindowController::toggleSidebar()
{
    m_sidebarAutoHidden = false;
    setSidebarVisible(!isSidebarVisible());
}

void MainWindowController::hideSidebarForSingleFile()
{
    setSidebarVisible(false, false);
    m_sidebarAutoHidden = true;
}

int MainWindowController::sidebarWidth() const
{
    return m_view->sidebar()->width();
}

bool MainWindowController::isShowingDropTarget() const
{
    return m_content->currentWidget() == m_dropTarget;
}

int MainWindowController::fittingSidebarWidth() const
{
    const QListView* list = m_view->filelistView();
    const int text = list->fontMetrics().horizontalAdvance(QLatin1String(kTypicalListedName));
    // Icon, its spacing, the list's frame and margins and a scroll bar.
    return std::max(kSidebarMinWidth, text + list->iconSize().width() + 48);
}

void MainWindowController::applySidebarPosition(int pos)
{
    m_sidebarPos = pos == 1 ? 1 : 0;
    const int wanted = m_sidebarPos == 0 ? 0 : 1;
    if (m_splitter->indexOf(m_view->sidebar()) != wanted)
        m_splitter->insertWidget(wanted, m_view->sidebar());
    m_splitter->setStretchFactor(m_splitter->indexOf(m_content), 1);
    m_splitter->setStretchFactor(m_splitter->indexOf(m_view->sidebar()), 0);
}

void MainWindowController::exchangeViews()
{
    const QList<int> sizes = m_splitter->sizes();
    applySidebarPosition(1 - m_sidebarPos);
    QList<int> swapped = sizes;
    std::reverse(swapped.begin(), swapped.end());
    m_splitter->setSizes(swapped);
    m_ud.setValue(prefs::kSidebarPos, m_sidebarPos);
}

void MainWindowController::toggleHideUnknownFiles()
{
    m_hideUnknownFiles = !m_hideUnknownFiles;
    m_ud.setValue(prefs::kHideUnknownFiles, m_hideUnknownFiles);
    m_hideUnknownAction->setChecked(m_hideUnknownFiles);
    m_view->setHideUnknownFiles(m_hideUnknownFiles);
}

void MainWindowController::toggleWrapLongLines()
{
    m_ud.setValue(prefs::kWrapLongLines, !m_ud.boolValue(prefs::kWrapLongLines));
    emit Notifier::instance().wrapLongLinesDidChanged(this);
}

void MainWindowController::applyWrapSetting()
{
    m_view->applyDisplaySettings();
    m_wrapAction->setChecked(m_ud.boolValue(prefs::kWrapLongLines));
}

QString MainWindowController::projectName() const
{
    const auto& project = m_worker ? m_worker->project() : nullptr;
    return project ? project->projectName() : QString();
}

void MainWindowController::updateWindowTitle()
{
    WindowWorker* worker = m_worker.get();
    const FilelistItemPtr item = worker ? worker->currentFile() : nullptr;
    if (!item) {
        setWindowFilePath(QString());
        setWindowTitle(QStringLiteral("Perspix"));
        return;
    }
    const QString name = NativePath::shown(QFileInfo(item->filename()).fileName());
    const QString project = projectName();
    setWindowFilePath(item->filename());
    setWindowTitle(project.isEmpty() ? name : QStringLiteral("%1 — %2").arg(name, project));
}

// ---- commands ------------------------------------------------------------------------------

FilesAndFoldersDialog* MainWindowController::openDocument()
{
    auto* dialog = new FilesAndFoldersDialog(this, tr("Open"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    connect(dialog, &FilesAndFoldersDialog::itemsChosen, this,
            [this](const QList<QUrl>& urls) { processUrls(urls); });
    dialog->open();
    return dialog;
}

FilesAndFoldersDialog* MainWindowController::addFiles()
{
    auto* dialog = new FilesAndFoldersDialog(this, tr("Add Files"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    connect(dialog, &FilesAndFoldersDialog::itemsChosen, this, [this](const QList<QUrl>& urls) {
        QPointer<MainWindowController> self(this);
        QTimer::singleShot(0, this, [self, urls] {
            if (self)
                self->m_view->processAdditionalFiles(urls);
        });
    });
    dialog->open();
    return dialog;
}

void MainWindowController::openDirectory()
{
    const QString folder = QFileDialog::getExistingDirectory(this, tr("Open Folder"));
    if (!folder.isEmpty())
        processUrls({NativePath::url(NativePath::ofShown(folder))});
}

void MainWindowController::find()
{
    if (currentTab() != ExtendedTab)
        return;
    m_view->showExtendedSearchBar();
}

void MainWindowController::findInProject()
{
    m_view->fileNameSearchField()->setFocus();
    m_view->fileNameSearchField()->selectAll();
}

void MainWindowController::findInMetadata()
{
    if (!isSidebarVisible())
        setSidebarVisible(true);
    m_view->focusGlobalSearch();
}

void MainWindowController::copy()
{
    QWidget* focus = QApplication::focusWidget();
    if (auto* edit = qobject_cast<QLineEdit*>(focus)) {
        edit->copy();
        return;
    }
    if (currentTab() == ExtendedTab)
        m_view->copyExtendedRows();
    else if (currentTab() == ComparisonTab)
        MainWindowViews::copyComparisonRows(this);
    else
        copyGeneralInfo();
}

void MainWindowController::copyGeneralInfo()
{
    m_view->copyGeneralInfo();
}

void MainWindowController::setComparisonPage(QWidget* page)
{
    const int index = m_tabs->indexOf(m_comparisonPage);
    m_tabs->insertWidget(index, page);
    m_tabs->removeWidget(m_comparisonPage);
    m_comparisonPage->deleteLater();
    m_comparisonPage = page;
}

void MainWindowController::updateMenuStates()
{
    const bool sidebarShown = isSidebarVisible();
    m_sidebarAction->setText(sidebarShown ? tr("Hide &Sidebar") : tr("Show &Sidebar"));
    m_sidebarAction->setIconText(tr("Sidebar"));
    m_findAction->setEnabled(currentTab() == ExtendedTab);
    m_copyGeneralAction->setEnabled(m_view->currentData() != nullptr);
    m_removeAction->setEnabled(!m_view->filelist().isEmpty());
    m_wrapAction->setChecked(m_ud.boolValue(prefs::kWrapLongLines));
    m_hideUnknownAction->setChecked(m_hideUnknownFiles);
    m_fullScreenAction->setChecked(isFullScreen());
}

void MainWindowController::updateRecentMenu()
{
    m_recentMenu->clear();
    const QList<QUrl> recent = AppController::instance().recentDocuments();
    for (const QUrl& url : recent) {
        QAction* action = m_recentMenu->addAction(QFileInfo(url.toLocalFile()).fileName());
        action->setToolTip(url.toLocalFile());
        connect(action, &QAction::triggered, this,
                [url] { AppController::instance().doWorkInNewWindow({url}); });
    }
    if (recent.isEmpty())
        m_recentMenu->addAction(tr("No Recent Files"))->setEnabled(false);
    m_recentMenu->addSeparator();
    m_recentMenu->addAction(tr("Clear Menu"), this,
                            [] { AppController::instance().clearRecentDocuments(); });
}

void MainWindowController::updateWindowMenu()
{
    m_windowMenu->clear();
    m_windowMenu->addAction(m_newWindowAction);
    m_windowMenu->addAction(m_minimizeAction);
    m_windowMenu->addSeparator();
    for (MainWindowController* window : AppController::instance().windows()) {
        QAction* action = m_windowMenu->addAction(window->windowTitle());
        action->setCheckable(true);
        action->setChecked(window == this);
        connect(action, &QAction::triggered, window, [window] {
            window->showNormal();
            window->raise();
            window->activateWindow();
        });
    }
}

// ---- window life and drops ------------------------------------------------------------------

void MainWindowController::closeEvent(QCloseEvent* event)
{
    if (m_closing) {
        event->accept();
        return;
    }
    m_closing = true;
    const bool hidden = !isSidebarVisible();
    if (!hidden)
        m_ud.setValue(prefs::kSidebarWidth, double(sidebarWidth()));
    // What the next window starts with is the choice for the information tabs: not the
    // comparison tab's own, nor a sidebar hidden because the window shows one file.
    if (!m_sidebarAutoHidden)
        m_ud.setValue(prefs::kSidebarIsHidden,
                      currentTab() == ComparisonTab ? !m_openSidebar : hidden);
    m_ud.setValue(kWindowFrame, saveGeometry());
    emit Notifier::instance().mainWindowWillClose(this);
    m_view->setWindowIsClosing();
    // The application stores the window's tab: the store is written after that, so that
    // Quit, which ends the program right after closing the windows, keeps it too.
    AppController::instance().windowClosed(this);
    m_ud.sync();
    m_view->setWorker(nullptr);
    m_worker.reset();
    emit closed(this);
    event->accept();
}

bool MainWindowController::isOwnDrag(const QDropEvent* event) const
{
    const QMimeData* mime = event->mimeData();
    return mime && mime->hasFormat(FilelistView::kOwnMimeType) &&
           AppController::instance().draggingSourceWindow() == m_view;
}

void MainWindowController::dragEnterEvent(QDragEnterEvent* event)
{
    if (isOwnDrag(event) || !event->mimeData() || !event->mimeData()->hasUrls()) {
        event->ignore();
        return;
    }
    m_dropTarget->setHighlighted(true);
    event->acceptProposedAction();
}

void MainWindowController::dragLeaveEvent(QDragLeaveEvent* event)
{
    m_dropTarget->setHighlighted(false);
    QMainWindow::dragLeaveEvent(event);
}

void MainWindowController::dragMoveEvent(QDragMoveEvent* event)
{
    if (isOwnDrag(event))
        event->ignore();
    else
        event->acceptProposedAction();
}

void MainWindowController::dropEvent(QDropEvent* event)
{
    m_dropTarget->setHighlighted(false);
    if (isOwnDrag(event) || !event->mimeData()) {
        event->ignore();
        return;
    }
    QList<QUrl> urls;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile())
            urls.append(url);
    if (urls.isEmpty()) {
        event->ignore();
        return;
    }
    const bool replace = dragmask::fromModifiers(event->modifiers()) == dragmask::kGeneric;
    QPointer<MainWindowController> self(this);
    QTimer::singleShot(kDropDelayMs, this, [self, urls, replace] {
        if (!self || self->m_closing)
            return;
        if (replace)
            self->m_view->processFiles(urls);
        else
            self->m_view->processAdditionalFilesAndSelectFirst(urls);
    });
    event->acceptProposedAction();
}

} // namespace perspix
