// The privacy report window (see PrivacyWindowController.h).
#include "app/privacy/PrivacyWindowController.h"

#include <QAction>
#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/Notifier.h"
#include "app/WindowInfo.h"
#include "app/WindowPlacement.h"
#include "app/commands/StripCommands.h"
#include "app/mainwindow/MainView.h"
#include "app/mainwindow/MainWindowController.h"
#include "batch/ResultStore.h"
#include "batch/WindowWorker.h"
#include "model/Keys.h"
#include "model/Settings.h"
#include "privacy/PrivacyRemoval.h"

namespace perspix {

namespace {

constexpr int kRefreshDelayMs = 150;

QString cellText(const privacy::Report& report, privacy::Category category)
{
    int high = 0;
    int low = 0;
    for (const privacy::Finding& finding : report.findings) {
        if (finding.category != category)
            continue;
        (finding.level == privacy::Level::High ? high : low) += 1;
    }
    if (high > 0)
        return QObject::tr("high (%1)").arg(high + low);
    if (low > 0)
        return QObject::tr("low (%1)").arg(low);
    return {};
}

} // namespace

PrivacyWindowController& PrivacyWindowController::sharedInstance()
{
    static PrivacyWindowController* instance = new PrivacyWindowController;
    return *instance;
}

PrivacyWindowController::PrivacyWindowController()
    : QWidget(nullptr, Qt::Window), m_table(new QTableWidget(this)),
      m_findings(new QTreeWidget(this)), m_summary(new QLabel(this)),
      m_remove(new QPushButton(tr("Remove…"), this))
{
    setObjectName(QStringLiteral("PrivacyReport"));
    setWindowTitle(tr("Privacy Report"));

    QStringList columns{tr("File")};
    for (privacy::Category category : privacy::kCategories)
        columns.append(privacy::categoryName(category));
    m_table->setColumnCount(int(columns.size()));
    m_table->setHorizontalHeaderLabels(columns);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int c = 1; c < m_table->columnCount(); ++c)
        m_table->horizontalHeader()->setSectionResizeMode(c, QHeaderView::ResizeToContents);

    m_findings->setColumnCount(5);
    m_findings->setHeaderLabels(
        {tr("Category"), tr("Level"), tr("Parameter"), tr("Value"), tr("Removal")});
    m_findings->setRootIsDecorated(false);
    m_findings->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    // The values take the room that is left, not the removal hints.
    m_findings->header()->setStretchLastSection(false);
    m_findings->header()->setSectionResizeMode(3, QHeaderView::Stretch);

    m_summary->setWordWrap(true);
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_remove->setEnabled(false);
    m_remove->setToolTip(tr("Copies of the selected files without what the report found"));

    auto* splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(m_table);
    splitter->addWidget(m_findings);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_summary, 1);
    bottom->addWidget(m_remove, 0, Qt::AlignBottom);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(splitter, 1);
    layout->addLayout(bottom);
    resize(980, 560);
    auto* close = new QAction(this);
    close->setShortcuts({QKeySequence::Close, QKeySequence(Qt::Key_Escape)});
    connect(close, &QAction::triggered, this, &QWidget::close);
    addAction(close);

    m_refreshTimer.setSingleShot(true);
    m_refreshTimer.setInterval(kRefreshDelayMs);
    connect(&m_refreshTimer, &QTimer::timeout, this, &PrivacyWindowController::refresh);
    connect(m_table, &QTableWidget::itemSelectionChanged, this,
            &PrivacyWindowController::showFindingsOfSelection);
    connect(m_remove, &QPushButton::clicked, this, [this] { removeSelected(); });
    connect(&Notifier::instance(), &Notifier::windowArrangedFilelistDidChange, this,
            [this](QWidget* window) {
                if (m_window && window == m_window.data())
                    scheduleRefresh();
            });
    connect(&Notifier::instance(), &Notifier::workerFileDidChange, this,
            [this](WindowWorker* worker) {
                if (m_window && WindowInfo::windowOfWorker(worker) == m_window.data())
                    scheduleRefresh();
            });
    connect(qApp, &QApplication::focusChanged, this, &PrivacyWindowController::windowDidBecomeKey);
}

