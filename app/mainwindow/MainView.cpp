// The content of a main window (see MainView.h).
#include "app/mainwindow/MainView.h"

#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/AppController.h"
#include "app/Notifier.h"
#include "app/ParameterFont.h"
#include "app/mainwindow/ArrangedFilelistModel.h"
#include "app/mainwindow/ExtTreeModel.h"
#include "app/mainwindow/ExtendedOutline.h"
#include "app/mainwindow/ExtendedOutlineDelegate.h"
#include "app/mainwindow/FilelistListing.h"
#include "app/mainwindow/FilelistModel.h"
#include "app/mainwindow/FilelistView.h"
#include "app/mainwindow/GeneralView.h"
#include "app/mainwindow/OutlineDelegate.h"
#include "batch/WindowWorker.h"
#include "export/HTMLEntities/HTMLEntities.h"
#include "export/PerspixProject.h"
#include "filelist/FilelistFiller.h"
#include "model/Keys.h"
#include "model/Log.h"
#include "readers/mediainfo/oMediaInfo.h"

namespace perspix {

namespace {
constexpr int kBusyDelayMs = 400;
constexpr int kDropDelayMs = 100;
// Results that arrive within this time rearrange the list once: a stream of stored results
// came at a thousand a second, each rearranging and repainting the list.
constexpr int kRearrangeMs = 50;
// A listing done within this time is handled at once, as if listed on the main thread; a
// longer one lets the window answer the user meanwhile.
constexpr int kListingWaitMs = 40;
// From this many files on, a new list is taken in over a few turns of the event loop.
constexpr qsizetype kStepsFrom = 5000;

// Escape in a search field: a callback instead of the field's own handling.
class EscapeFilter : public QObject
{
public:
    EscapeFilter(QObject* parent, std::function<bool()> onEscape)
        : QObject(parent), m_onEscape(std::move(onEscape))
    {
    }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress &&
            static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape && m_onEscape())
            return true;
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<bool()> m_onEscape;
};
} // namespace

MainView::MainView(QWidget* window)
    : QObject(window), m_window(window), m_model(new FilelistModel(this)),
      m_arranged(new ArrangedFilelistModel(m_model, this)), m_listingWaitMs(kListingWaitMs),
      m_stepsFrom(kStepsFrom)
{
    m_rearrangeTimer.setSingleShot(true);
    m_rearrangeTimer.setInterval(kRearrangeMs);
    connect(&m_rearrangeTimer, &QTimer::timeout, this, &MainView::rearrangeNow);
    m_busyTimer.setSingleShot(true);
    m_busyTimer.setInterval(kBusyDelayMs);
    connect(&m_busyTimer, &QTimer::timeout, this, [this] {
        if (m_busyItem && m_worker && m_worker->currentFile() == m_busyItem &&
            !m_busyItem->isProcessed())
            m_general->setBusy(true);
    });

    buildSidebar();
    m_general = new GeneralView;
    connect(m_general, &GeneralView::streamRowDoubleClicked, this, &MainView::showStreamGroup);
    buildExtendedPage();
    m_custom = new QPlainTextEdit;
    m_custom->setReadOnly(true);
    m_custom->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_custom->setPlaceholderText(tr("The Diagnostics menu shows ExifTool's report or the raw XMP "
                                    "of the selected file here."));
    applyDisplaySettings();
    connect(&Notifier::instance(), &Notifier::parameterDisplayDidChange, this,
            &MainView::applyDisplaySettings);
    updateTotalDurationAndFileCount();
    updateTotalProgress();
    m_pagesForTheWindow = {m_sidebar, m_general, m_extendedPage, m_custom, m_nameSearch};
}

MainView::~MainView()
{
    m_listings.clear();
    if (m_cacher) {
        m_cacher->setDelegate(nullptr);
        m_cacher->cancelThreads();
    }
    // The pages a window places are its own; those no window took go with the view.
    for (const QPointer<QWidget>& page : m_pagesForTheWindow)
        if (page && !page->parent())
            delete page.data();
}

