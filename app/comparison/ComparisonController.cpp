// A comparison with its controls (see ComparisonController.h).
#include "app/comparison/ComparisonController.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QSlider>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "app/comparison/ComparisonTableModel.h"
#include "app/Notifier.h"
#include "comparison/ComparisonExport.h"

namespace perspix {

namespace {
ComparisonTableConfig configForKind(ComparisonController::Kind kind)
{
    switch (kind) {
    case ComparisonController::Kind::Tab:
        return ComparisonTableConfig::tab();
    case ComparisonController::Kind::ExtendedWindow:
        return ComparisonTableConfig::extended();
    case ComparisonController::Kind::GeneralWindow:
        break;
    }
    return ComparisonTableConfig::general();
}
} // namespace

ComparisonController::ComparisonController(Kind kind, QWidget* parent)
    : QWidget(parent), m_kind(kind), m_table(new ComparisonTableView(configForKind(kind)))
{
    buildControls();

    m_placeholder = new QLabel(tr("No analysed files to compare."));
    m_placeholder->setAlignment(Qt::AlignCenter);
    m_placeholder->setEnabled(false);
    m_stack = new QStackedWidget;
    m_stack->addWidget(m_table);
    m_stack->addWidget(m_placeholder);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_controls);
    layout->addWidget(m_stack, 1);

    m_table->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_table, &QWidget::customContextMenuRequested, this,
            &ComparisonController::showContextMenu);
    connect(m_table, &ComparisonTableView::comparisonSelectionChanged, this,
            &ComparisonController::selectionDidChange);
    connect(&Notifier::instance(), &Notifier::wrapLongLinesDidChanged, this,
            [this] { wrappingChanged(); });

    if (m_kind == Kind::Tab) {
        // Until the window hands it rows the tab shows nothing.
        m_controls->hide();
        m_stack->setCurrentWidget(m_placeholder);
    }
}

ComparisonController::~ComparisonController()
{
    disconnect(&Notifier::instance(), nullptr, this, nullptr);
    disconnect(m_table, nullptr, this, nullptr);
}

void ComparisonController::buildControls()
{
    m_controls = new QWidget;
    m_highlightBox = new QCheckBox(tr("Highlight differences"));
    m_highlightBox->setToolTip(tr("Fade the rows in which every file has the same value"));
    m_highlightBox->setChecked(m_table->highlightDifferences());
    m_slider = new QSlider(Qt::Horizontal);
    m_slider->setRange(0, 9);
    m_slider->setPageStep(1);
    m_slider->setFixedWidth(120);
    m_slider->setValue(m_table->highlightValue());
    m_slider->setToolTip(QStringLiteral("%1%").arg(m_table->highlightValue() * 10));
    m_slider->setEnabled(m_table->highlightDifferences());

    auto* layout = new QHBoxLayout(m_controls);
    layout->setContentsMargins(8, 4, 8, 4);
    layout->addWidget(m_highlightBox);
    layout->addWidget(m_slider);

    connect(m_highlightBox, &QCheckBox::toggled, this,
            &ComparisonController::setHighlightDifferences);
    connect(m_slider, &QSlider::valueChanged, this, &ComparisonController::setHighlightValue);

    if (m_kind == Kind::ExtendedWindow) {
        m_coincidencesBox = new QCheckBox(tr("Mark values that differ from the most common"));
        m_coincidencesBox->setChecked(m_table->showCoincidences());
        m_coincidencesBox->setEnabled(m_table->highlightDifferences());
        connect(m_coincidencesBox, &QCheckBox::toggled, this,
                &ComparisonController::setShowCoincidences);
        layout->addSpacing(12);
        layout->addWidget(m_coincidencesBox);
    }
    layout->addStretch(1);
    if (m_kind == Kind::ExtendedWindow) {
        m_diffLabel = new QLabel;
        m_diffLabel->setToolTip(tr("Files whose value differs from the most common one"));
        layout->addWidget(m_diffLabel);
    }
}

