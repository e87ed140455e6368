// The comparison table (see ComparisonTableView.h).
#include "app/comparison/ComparisonTableView.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QStyledItemDelegate>
#include <algorithm>

#include "app/Notifier.h"
#include "app/ParameterFont.h"
#include "app/TextBreaks.h"
#include "app/comparison/ComparisonTableModel.h"
#include "comparison/ComparisonExport.h"

namespace perspix {

namespace {
constexpr int kTemplateColumnWidth = 180;
constexpr int kTitleColumnWidth = 200;
constexpr int kMinColumnWidth = 40;
constexpr int kMaxHighlightLevel = 9;

// Draws a cell in the colours the table chooses: faded, full strength or marked red, and
// header rows in bold across the whole row.
class ComparisonCellDelegate : public QStyledItemDelegate
{
public:
    explicit ComparisonCellDelegate(ComparisonTableView* table)
        : QStyledItemDelegate(table), m_table(table)
    {
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override
    {
        QStyleOptionViewItem opt(option);
        initStyleOption(&opt, index);
        const bool selected = opt.state & QStyle::State_Selected;
        const bool group = index.data(ComparisonTableModel::GroupRole).toBool();
        const auto colours = m_table->cellColours(index.row(), index.column(), selected);

        if (group) {
            const QColor base = opt.palette.color(QPalette::Base);
            const QColor text = opt.palette.color(QPalette::Text);
            QColor band = base;
            band.setRgbF(base.redF() * 0.9f + text.redF() * 0.1f,
                         base.greenF() * 0.9f + text.greenF() * 0.1f,
                         base.blueF() * 0.9f + text.blueF() * 0.1f);
            painter->fillRect(opt.rect, band);
            opt.font.setBold(true);
        }
        if (colours.background) {
            // The mark shows through the selection: the user looks for it on that row.
            painter->fillRect(opt.rect, *colours.background);
            opt.state &= ~QStyle::State_Selected;
            opt.backgroundBrush = Qt::NoBrush;
        }
        if (colours.text) {
            opt.palette.setColor(QPalette::Text, *colours.text);
            opt.palette.setColor(QPalette::HighlightedText, *colours.text);
        }
        if (index.column() == 0 && !group) {
            opt.font.setBold(m_table->boldNames());
            opt.displayAlignment =
                (m_table->rightAlignNames() ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignTop;
        } else {
            opt.displayAlignment = Qt::AlignLeft | Qt::AlignTop;
        }
        const QWidget* widget = opt.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
    }

    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (option->features & QStyleOptionViewItem::WrapText)
            option->text = withBreakOpportunities(option->text);
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem opt(option);
        initStyleOption(&opt, index);
        if ((index.column() == 0 && m_table->boldNames()) ||
            index.data(ComparisonTableModel::GroupRole).toBool())
            opt.font.setBold(true);
        const QWidget* widget = opt.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        return style->sizeFromContents(QStyle::CT_ItemViewItem, &opt, QSize(), widget);
    }

private:
    ComparisonTableView* m_table;
};

QColor withOpacity(QColor colour, double opacity)
{
    colour.setAlphaF(float(std::clamp(opacity, 0.0, 1.0)));
    return colour;
}
} // namespace

ComparisonTableConfig ComparisonTableConfig::tab()
{
    ComparisonTableConfig config = extended();
    config.marksDifferences = false;
    return config;
}

ComparisonTableConfig ComparisonTableConfig::extended()
{
    return {prefs::kExtComparisonHighlight, prefs::kExtComparisonHighlightValue,
            QStringLiteral("extComparisonColumnWidth%1"), true};
}

ComparisonTableConfig ComparisonTableConfig::general()
{
    return {prefs::kGenComparisonHighlight, prefs::kGenComparisonHighlightValue,
            QStringLiteral("genComparisonColumnWidth%1"), false};
}

ComparisonTableView::ComparisonTableView(const ComparisonTableConfig& config, QWidget* parent)
    : QTableView(parent), m_config(config), m_model(new ComparisonTableModel(this))
{
    setModel(m_model);
    setItemDelegate(new ComparisonCellDelegate(this));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(true);
    setGridStyle(Qt::DotLine);
    setCornerButtonEnabled(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setMinimumSectionSize(kMinColumnWidth);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setTextElideMode(Qt::ElideMiddle);

    m_textColor = palette().color(QPalette::Text);
    m_highlight = m_ud.boolValue(m_config.highlightKey);
    m_level =
        int(std::clamp<qint64>(m_ud.intValue(m_config.highlightLevelKey), 0, kMaxHighlightLevel));
    m_showCoincidences = m_config.marksDifferences && m_ud.boolValue(prefs::kShowCoincidences);
    applyFont();

    m_heightsTimer.setSingleShot(true);
    m_heightsTimer.setInterval(0);
    connect(&m_heightsTimer, &QTimer::timeout, this, &ComparisonTableView::recomputeRowHeights);
    connect(horizontalHeader(), &QHeaderView::sectionResized, this,
            &ComparisonTableView::columnResized);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { emit comparisonSelectionChanged(); });
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this] { emit comparisonSelectionChanged(); });
    m_wrap = m_ud.boolValue(prefs::kWrapLongLines);
    connect(&Notifier::instance(), &Notifier::parameterDisplayDidChange, this,
            &ComparisonTableView::applyDisplaySettings);
}