void MainView::buildSidebar()
{
    m_sidebar = new QWidget;
    m_globalSearch = new QLineEdit(m_sidebar);
    m_globalSearch->setPlaceholderText(tr("Search in metadata"));
    m_globalSearch->setClearButtonEnabled(true);
    // A click or the find command enters it; a new window does not start in it, where it
    // would take the keys of Export (Ctrl+E) and Quick Look (Space).
    m_globalSearch->setFocusPolicy(Qt::ClickFocus);
    m_globalSearch->setToolTip(tr("Shows only the files whose metadata contains the text "
                                  "(press Enter)"));
    connect(m_globalSearch, &QLineEdit::returnPressed, this, &MainView::updateFilelistFilter);
    connect(m_globalSearch, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (text.isEmpty() && !m_arranged->contentFilter().isEmpty())
            updateFilelistFilter();
    });
    connect(m_globalSearch, &QLineEdit::editingFinished, this, [this] {
        // The field leaves the keyboard's tab chain until a click or the find command.
        m_globalSearch->setFocusPolicy(Qt::ClickFocus);
    });

    m_nameSearch = new QLineEdit;
    m_nameSearch->setPlaceholderText(tr("Filter file names"));
    m_nameSearch->setClearButtonEnabled(true);
    m_nameSearch->setFocusPolicy(Qt::ClickFocus); // as the metadata search: not at start
    connect(m_nameSearch, &QLineEdit::textChanged, this, &MainView::updateFilelistFilter);
    m_nameSearch->installEventFilter(new EscapeFilter(m_nameSearch, [this] {
        if (m_nameSearch->text().isEmpty())
            return false;
        m_nameSearch->clear();
        return true;
    }));

    m_listView = new FilelistView(this, m_sidebar);
    m_listView->setModel(m_arranged);
    connect(m_listView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &MainView::onSelectionChanged);
    connect(m_listView, &FilelistView::removeRequested, this, &MainView::removeSelectedRows);

    m_totals = new QLabel(m_sidebar);
    m_totals->setAlignment(Qt::AlignCenter);
    m_totals->setWordWrap(true);
    QFont small = m_totals->font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    m_totals->setFont(small);
    m_progress = new QProgressBar(m_sidebar);
    m_progress->setTextVisible(false);
    m_progress->setMaximumHeight(8);

    auto* layout = new QVBoxLayout(m_sidebar);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);
    layout->addWidget(m_globalSearch);
    layout->addWidget(m_listView, 1);
    layout->addWidget(m_progress);
    layout->addWidget(m_totals);
}

void MainView::buildExtendedPage()
{
    m_extendedPage = new QWidget;
    m_extSearchBar = new QWidget(m_extendedPage);
    m_extSearch = new QLineEdit(m_extSearchBar);
    m_extSearch->setPlaceholderText(tr("Search parameters and values (Enter to apply)"));
    m_extSearch->setClearButtonEnabled(true);
    connect(m_extSearch, &QLineEdit::returnPressed, this, &MainView::applyExtendedSearch);
    m_extSearch->installEventFilter(new EscapeFilter(m_extSearch, [this] {
        hideExtendedSearchBar();
        return true;
    }));
    auto* done = new QToolButton(m_extSearchBar);
    done->setText(tr("Done"));
    done->setAutoRaise(true);
    connect(done, &QToolButton::clicked, this, &MainView::hideExtendedSearchBar);
    auto* barLayout = new QHBoxLayout(m_extSearchBar);
    barLayout->setContentsMargins(0, 0, 0, 4);
    barLayout->addWidget(m_extSearch, 1);
    barLayout->addWidget(done);
    m_extSearchBar->hide();

    m_outline = new ExtendedOutline(m_extendedPage);
    m_outlineState = new ExtendedOutlineDelegate(this);
    m_outline->setStateDelegate(m_outlineState);
    connect(m_outline->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        emit Notifier::instance().advOutlineSelectionDidChange(m_outline, m_window);
    });

    auto* layout = new QVBoxLayout(m_extendedPage);
    layout->addWidget(m_extSearchBar);
    layout->addWidget(m_outline, 1);
}

const Filelist& MainView::filelist() const
{
    return m_model->filelist();
}

Filelist MainView::arrangedFilelist() const
{
    return m_arranged->arrangedItems();
}

