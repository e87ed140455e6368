// The table every comparison view shows: one row per comparison row, the title column and
// one column per file. Holds the logic the comparison tab and the comparison windows share:
// fading of rows where all files agree, the red marks of values that differ from the most
// common one, line wrapping with rows as tall as their text, column widths remembered per
// position, and copying rows as HTML.
#pragma once

#include <QColor>
#include <QTableView>
#include <QTimer>
#include <optional>

#include "comparison/ComparisonAssistant.h"
#include "model/Settings.h"

namespace perspix {

class ComparisonTableModel;

// The settings a view works with: the tab and the extended window share theirs, the general
// window has its own.
struct ComparisonTableConfig
{
    QString highlightKey;          // highlighting on
    QString highlightLevelKey;     // highlight level L: equal rows drawn at opacity 1 - L/10
    QString columnWidthKey;        // "%1" takes the file column's position, from 1
    bool marksDifferences = false; // values that differ from the most common one go red

    // The comparison tab: the extended comparison's settings, without the red marks.
    static ComparisonTableConfig tab();
    static ComparisonTableConfig extended();
    static ComparisonTableConfig general();
};

class ComparisonTableView : public QTableView
{
    Q_OBJECT
public:
    explicit ComparisonTableView(const ComparisonTableConfig& config, QWidget* parent = nullptr);
    ~ComparisonTableView() override;

    ComparisonTableModel* comparisonModel() const { return m_model; }
    const ComparisonTableConfig& config() const { return m_config; }

    // Builds one column per file, with its remembered width, and shows the rows.
    void setContent(const QList<ComparisonRow>& content, const QStringList& description);
    const QList<ComparisonRow>& content() const;
    const QStringList& description() const;

    bool highlightDifferences() const { return m_highlight; }
    void setHighlightDifferences(bool on);
    int highlightValue() const { return m_level; }
    void setHighlightValue(int level);
    // Set once the user switched highlighting in this view; until then a cell keeps the
    // default colour while highlighting is off.
    bool highlightChanged() const { return m_highlightChanged; }
    void setHighlightChanged() { m_highlightChanged = true; }
    bool showCoincidences() const { return m_showCoincidences; }
    void setShowCoincidences(bool on);

    QColor textColor() const { return m_textColor; }
    QColor highlightedColor() const { return m_textColor; }
    QColor reducedColor() const;
    static QColor diffColor();

    // How a cell is drawn: a text colour and a background, each only when it departs from
    // the table's default. `selected` is whether the cell's row is selected.
    struct CellColours
    {
        std::optional<QColor> text;
        std::optional<QColor> background;
    };
    CellColours cellColours(int row, int column, bool selected) const;

    // Wrapping from the setting "wrapLongLines": wrapped cells and rows as tall as their
    // text, or one line cut off at the end.
    void setWrappingAsNeeded();
    void wrappingChanged() { setWrappingAsNeeded(); }
    bool isWrapping() const { return m_wrap; }
    // The parameter-name column as the settings ask: bold, right-aligned.
    bool boldNames() const { return m_boldNames; }
    bool rightAlignNames() const { return m_rightAlignNames; }
    // Font, name style and row heights from the settings again.
    void applyDisplaySettings();
    // The height a row needs at the current column widths (never below the standard one).
    int rowHeightForContent(int row) const;
    int standardRowHeight() const;

    // The selected comparison row: the current row when it is selected, else the last
    // selected one; none without a selection.
    std::optional<ComparisonRow> selectedComparisonRow() const;
    // The rows a copy takes: the selected rows in order when the clicked row (-1: none) is
    // one of them or nothing was clicked, else the clicked row alone.
    QList<int> rowsForCopy(int clickedRow) const;
    // "<table cellspacing=0>...</table>" around one pasteboard line per row.
    QString htmlForRows(const QList<int>& rows) const;
    // Puts the rows on the clipboard as HTML (and tab-separated text); false with no rows.
    bool copyRows(int clickedRow);

signals:
    void comparisonSelectionChanged();

protected:
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void applyFont();
    void columnResized(int column, int oldWidth, int newWidth);
    void recomputeRowHeights();
    void scheduleRowHeights();

    ComparisonTableConfig m_config;
    Settings m_ud;
    ComparisonTableModel* m_model;
    QColor m_textColor;
    bool m_highlight = false;
    int m_level = 7;
    bool m_highlightChanged = false;
    bool m_showCoincidences = false;
    bool m_wrap = true;
    bool m_boldNames = true;
    bool m_rightAlignNames = true;
    bool m_applyingWidths = false;
    QTimer m_heightsTimer;
};

} // namespace perspix