void ComparisonController::setContent(const QList<ComparisonRow>& content,
                                      const QStringList& description)
{
    if (m_diffLabel)
        m_diffLabel->clear();
    if (content.isEmpty()) {
        m_table->setContent({}, {});
        m_controls->hide();
        m_stack->setCurrentWidget(m_placeholder);
        return;
    }
    m_controls->show();
    m_stack->setCurrentWidget(m_table);
    m_table->setContent(content, description);
}

bool ComparisonController::isTableShown() const
{
    return m_stack->currentWidget() == m_table;
}

void ComparisonController::setHighlightDifferences(bool on)
{
    m_table->setHighlightDifferences(on);
    const QSignalBlocker block(m_highlightBox);
    m_highlightBox->setChecked(on);
    m_slider->setEnabled(on);
    if (m_coincidencesBox)
        m_coincidencesBox->setEnabled(on);
}

void ComparisonController::setHighlightValue(int level)
{
    m_table->setHighlightValue(level);
    const QSignalBlocker block(m_slider);
    m_slider->setValue(m_table->highlightValue());
    m_slider->setToolTip(QStringLiteral("%1%").arg(m_table->highlightValue() * 10));
}

void ComparisonController::setShowCoincidences(bool on)
{
    m_table->setShowCoincidences(on);
    if (m_coincidencesBox) {
        const QSignalBlocker block(m_coincidencesBox);
        m_coincidencesBox->setChecked(m_table->showCoincidences());
    }
    if (m_diffLabel)
        m_diffLabel->clear();
    updateDiffCount();
}

std::optional<ComparisonRow> ComparisonController::extComparisonSelectionInfo() const
{
    return m_table->selectedComparisonRow();
}

void ComparisonController::selectionDidChange()
{
    updateDiffCount();
    if (m_kind == Kind::GeneralWindow)
        return;
    const std::optional<ComparisonRow> row = extComparisonSelectionInfo();
    emit Notifier::instance().extComparisonTableSelectionDidChange(m_table, row ? &*row : nullptr);
}

void ComparisonController::updateDiffCount()
{
    if (!m_diffLabel || !m_table->showCoincidences())
        return;
    const std::optional<ComparisonRow> row = m_table->selectedComparisonRow();
    if (!row)
        return;
    const qsizetype files = row->values.size() - 1;
    // A header row leaves the count of the row chosen before.
    if (files < 2)
        return;
    const qsizetype differing = files - row->coincidences;
    m_diffLabel->setText(differing >= 1 ? QStringLiteral("%1/%2").arg(differing).arg(files)
                                        : QString());
}

bool ComparisonController::copyHandler(int clickedRow)
{
    return m_table->copyRows(clickedRow);
}

void ComparisonController::hideControls()
{
    m_controls->hide();
}

QString ComparisonController::csvExportString() const
{
    return ComparisonExport::csvExportStringForContent(content(), description());
}

QString ComparisonController::htmlExportString() const
{
    return ComparisonExport::htmlExportStringForContent(content(), description());
}

void ComparisonController::showContextMenu(const QPoint& pos)
{
    const QModelIndex index = m_table->indexAt(pos);
    const int clicked = index.isValid() ? index.row() : -1;
    QMenu menu(this);
    QAction* copy = menu.addAction(tr("Copy"));
    copy->setEnabled(!m_table->rowsForCopy(clicked).isEmpty());
    QAction* exportAction = menu.addAction(tr("Export Comparison…"));
    exportAction->setEnabled(!content().isEmpty());
    QAction* chosen = menu.exec(m_table->viewport()->mapToGlobal(pos));
    if (chosen == copy)
        copyHandler(clicked);
    else if (chosen == exportAction)
        ComparisonExportWinController::openPanelForWindow(window(), this);
}

} // namespace perspix