int MainView::filelistRowOfItem(const FilelistItemPtr& item) const
{
    return m_model->rowOfItem(item);
}

void MainView::applyDisplaySettings()
{
    const bool wrap = m_ud.boolValue(prefs::kWrapLongLines);
    const bool rightAlign = m_ud.boolValue(prefs::kExtParameterRightAlign);
    for (OutlineDelegate* delegate : {m_outline->rowDelegate(), m_general->streamDelegate()}) {
        delegate->setWrapLongLines(wrap);
        delegate->setRightAlignNames(rightAlign);
    }
    m_outline->rowDelegate()->setBoldNames(m_ud.boolValue(prefs::kFirstColumnBold));
    const QFont font = parameterFont(m_outline->font(), m_ud.intValue(prefs::kExtFontSize));
    if (font != m_outline->font()) {
        m_outline->setFont(font);
        m_outline->rowDelegate()->relayout();
    }
}

// ---- processing a list -----------------------------------------------------------------

void MainView::replaceCacher()
{
    if (m_cacher) {
        m_cacher->cancelThreads();
        m_cacher->setDelegate(nullptr);
        if (m_worker)
            m_worker->setDataCacher(nullptr);
        m_model->setCacher(nullptr);
        m_cacher.reset();
    }
    m_cacher = std::make_unique<DataCacher>();
    m_cacher->setMTMode(quint32(m_ud.intValue(prefs::kMTMode)));
    if (m_analyser)
        m_cacher->setAnalyser(m_analyser);
    else // reopening a folder shows what was analysed before at once
        m_cacher->setResultStore(ResultStore::forSettings(m_ud));
    // The window shows films' frames; other users of the analysis do not make them. Covers
    // that need a full decode are made when their file is on screen (CoverMaker).
    m_cacher->setOptionsProvider([] {
        QVariantMap options = Settings().analysisOptions();
        options.insert(keys::kOptMakeFilmFrames, true);
        options.insert(keys::kOptDeferSlowCovers, true);
        return options;
    });
    m_cacher->setDelegate(this);
    if (m_worker)
        m_worker->setDataCacher(m_cacher.get());
    m_model->setCacher(m_cacher.get());
}

void MainView::processFiles(const QList<QUrl>& urls)
{
    processFilesWithSecurityScopedFlag(urls, false, {});
}

void MainView::processFilesWithSecurityScopedFlag(const QList<QUrl>& urls, bool securityScoped,
                                                  const QList<QUrl>& recentItems)
{
    m_selecting = true;
    m_listView->selectionModel()->clearSelection();
    m_model->clear();
    m_selecting = false;
    m_totalDuration = 0;
    m_totals->clear();
    if (m_worker)
        m_worker->setCurrentFile(nullptr);

    replaceCacher();
    // Listings still under way were for the list now replaced.
    m_listings.clear();
    m_steps.clear();
    listThen(urls, securityScoped, [this, urls, recentItems](const Filelist& items) {
        // The cacher starts after the list is shown and before the first row is selected:
        // results then find their rows, and the selected file waits its turn in list order.
        runSteps(items.size(), {[this, items] {
                                    if (m_worker)
                                        m_worker->startNewProcessingWithFiles(items, true);
                                },
                                [this, items, urls, recentItems] {
                                    m_model->appendItems(items);
                                    AppController::instance().noteRecentDocuments(
                                        recentItems.isEmpty() ? urls : recentItems);
                                    arrangedListDidChange();
                                    updateTotalDurationAndFileCount();
                                    updateTotalProgress();
                                },
                                [this, items, urls] {
                                    m_cacher->processFiles(items);
                                    if (!items.isEmpty())
                                        selectRow(0);
                                    else
                                        processFileAtIndex(-1);
                                    emit filesAdded(urls);
                                }});
    });
}