PrivacyWindowController::~PrivacyWindowController()
{
    if (m_reader) {
        m_reader->setDelegate(nullptr);
        m_reader->cancelThreadsAndWait();
    }
}

void PrivacyWindowController::dataCacherNewObjectReady(const CacherResult& result)
{
    const auto it = m_bothReaders.find(result.filename);
    if (it == m_bothReaders.end())
        return;
    it->data = result.data ? result.data : m_reader->dataFromCacheForFile(result.filename);
    it->done = true;
    m_reader->removeFileFromCache(result.filename);
    scheduleRefresh();
}

PerspixDataPtr PrivacyWindowController::reportedData(const FilelistItemPtr& item, bool* waiting)
{
    *waiting = !item->isProcessed();
    const PerspixDataPtr data = item->data();
    if (*waiting || privacy::Report::hasBothReaders(data.get()))
        return data;
    const QString path = item->filename();
    auto it = m_bothReaders.find(path);
    if (it != m_bothReaders.end() && it->mainData == data.get()) {
        *waiting = !it->done;
        // An image ExifTool could not read is still reported from Exiv2's reading.
        return it->done ? (it->data ? it->data : data) : nullptr;
    }
    if (!m_reader) {
        m_reader = std::make_unique<DataCacher>();
        Settings settings;
        m_reader->setMTMode(quint32(settings.intValue(prefs::kMTMode)));
        m_reader->setResultStore(ResultStore::forSettings(settings));
        m_reader->setOptionsProvider([] {
            QVariantMap options = Settings().analysisOptions();
            options.insert(keys::kOptSkipCoverPictures, true);
            return privacy::PrivacyReader::withBothReaders(options);
        });
        m_reader->setDelegate(this);
    }
    m_reader->removeFileFromCache(path);
    m_bothReaders.insert(path, BothReaders{data.get(), nullptr, false});
    m_reader->processFiles({FilelistItem::itemWithFilename(path, item->prefixedPath())});
    *waiting = true;
    return nullptr;
}

void PrivacyWindowController::showSharedPrivacyWindow()
{
    MainWindowController* main = WindowInfo::mainWindowOf(QApplication::activeWindow());
    // Without an active main window (the report window itself is active), the main window
    // shown last.
    if (!main && !m_window) {
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* candidate = qobject_cast<MainWindowController*>(widget);
                candidate && candidate->isVisible())
                main = candidate;
    }
    showReportsOfWindow(main ? main : m_window.data());
    if (!isVisible())
        WindowPlacement::keepOnScreen(this);
    show();
    raise();
    activateWindow();
}

void PrivacyWindowController::showReportsOfWindow(MainWindowController* window)
{
    if (m_window.data() != window) {
        if (m_window)
            disconnect(m_window->myView(), nullptr, this, nullptr);
        m_window = window;
        // Results arrive one by one; each burst is read once.
        if (window)
            connect(window->myView(), &MainView::arrangedFilelistChanged, this,
                    &PrivacyWindowController::scheduleRefresh);
    }
    refresh();
}

void PrivacyWindowController::scheduleRefresh()
{
    if (isVisible() && !m_refreshTimer.isActive())
        m_refreshTimer.start();
}

void PrivacyWindowController::windowDidBecomeKey()
{
    if (!isVisible())
        return;
    QWidget* active = QApplication::activeWindow();
    if (!active || active == this)
        return;
    MainWindowController* main = WindowInfo::mainWindowOf(active);
    if (main && main != m_window.data())
        showReportsOfWindow(main);
}

