// The statistics window (see ParameterStatisticsController.h).
#include "app/comparison/ParameterStatisticsController.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QSplitter>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>
#include <QWindow>

#include "app/Notifier.h"
#include "app/charts/StatisticsChartPanel.h"
#include "app/WindowInfo.h"
#include "app/WindowPlacement.h"
#include "app/mainwindow/ExtTreeModel.h"
#include "app/mainwindow/ExtendedOutline.h"
#include "app/mainwindow/MainWindowController.h"

namespace perspix {

namespace {
ExtTreeItemPtr itemOfIndex(const QModelIndex& index)
{
    const auto* model = qobject_cast<const ExtTreeModel*>(index.model());
    return model ? model->itemForIndex(index) : nullptr;
}

// The node the outline's selection stands for: its first selected row.
QModelIndex selectedNode(const ExtendedOutline* outline)
{
    if (!outline || !outline->selectionModel())
        return {};
    const QModelIndexList rows = outline->selectionModel()->selectedRows(0);
    return rows.isEmpty() ? QModelIndex() : rows.first();
}
} // namespace

ParameterStatisticsController& ParameterStatisticsController::sharedInstance()
{
    static ParameterStatisticsController* instance = new ParameterStatisticsController;
    return *instance;
}

ParameterStatisticsController::ParameterStatisticsController()
    : QWidget(nullptr, Qt::Window), m_title(new QLabel), m_table(new QTableView),
      m_model(new QStandardItemModel(this))
{
    setObjectName(QStringLiteral("ParameterStatistics"));
    m_title->setWordWrap(true);
    m_title->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont bold = m_title->font();
    bold.setBold(true);
    m_title->setFont(bold);

    m_table->setModel(m_model);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setAlternatingRowColors(true);
    m_table->verticalHeader()->hide();
    m_table->setWordWrap(true);
    m_table->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // The header has its sections only once the model has its columns: a resize mode set
    // before that indexes past the header's (empty) sections.
    m_model->setHorizontalHeaderLabels({tr("Value"), tr("Count")});
    m_table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_table->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);

    m_chart = new StatisticsChartPanel;
    auto* split = new QSplitter(Qt::Horizontal);
    split->addWidget(m_table);
    split->addWidget(m_chart);
    split->setStretchFactor(0, 2);
    split->setStretchFactor(1, 3);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_title);
    layout->addWidget(split, 1);
    resize(900, 420);
    resetValues();

    connect(&Notifier::instance(), &Notifier::advOutlineSelectionDidChange, this,
            &ParameterStatisticsController::outlineSelectionDidChange);
    connect(&Notifier::instance(), &Notifier::extComparisonTableSelectionDidChange, this,
            [this](QObject*, const ComparisonRow* row) { comparisonSelectionDidChange(row); });
    connect(qGuiApp, &QGuiApplication::focusWindowChanged, this,
            &ParameterStatisticsController::windowDidBecomeKey);
    connect(qApp, &QApplication::focusChanged, this,
            &ParameterStatisticsController::windowDidBecomeKey);
    connect(&Notifier::instance(), &Notifier::mainWindowWillClose, this,
            &ParameterStatisticsController::mainWindowWillClose);
    auto* close = new QAction(this);
    close->setShortcuts({QKeySequence::Close, QKeySequence(Qt::Key_Escape)});
    connect(close, &QAction::triggered, this, &QWidget::close);
    addAction(close);
}

void ParameterStatisticsController::mainWindowWillClose(QWidget* window)
{
    if (!m_sourceWindow || window != m_sourceWindow.data())
        return;
    // The counts of a closed window's files go; the next active window's selection, if it
    // has one, takes their place.
    m_sourceWindow = nullptr;
    m_lastKeyWindow = nullptr;
    resetValues();
}

void ParameterStatisticsController::showForNode(const QModelIndex& node, const Filelist& filelist,
                                                const DataCacher* cacher)
{
    ParameterStatisticsController& controller = sharedInstance();
    controller.prepareForNode(node, filelist, cacher);
    controller.m_sourceWindow = WindowInfo::mainWindowOf(QApplication::activeWindow());
    controller.show();
}

void ParameterStatisticsController::prepareForNode(const QModelIndex& node,
                                                   const Filelist& filelist,
                                                   const DataCacher* cacher)
{
    const ExtTreeItemPtr item = itemOfIndex(node);
    const ExtTreeItemPtr parent = itemOfIndex(node.parent());
    if (!item || !parent)
        return;
    QStringList filenames;
    filenames.reserve(filelist.size());
    for (const FilelistItemPtr& file : filelist)
        if (file)
            filenames.append(file->filename());
    const auto cached = [cacher](const QString& filename) -> PerspixDataPtr {
        return cacher ? cacher->dataFromCacheForFile(filename) : nullptr;
    };
    if (const std::optional<StatisticsContent> content =
            ParameterStatistics::prepareForNode(item, parent, filenames, cached))
        setContent(content->rows, content->label);
}