void MainView::processAdditionalFilesAtIndex(const QList<QUrl>& urls, int index)
{
    if (m_model->filelist().isEmpty() && m_listings.empty() && m_steps.empty()) {
        processFiles(urls);
        return;
    }
    listThen(urls, false, [this, urls, index](const Filelist& items) {
        runSteps(items.size(), {[this, items] {
                                    if (m_worker)
                                        m_worker->startNewProcessingWithFiles(items, false);
                                },
                                [this, items, urls, index] {
                                    const int firstNewRow = m_arranged->rowCount();
                                    const int count = int(m_model->filelist().size());
                                    if (index >= 0 && index + 1 <= count)
                                        m_model->insertItems(index, items);
                                    else
                                        m_model->appendItems(items);
                                    AppController::instance().noteRecentDocuments(urls);
                                    arrangedListDidChange();
                                    updateTotalDurationAndFileCount();
                                    updateTotalProgress();
                                    m_cacher->processFiles(items);
                                    if (index == -2 && !items.isEmpty())
                                        selectRow(firstNewRow);
                                    emit filesAdded(urls);
                                }});
    });
}

void MainView::listThen(const QList<QUrl>& urls, bool securityScoped,
                        std::function<void(const Filelist&)> then)
{
    auto listing =
        std::make_unique<FilelistListing>(urls, securityScoped, [this] { runFinishedListings(); });
    FilelistListing* started = listing.get();
    m_listings.push_back({std::move(listing), std::move(then)});
    if (m_listings.size() == 1 && started->waitFor(m_listingWaitMs))
        runFinishedListings();
}

void MainView::runFinishedListings()
{
    while (m_steps.empty() && !m_listings.empty() && m_listings.front().listing->isDone()) {
        PendingListing head = std::move(m_listings.front());
        m_listings.pop_front();
        if (m_isWindowClosing)
            continue;
        head.then(head.listing->take());
    }
}

void MainView::runSteps(qsizetype items, std::vector<std::function<void()>> steps)
{
    if (items < m_stepsFrom && m_steps.empty()) {
        for (const auto& step : steps)
            step();
        return;
    }
    for (auto& step : steps)
        m_steps.push_back(std::move(step));
    postNextStep();
}

void MainView::postNextStep()
{
    if (m_stepPosted || m_steps.empty())
        return;
    m_stepPosted = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_stepPosted = false;
            if (m_steps.empty())
                return;
            const std::function<void()> step = std::move(m_steps.front());
            m_steps.pop_front();
            step();
            if (m_steps.empty())
                runFinishedListings();
            else
                postNextStep();
        },
        Qt::QueuedConnection);
}

void MainView::processPerspixProject(const std::shared_ptr<PerspixProject>& project)
{
    if (!project)
        return;
    processFilesWithSecurityScopedFlag(project->documents().value_or(QList<QUrl>()), true,
                                       {project->projectUrl()});
}

void MainView::processAdditionalFiles(const QList<QUrl>& urls)
{
    processAdditionalFilesAtIndex(urls, -1);
}

void MainView::processAdditionalFilesAndSelectFirst(const QList<QUrl>& urls)
{
    processAdditionalFilesAtIndex(urls, -2);
}

// ---- selecting a file --------------------------------------------------------------------

void MainView::selectRow(int row)
{
    if (row < 0 || row >= m_arranged->rowCount())
        return;
    const QModelIndex index = m_arranged->index(row, 0);
    m_listView->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    m_listView->scrollTo(index);
}

int MainView::selectedRow() const
{
    const QModelIndexList rows = m_listView->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return -1;
    const QModelIndex current = m_listView->selectionModel()->currentIndex();
    if (current.isValid() && m_listView->selectionModel()->isSelected(current))
        return current.row();
    return rows.first().row();
}

void MainView::onSelectionChanged()
{
    if (m_selecting)
        return;
    const int row = selectedRow();
    if (row < 0) {
        if (m_arranged->rowCount() == 0)
            processFileAtIndex(-1);
        return;
    }
    const FilelistItemPtr item = m_arranged->itemAt(row);
    if (m_worker && item == m_worker->currentFile())
        return;
    processFile(item);
}

void MainView::processFileAtIndex(int row)
{
    if (row < 0) {
        if (m_arranged->rowCount() == 0) {
            clearDisplay();
            if (m_worker)
                m_worker->setCurrentFile(nullptr);
            emit currentFileChanged();
            emit Notifier::instance().workerFileDidChange(m_worker);
        }
        return;
    }
    if (const FilelistItemPtr item = m_arranged->itemAt(row))
        processFile(item);
}