ComparisonTableView::~ComparisonTableView()
{
    disconnect(horizontalHeader(), nullptr, this, nullptr);
    setItemDelegate(nullptr);
}

const QList<ComparisonRow>& ComparisonTableView::content() const
{
    return m_model->content();
}

const QStringList& ComparisonTableView::description() const
{
    return m_model->description();
}

void ComparisonTableView::applyFont()
{
    m_boldNames = m_ud.boolValue(prefs::kFirstColumnBold);
    m_rightAlignNames = m_ud.boolValue(prefs::kExtParameterRightAlign);
    const QFont font = parameterFont(this->font(), m_ud.intValue(prefs::kExtFontSize));
    setFont(font);
    verticalHeader()->setDefaultSectionSize(QFontMetrics(font).height() + 6);
}

void ComparisonTableView::applyDisplaySettings()
{
    applyFont();
    setWrappingAsNeeded();
    viewport()->update();
}

void ComparisonTableView::setContent(const QList<ComparisonRow>& content,
                                     const QStringList& description)
{
    clearSpans();
    m_model->setContent(content, description);
    m_applyingWidths = true;
    setColumnWidth(0, kTitleColumnWidth);
    for (int i = 1; i <= description.size(); ++i) {
        const QString key = m_config.columnWidthKey.arg(i);
        const int stored = int(m_ud.intValue(key));
        setColumnWidth(i, stored >= kMinColumnWidth ? stored : kTemplateColumnWidth);
    }
    m_applyingWidths = false;
    for (int row = 0; row < content.size(); ++row)
        if (content[row].values.size() < 2 && description.size() > 0)
            setSpan(row, 0, 1, int(description.size()) + 1);
    setWrappingAsNeeded();
}

// ---- highlighting -----------------------------------------------------------------------

void ComparisonTableView::setHighlightDifferences(bool on)
{
    m_highlight = on;
    m_ud.setValue(m_config.highlightKey, on);
    m_highlightChanged = true;
    viewport()->update();
}

void ComparisonTableView::setHighlightValue(int level)
{
    m_level = std::clamp(level, 0, kMaxHighlightLevel);
    m_ud.setValue(m_config.highlightLevelKey, m_level);
    viewport()->update();
}

void ComparisonTableView::setShowCoincidences(bool on)
{
    if (!m_config.marksDifferences)
        return;
    m_showCoincidences = on;
    m_ud.setValue(prefs::kShowCoincidences, on);
    viewport()->update();
}

QColor ComparisonTableView::reducedColor() const
{
    return withOpacity(m_textColor, 1.0 - m_level / 10.0);
}

QColor ComparisonTableView::diffColor()
{
    return QColor::fromRgbF(1.0f, 0.2f, 0.2f);
}

ComparisonTableView::CellColours ComparisonTableView::cellColours(int row, int column,
                                                                  bool selected) const
{
    CellColours colours;
    const ComparisonRow* r = m_model->comparisonRow(row);
    if (!r)
        return colours;
    // On a selected row the text takes the selection's text colour, as everywhere else.
    const QColor text = selected ? palette().color(QPalette::HighlightedText) : m_textColor;
    if (!m_highlight) {
        if (m_highlightChanged)
            colours.text = text;
        return colours;
    }
    const bool group = r->values.size() < 2;
    if (selected || group)
        colours.text = text;
    else
        colours.text = r->allEqual ? reducedColor() : highlightedColor();

    if (m_config.marksDifferences && m_showCoincidences && !group && !r->allEqual && column >= 1 &&
        column < r->values.size() && r->values[column] != r->coincidenceString) {
        colours.background = diffColor();
        colours.text = selected ? text : highlightedColor();
    }
    return colours;
}

