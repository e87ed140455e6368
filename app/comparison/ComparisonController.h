// A comparison shown in a table with its highlight controls. The main window's comparison
// tab is one; the general and extended comparison windows show one each. The kind decides
// the settings it uses and its extras: the extended window marks values that differ from
// the most common one and counts them for the selected row.
#pragma once

#include <QWidget>
#include <optional>

#include "app/comparison/ComparisonExportWinController.h"
#include "app/comparison/ComparisonTableView.h"

class QCheckBox;
class QLabel;
class QSlider;
class QStackedWidget;

namespace perspix {

class ComparisonController : public QWidget, public ComparisonExportDelegate
{
    Q_OBJECT
public:
    enum class Kind { Tab, ExtendedWindow, GeneralWindow };

    explicit ComparisonController(Kind kind, QWidget* parent = nullptr);
    ~ComparisonController() override;

    Kind kind() const { return m_kind; }
    ComparisonTableView* table() const { return m_table; }
    QWidget* controlsView() const { return m_controls; }
    QSlider* contrastSlider() const { return m_slider; }
    QLabel* diffCellsLabel() const { return m_diffLabel; }

    // Shows the rows; with none the table and its controls are hidden.
    void setContent(const QList<ComparisonRow>& content, const QStringList& description);
    const QList<ComparisonRow>& content() const { return m_table->content(); }
    const QStringList& description() const { return m_table->description(); }
    bool isTableShown() const;

    bool highlightDifferences() const { return m_table->highlightDifferences(); }
    void setHighlightDifferences(bool on);
    int highlightValue() const { return m_table->highlightValue(); }
    void setHighlightValue(int level);
    bool showCoincidences() const { return m_table->showCoincidences(); }
    void setShowCoincidences(bool on);

    void setWrappingAsNeeded() { m_table->setWrappingAsNeeded(); }
    void wrappingChanged() { m_table->wrappingChanged(); }

    // The selected comparison row, or none ("row" of the selection notification).
    std::optional<ComparisonRow> extComparisonSelectionInfo() const;
    // Copies the selected rows, or the clicked row (-1: none) when it is outside them.
    bool copyHandler(int clickedRow = -1);
    void hideControls();

    QString csvExportString() const override;
    QString htmlExportString() const override;

private:
    void buildControls();
    void selectionDidChange();
    void updateDiffCount();
    void showContextMenu(const QPoint& pos);

    Kind m_kind;
    ComparisonTableView* m_table;
    QStackedWidget* m_stack = nullptr;
    QWidget* m_controls = nullptr;
    QCheckBox* m_highlightBox = nullptr;
    QSlider* m_slider = nullptr;
    QCheckBox* m_coincidencesBox = nullptr;
    QLabel* m_diffLabel = nullptr;
    QLabel* m_placeholder = nullptr;
};

} // namespace perspix