void MainView::processFile(const FilelistItemPtr& item)
{
    if (!item)
        return;
    if (m_worker)
        m_worker->setCurrentFile(item);
    emit currentFileChanged();
    emit Notifier::instance().workerFileDidChange(m_worker);

    m_busyTimer.stop();
    m_general->setBusy(false);
    const PerspixDataPtr data =
        m_cacher ? m_cacher->dataFromCacheForFile(item->filename()) : nullptr;
    if (data) {
        showPerspixData(data);
        return;
    }
    clearDisplay();
    if (!m_cacher)
        return;
    if (m_cacher->isFileFailed(item->filename())) {
        m_general->showCannotProcess(item->filename(), m_cacher->failureOfFile(item->filename()));
        return;
    }
    scheduleBusyIndicator(item);
    if (m_cacher->processFileFirstly(item))
        m_cacher->processFiles({});
}

void MainView::reprocessCurrentFile()
{
    const FilelistItemPtr item = currentFile();
    if (!item || !m_cacher)
        return;
    m_cacher->removeFileFromCache(item->filename());
    item->setIsProcessed(false);
    scheduleBusyIndicator(item);
    if (m_cacher->processFileFirstly(item))
        m_cacher->processFiles({});
}

void MainView::scheduleBusyIndicator(const FilelistItemPtr& item)
{
    m_busyItem = item;
    m_busyTimer.start();
}

bool MainView::isBusyIndicatorShown() const
{
    return m_general->isBusy();
}

void MainView::clearDisplay()
{
    m_general->clearDisplay();
    m_outline->setContent({});
}

// ---- results -------------------------------------------------------------------------------

void MainView::applyDataToItem(const FilelistItemPtr& item, const PerspixDataPtr& data)
{
    item->setData(data);
    item->setIsProcessed(true);
    if (m_worker)
        m_worker->fileIsReady(item);
    m_model->itemChanged(item);
}

void MainView::dataCacherNewObjectReady(const CacherResult& result)
{
    if (m_isWindowClosing)
        return;
    PerspixDataPtr data = result.data;
    if (!data && (result.status == kStatusCachedOnRequest || result.status == kStatusCached) &&
        m_cacher)
        data = m_cacher->dataFromCacheForFile(result.filename);

    if (m_worker && data && data->duration > 0 &&
        ((result.data && result.status != kStatusAnalysedOnRequest) ||
         (!result.data && result.status == kStatusCached)))
        m_worker->setIsTotalDurationChanged(true);

    // A message without an item answers a queue entry that waited while another worker
    // analysed the same path (the path is listed more than once): every listed item of
    // that path that still waits takes the result, so that none stays unprocessed.
    Filelist items;
    if (result.file) {
        items.append(result.file);
    } else {
        for (const FilelistItemPtr& item : m_model->filelist())
            if (item->filename() == result.filename && !item->isProcessed())
                items.append(item);
    }
    for (const FilelistItemPtr& item : items)
        applyDataToItem(item, data);

    scheduleRearrange();
    if (selectedRow() < 0 && m_arranged->rowCount() > 0)
        selectRow(0);
    updateTotalDurationAndFileCount();
    updateTotalProgress();

    const FilelistItemPtr current = currentFile();
    if (current && items.contains(current)) {
        m_busyTimer.stop();
        m_general->setBusy(false);
        showPerspixData(data);
        emit Notifier::instance().workerFileDidChange(m_worker);
    }
}

void MainView::showPerspixData(const PerspixDataPtr& data)
{
    m_busyTimer.stop();
    m_general->setBusy(false);
    const FilelistItemPtr item = currentFile();
    const QString path = item ? item->filename() : (data ? data->filename : QString());
    if (!data && m_cacher && !path.isEmpty() && m_cacher->isFileFailed(path))
        m_general->showCannotProcess(path, m_cacher->failureOfFile(path));
    else
        m_general->showData(data, path);
    if (!data || !data->generalInfo()) {
        m_outline->setContent({});
        return;
    }
    const QString search =
        m_extSearchBar->isVisibleTo(m_extendedPage) ? m_extSearch->text() : QString();
    m_outline->setContent(data->extendedContentHaving(search));
}