void ComparisonTableView::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange)
        m_textColor = palette().color(QPalette::Text);
    QTableView::changeEvent(event);
}

// ---- wrapping ---------------------------------------------------------------------------

int ComparisonTableView::standardRowHeight() const
{
    return verticalHeader()->defaultSectionSize();
}

void ComparisonTableView::setWrappingAsNeeded()
{
    m_wrap = m_ud.boolValue(prefs::kWrapLongLines);
    setWordWrap(m_wrap);
    setTextElideMode(Qt::ElideRight);
    m_heightsTimer.stop();
    recomputeRowHeights();
}

int ComparisonTableView::rowHeightForContent(int row) const
{
    int height = standardRowHeight();
    if (!m_wrap)
        return height;
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.features |= QStyleOptionViewItem::WrapText;
    // With the grid shown a cell is drawn one pixel narrower and lower than its column and
    // row: measure at the width it is drawn at, and leave the grid its line, or the last
    // line of a wrapped value is cut off.
    const int grid = showGrid() ? 1 : 0;
    const int columns = m_model->columnCount();
    for (int column = 0; column < columns; ++column) {
        if (isColumnHidden(column))
            continue;
        const QModelIndex index = m_model->index(row, column);
        if (index.data().toString().isEmpty())
            continue;
        // A header row spans the table; its title never needs a second line.
        if (m_model->isGroupRow(row))
            continue;
        option.rect = QRect(0, 0, columnWidth(column) - grid, 100000);
        height = std::max(height, itemDelegate()->sizeHint(option, index).height() + grid);
    }
    return height;
}

void ComparisonTableView::recomputeRowHeights()
{
    const int rows = m_model->rowCount();
    for (int row = 0; row < rows; ++row)
        setRowHeight(row, rowHeightForContent(row));
}

void ComparisonTableView::scheduleRowHeights()
{
    if (!m_heightsTimer.isActive())
        m_heightsTimer.start();
}

void ComparisonTableView::columnResized(int column, int, int newWidth)
{
    if (m_applyingWidths)
        return;
    if (column >= 1)
        m_ud.setValue(m_config.columnWidthKey.arg(column), newWidth);
    // Without wrapping every row keeps its one line, whatever the width.
    if (m_wrap)
        scheduleRowHeights();
}

// ---- selection and copy -----------------------------------------------------------------

std::optional<ComparisonRow> ComparisonTableView::selectedComparisonRow() const
{
    const QModelIndexList rows = selectionModel()->selectedRows();
    if (rows.isEmpty())
        return std::nullopt;
    int row = currentIndex().row();
    if (row < 0 || !selectionModel()->isRowSelected(row)) {
        row = -1;
        for (const QModelIndex& index : rows)
            row = std::max(row, index.row());
    }
    if (const ComparisonRow* r = m_model->comparisonRow(row))
        return *r;
    return std::nullopt;
}

QList<int> ComparisonTableView::rowsForCopy(int clickedRow) const
{
    QList<int> selected;
    for (const QModelIndex& index : selectionModel()->selectedRows())
        selected.append(index.row());
    std::sort(selected.begin(), selected.end());
    if (!selected.isEmpty() && (clickedRow < 0 || selected.contains(clickedRow)))
        return selected;
    if (m_model->comparisonRow(clickedRow))
        return {clickedRow};
    return {};
}

QString ComparisonTableView::htmlForRows(const QList<int>& rows) const
{
    QList<ComparisonRow> chosen;
    for (int row : rows)
        if (const ComparisonRow* r = m_model->comparisonRow(row))
            chosen.append(*r);
    return ComparisonExport::pboardHtmlForRows(chosen);
}

bool ComparisonTableView::copyRows(int clickedRow)
{
    const QList<int> rows = rowsForCopy(clickedRow);
    if (rows.isEmpty())
        return false;
    QStringList text;
    for (int row : rows)
        text.append(m_model->comparisonRow(row)->values.join(QLatin1Char('\t')));
    auto* mime = new QMimeData;
    mime->setHtml(htmlForRows(rows));
    mime->setText(text.join(QLatin1Char('\n')));
    QApplication::clipboard()->clear();
    QApplication::clipboard()->setMimeData(mime);
    return true;
}

void ComparisonTableView::keyPressEvent(QKeyEvent* event)
{
    if (event->matches(QKeySequence::Copy)) {
        copyRows(-1);
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

} // namespace perspix