void ParameterStatisticsController::prepareForComparisonRow(const ComparisonRow* row)
{
    const StatisticsContent content = ParameterStatistics::prepareForComparisonRow(row);
    setContent(content.rows, content.label);
}

void ParameterStatisticsController::resetValues()
{
    const StatisticsContent content = ParameterStatistics::resetValues();
    setContent(content.rows, content.label);
}

void ParameterStatisticsController::setContent(const QList<StatisticsRow>& rows,
                                               const QString& label)
{
    m_rows = rows;
    m_label = label;
    m_model->removeRows(0, m_model->rowCount());
    for (const StatisticsRow& row : rows) {
        auto* value = new QStandardItem(row.paramValue);
        value->setToolTip(row.paramValue);
        if (row.paramValue == ParameterStatistics::notSetValue()) {
            QFont italic = value->font();
            italic.setItalic(true);
            value->setFont(italic);
        }
        auto* count = new QStandardItem(QString::number(row.paramCount));
        count->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        m_model->appendRow({value, count});
    }
    m_chart->setContent(rows, label);
    // The title of a tree parameter ends with a line feed; a window title shows one line.
    const QString title = label.trimmed();
    setWindowTitle(title);
    // An empty table says how to fill it, rather than leaving a bare heading.
    m_title->setText(rows.isEmpty() ? tr("Select a parameter in the Extended tab or in an "
                                         "extended comparison to count its values.")
                                    : title);
    QFont font = m_title->font();
    font.setBold(!rows.isEmpty());
    m_title->setFont(font);
    m_table->resizeRowsToContents();
}

void ParameterStatisticsController::show()
{
    if (!isVisible())
        WindowPlacement::keepOnScreen(this);
    QWidget::show();
    raise();
    activateWindow();
}

void ParameterStatisticsController::hide()
{
    QWidget::hide();
    resetValues();
}

void ParameterStatisticsController::closeEvent(QCloseEvent* event)
{
    QWidget::closeEvent(event);
    resetValues();
}

void ParameterStatisticsController::prepareAndShow()
{
    readSelectionOf(QApplication::activeWindow());
    show();
}

bool ParameterStatisticsController::readSelectionOf(QWidget* window)
{
    if (const std::optional<ComparisonRow> row = WindowInfo::comparisonSelectionInfo(window)) {
        prepareForComparisonRow(&*row);
        m_sourceWindow = WindowInfo::mainWindowOf(window);
        return true;
    }
    if (const std::optional<AdvOutlineSelection> outline =
            WindowInfo::advOutlineSelectionInfo(window)) {
        const QModelIndex node = selectedNode(outline->outline);
        if (node.isValid()) {
            prepareForNode(node, outline->userInfo.filelist, outline->userInfo.cacher);
            m_sourceWindow = WindowInfo::mainWindowOf(window);
            return true;
        }
    }
    return false;
}

void ParameterStatisticsController::outlineSelectionDidChange(QObject* outline, QWidget* window)
{
    if (!isVisible())
        return;
    auto* view = qobject_cast<ExtendedOutline*>(outline);
    const QModelIndex node = selectedNode(view);
    if (!node.isValid()) {
        resetValues();
        return;
    }
    MainWindowController* main = WindowInfo::mainWindowOf(window);
    const std::optional<FilelistDesc> desc =
        main ? main->myView()->filelistDesc() : std::optional<FilelistDesc>();
    if (!desc) {
        resetValues();
        return;
    }
    prepareForNode(node, desc->filelist, desc->cacher);
    m_sourceWindow = main;
}

void ParameterStatisticsController::comparisonSelectionDidChange(const ComparisonRow* row)
{
    if (isVisible())
        prepareForComparisonRow(row);
}

void ParameterStatisticsController::windowDidBecomeKey()
{
    if (!isVisible())
        return;
    QWidget* window = QApplication::activeWindow();
    if (!window || window == m_lastKeyWindow.data())
        return;
    m_lastKeyWindow = window;
    if (window == this)
        return;
    if (readSelectionOf(window))
        return;
    if (WindowInfo::answersExtComparisonSelectionInfo(window)) {
        const std::optional<ComparisonRow> row = WindowInfo::extComparisonSelectionInfo(window);
        prepareForComparisonRow(row ? &*row : nullptr);
    }
}

} // namespace perspix