// ---- arranged list, totals, progress -------------------------------------------------------

void MainView::scheduleRearrange()
{
    // A burst of results rearranges once, a moment after the first of them.
    if (!m_rearrangeTimer.isActive())
        m_rearrangeTimer.start();
}

void MainView::rearrangeNow()
{
    m_rearrangeTimer.stop();
    m_selecting = true;
    const FilelistItemPtr current = currentFile();
    m_arranged->rearrange();
    m_selecting = false;
    // The current file may have left or re-entered the arranged list.
    const int row = current ? m_arranged->rowOfItem(current) : -1;
    if (row >= 0 && selectedRow() != row && m_listView->selectionModel()->selectedRows().isEmpty())
        selectRow(row);
    arrangedListDidChange();
}

void MainView::arrangedListDidChange()
{
    updateTotalDurationAndFileCount();
    emit Notifier::instance().windowArrangedFilelistDidChange(m_window);
    if (selectedRow() < 0 && m_arranged->rowCount() > 0)
        selectRow(0);
    else if (m_arranged->rowCount() == 0)
        processFileAtIndex(-1);
    emit arrangedFilelistChanged();
}

void MainView::updateFilelistFilter()
{
    m_arranged->setNameFilter(m_nameSearch->text());
    m_arranged->setContentFilter(m_globalSearch->text());
    rearrangeNow();
}

void MainView::setHideUnknownFiles(bool hide)
{
    m_arranged->setHideUnknownFiles(hide);
    updateFilelistFilter();
}

qint64 MainView::sumOfDurations(const Filelist& items) const
{
    qint64 sum = 0;
    for (const FilelistItemPtr& item : items) {
        const PerspixDataPtr data =
            m_cacher ? m_cacher->dataFromCacheForFile(item->filename()) : item->data();
        if (data)
            sum += data->duration;
    }
    return sum;
}

QString MainView::totalsText() const
{
    return m_totals->text();
}

void MainView::updateTotalDurationAndFileCount()
{
    const qsizetype whole = m_model->filelist().size();
    const qsizetype arranged = m_arranged->rowCount();
    if (whole == 0) {
        m_totals->clear();
        m_totals->hide();
        return;
    }
    m_totals->show();
    const QString count = arranged == whole
                              ? QStringLiteral("%1 files").arg(arranged)
                              : QStringLiteral("%1 files (of %2 total)").arg(arranged).arg(whole);
    if (!m_worker || !m_worker->processingIsDone()) {
        m_totals->setText(count);
        return;
    }
    qint64 total = 0;
    if (m_worker->isTotalDurationChanged()) {
        m_totalDuration = sumOfDurations(m_model->filelist());
        m_worker->setIsTotalDurationChanged(false);
        total = m_totalDuration;
    } else if (arranged < whole) {
        total = sumOfDurations(m_arranged->arrangedItems());
    } else {
        total = m_totalDuration;
    }
    const QString duration = (total == 0 || arranged == 0)
                                 ? QStringLiteral("00:00:00")
                                 : oMediaInfo::formatDurationUpToSeconds(total);
    m_totals->setText(QStringLiteral("%1 in %2").arg(duration, count));
}

bool MainView::canExportAll() const
{
    return m_worker && m_worker->processingIsDone() && m_arranged->rowCount() > 0;
}

void MainView::updateTotalProgress()
{
    const qint64 processed = m_worker ? m_worker->countProcessed() : 0;
    const qint64 toProcess = m_worker ? m_worker->countToProcess() : 0;
    m_progress->setMaximum(int(std::max<qint64>(toProcess, 1)));
    m_progress->setValue(int(std::min(processed, toProcess)));
    m_progress->setToolTip(QStringLiteral("%1 of %2 processed").arg(processed).arg(toProcess));
    const bool done = !m_worker || m_worker->processingIsDone();
    m_progress->setVisible(!done && toProcess >= 2);
    emit progressChanged();
}

// ---- removing and dropping -----------------------------------------------------------------

void MainView::removeSelectedRows()
{
    Filelist items;
    for (const QModelIndex& index : m_listView->selectionModel()->selectedRows())
        if (const FilelistItemPtr item = m_arranged->itemAt(index.row()))
            items.append(item);
    removeItems(items);
}