void PrivacyWindowController::refresh()
{
    QStringList selected;
    for (const QModelIndex& index : m_table->selectionModel()->selectedRows())
        if (index.row() < m_items.size())
            selected.append(m_items[index.row()]->filename());

    m_items = m_window ? m_window->myView()->arrangedFilelist() : Filelist();
    m_reports.clear();
    privacy::Tally tally;
    QSignalBlocker block(m_table);
    m_table->clearContents();
    m_table->setRowCount(int(m_items.size()));
    for (int row = 0; row < int(m_items.size()); ++row) {
        const FilelistItemPtr& item = m_items[row];
        bool waiting = false;
        const PerspixDataPtr data = reportedData(item, &waiting);
        privacy::Report report =
            waiting ? privacy::Report{} : privacy::Report::ofFile(item->filename(), data.get());
        report.file = item->filename();
        if (!waiting)
            tally.add(report);
        QString shown = item->prefixedPath();
        if (waiting)
            shown += tr(" (analysing)");
        else if (!report.complete)
            shown += tr(" (not read whole)");
        auto* name = new QTableWidgetItem(shown);
        name->setToolTip(item->filename());
        m_table->setItem(row, 0, name);
        for (int c = 0; c < privacy::kCategoryCount; ++c) {
            const QString text = cellText(report, privacy::kCategories[std::size_t(c)]);
            auto* cell = new QTableWidgetItem(text);
            if (text.startsWith(tr("high")))
                cell->setForeground(QColor(0xb0, 0x20, 0x20));
            m_table->setItem(row, c + 1, cell);
        }
        m_reports.append(report);
        if (selected.contains(item->filename()))
            m_table->selectRow(row);
    }
    m_summary->setText(m_items.isEmpty() ? tr("No files in the active window.") : tally.summary());
    block.unblock();
    showFindingsOfSelection();
}

void PrivacyWindowController::showFindingsOfSelection()
{
    m_findings->clear();
    const QModelIndexList rows = m_table->selectionModel()->selectedRows();
    m_remove->setEnabled(!rows.isEmpty());
    if (rows.size() != 1 || rows.first().row() >= m_reports.size()) {
        // Without one selected file the lower list says what it is for.
        auto* hint = new QTreeWidgetItem(m_findings);
        hint->setText(0, rows.isEmpty() ? tr("Select a file to see what it reveals.")
                                        : tr("Select one file to see what it reveals."));
        hint->setFlags(Qt::NoItemFlags);
        m_findings->setFirstColumnSpanned(0, QModelIndex(), true);
        return;
    }
    const privacy::Report& report = m_reports[rows.first().row()];
    if (!report.complete) {
        auto* line = new QTreeWidgetItem(m_findings);
        line->setText(3, tr("The file could not be read whole: findings may be missing."));
    }
    bool details = false;
    for (const privacy::Finding& finding : report.findings) {
        auto* line = new QTreeWidgetItem(m_findings);
        line->setText(0, privacy::categoryName(finding.category));
        line->setText(1, privacy::levelName(finding.level));
        line->setText(2, QStringLiteral("%1 (%2)").arg(finding.name, finding.section));
        line->setToolTip(2, finding.key);
        line->setText(3, finding.value);
        const QString removal = finding.removal.isEmpty()
                                    ? tr("not removable: %1").arg(finding.whyNot)
                                    : privacy::Report::removalTitle(finding.removal);
        line->setText(4, removal);
        line->setToolTip(4, removal);
        // A position lists the GPS tags it was read from below it.
        for (const privacy::Finding& detail : finding.details) {
            auto* tag = new QTreeWidgetItem(line);
            tag->setText(2, QStringLiteral("%1 (%2)").arg(detail.name, detail.section));
            tag->setToolTip(2, detail.key);
            tag->setText(3, detail.value);
            details = true;
        }
    }
    m_findings->setRootIsDecorated(details);
}

QWidget* PrivacyWindowController::removeSelected()
{
    if (!m_window)
        return nullptr;
    FileRecordList records;
    for (const QModelIndex& index : m_table->selectionModel()->selectedRows()) {
        if (index.row() >= m_items.size())
            continue;
        const FilelistItemPtr& item = m_items[index.row()];
        // The removal reads an image with both readers: what this window read is reused.
        bool waiting = false;
        const PerspixDataPtr data = reportedData(item, &waiting);
        if (data)
            records.append({item->filename(), item->prefixedPath(), data});
        else if (item->data())
            records.append({item->filename(), item->prefixedPath(), item->data()});
    }
    if (records.isEmpty())
        return nullptr;
    return StripCommands::removePrivacyFindings(records, m_window);
}

} // namespace perspix