void MainView::removeItems(const Filelist& items)
{
    const Filelist removed = m_model->removeItems(items);
    if (removed.isEmpty())
        return;
    itemsDidRemove(removed);
}

void MainView::itemsDidRemove(const Filelist& items)
{
    if (m_worker) {
        for (const FilelistItemPtr& item : items)
            m_worker->fileIsRemoved(item);
        m_worker->setIsTotalDurationChanged(true);
        if (items.contains(m_worker->currentFile()))
            m_worker->setCurrentFile(nullptr);
    }
    updateTotalProgress();
    arrangedListDidChange();
}

Qt::DropAction MainView::validateDrop(DropRequest& request) const
{
    const int end = m_arranged->rowCount();
    if (request.ownRows) {
        if (request.source == this)
            return Qt::MoveAction;
        if (request.mask == dragmask::kCopy || !request.source)
            return Qt::CopyAction;
        if (request.mask == dragmask::kCopyGeneric) {
            request.row = end;
            return Qt::CopyAction;
        }
        if (request.mask == dragmask::kGeneric)
            request.row = end;
        return Qt::MoveAction;
    }
    if (request.urls.isEmpty())
        return Qt::IgnoreAction;
    if (request.mask == dragmask::kGeneric) {
        request.row = end;
        return Qt::MoveAction;
    }
    return (request.mask & dragmask::kCopy) ? Qt::CopyAction : Qt::IgnoreAction;
}

bool MainView::acceptDrop(const DropRequest& request)
{
    // The drop row counts rows of the arranged list; files go before the same file of the
    // whole list.
    const int arrangedCount = m_arranged->rowCount();
    const int listIndex = request.row < arrangedCount
                              ? m_model->rowOfItem(m_arranged->itemAt(request.row))
                              : int(m_model->filelist().size());
    const QPointer<MainView> self(this);
    const auto later = [self](std::function<void(MainView*)> step) {
        QTimer::singleShot(kDropDelayMs, [self, step] {
            if (self && !self->m_isWindowClosing)
                step(self);
        });
    };

    if (request.ownRows && request.source == this) {
        if (request.sourceRows.size() != 1) {
            logLine(QStringLiteral("moving multiple files is not supported yet"));
            return false;
        }
        if (!m_model->moveItem(request.sourceRows.first(), listIndex))
            return false;
        arrangedListDidChange();
        return true;
    }
    const QList<QUrl> urls = request.urls;
    if (urls.isEmpty())
        return false;
    if (request.ownRows) {
        if (request.mask == dragmask::kGeneric || request.mask == dragmask::kCopyGeneric)
            later([urls](MainView* view) { view->processFiles(urls); });
        else if (request.row >= arrangedCount)
            later([urls](MainView* view) { view->processAdditionalFiles(urls); });
        else
            later([urls, listIndex](MainView* view) {
                view->processAdditionalFilesAtIndex(urls, listIndex);
            });
        return true;
    }
    if (request.mask == dragmask::kGeneric)
        later([urls](MainView* view) { view->processFiles(urls); });
    else
        later([urls, listIndex](MainView* view) {
            view->processAdditionalFilesAtIndex(urls, listIndex);
        });
    return true;
}

// ---- searches ------------------------------------------------------------------------------

void MainView::showExtendedSearchBar()
{
    m_extSearchBar->show();
    m_extSearch->setFocus();
    m_extSearch->selectAll();
}

void MainView::hideExtendedSearchBar()
{
    m_extSearchBar->hide();
    m_outline->setFocus();
    showPerspixData(currentData());
}

void MainView::applyExtendedSearch()
{
    updateFilelistFilter();
    if (const PerspixDataPtr data = currentData())
        m_outline->setContent(data->extendedContentHaving(m_extSearch->text()));
}

void MainView::focusGlobalSearch()
{
    m_globalSearch->setFocusPolicy(Qt::StrongFocus);
    m_globalSearch->setFocus();
    m_globalSearch->selectAll();
}

// ---- collections ---------------------------------------------------------------------------

FilelistItemPtr MainView::currentFile() const
{
    return m_worker ? m_worker->currentFile() : nullptr;
}

PerspixDataPtr MainView::currentData() const
{
    const FilelistItemPtr item = currentFile();
    if (!item || !m_cacher)
        return nullptr;
    return m_cacher->dataFromCacheForFile(item->filename());
}

QList<PerspixDataPtr> MainView::filesForComparison() const
{
    QList<PerspixDataPtr> files;
    if (!m_cacher)
        return files;
    const qint64 limit = m_ud.intValue(prefs::kCompareFilesLimit);
    for (const FilelistItemPtr& item : m_arranged->arrangedItems()) {
        if (files.size() >= limit)
            break;
        if (const PerspixDataPtr data = m_cacher->dataFromCacheForFile(item->filename()))
            files.append(data);
    }
    return files;
}

QList<FileRecord> MainView::arrayWithDataForExport() const
{
    QList<FileRecord> records;
    if (!m_cacher)
        return records;
    for (const FilelistItemPtr& item : m_arranged->arrangedItems())
        if (const PerspixDataPtr data = m_cacher->dataFromCacheForFile(item->filename()))
            records.append({item->filename(), item->prefixedPath(), data});
    return records;
}

std::optional<FilelistDesc> MainView::filelistDesc() const
{
    if (!m_cacher || m_model->filelist().isEmpty())
        return std::nullopt;
    return FilelistDesc{m_arranged->arrangedItems(), m_cacher.get()};
}

// ---- commands ------------------------------------------------------------------------------

void MainView::copyGeneralInfo()
{
    const FilelistItemPtr item = currentFile();
    const PerspixDataPtr data = currentData();
    if (!item || !data)
        return;
    const QString name = QFileInfo(item->filename()).fileName();
    const QString text = QStringLiteral("%1\n%2\n%3")
                             .arg(name, QString(name.size(), QLatin1Char('-')),
                                  data->stringForExportGeneral().value_or(QString()));
    QApplication::clipboard()->setText(text);
}

void MainView::copyExtendedRows(const QModelIndex& clicked)
{
    const ExtTreeList items = m_outline->itemsForCopy(clicked);
    if (items.isEmpty())
        return;
    QStringList text;
    QStringList html;
    for (const ExtTreeItemPtr& item : items) {
        text.append(item->extValue());
        if (item->hasChildren()) {
            html.append(
                QStringLiteral("<tr><td><b>%1</b></td><td></td></tr>")
                    .arg(HTMLEntities::stringByEncodingHTMLEntitiesUnicode(item->extValue())));
        } else {
            html.append(QStringLiteral("<tr><td>%1</td><td>%2</td></tr>")
                            .arg(HTMLEntities::stringByEncodingHTMLEntitiesUnicode(item->name()),
                                 HTMLEntities::stringWithNewLinesAsBRs(
                                     HTMLEntities::stringByEncodingHTMLEntitiesUnicode(
                                         item->stringValue()))));
        }
    }
    auto* mime = new QMimeData;
    mime->setText(text.join(QLatin1Char('\n')));
    mime->setHtml(
        QStringLiteral("<table cellspacing=0>%1</table>").arg(html.join(QLatin1Char('\n'))));
    QApplication::clipboard()->setMimeData(mime);
}

void MainView::showStreamGroup(const ExtTreeItemPtr& streamLine)
{
    if (!streamLine || !streamLine->isMediaStream())
        return;
    const QModelIndex group =
        m_outline->topLevelGroup(streamLine->key(), streamLine->mediaStreamIndex());
    if (!group.isValid())
        return;
    m_outline->selectionModel()->setCurrentIndex(group, QItemSelectionModel::ClearAndSelect |
                                                            QItemSelectionModel::Rows);
    emit selectedStreamGroup();
    m_outline->scrollRowToTheTop(group);
}

void MainView::setWindowIsClosing()
{
    if (m_cacher)
        m_cacher->cancelThreadsAndWait();
    m_isWindowClosing = true;
    if (m_cacher)
        m_cacher->setDelegate(nullptr);
    m_busyTimer.stop();
    m_rearrangeTimer.stop();
    m_listings.clear();
    m_steps.clear();
}

} // namespace perspix
