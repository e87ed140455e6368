// The statistics window: which values one parameter takes across the user's files and how
// often. One window for the whole application; while it is visible it follows the selected
// parameter of an extended outline, the selected row of a comparison, and the window the
// user works in.
#pragma once

#include <QPointer>
#include <QWidget>

#include "batch/DataCacher.h"
#include "comparison/ParameterStatistics.h"
#include "filelist/FilelistItem.h"

class QLabel;
class QModelIndex;
class QStandardItemModel;
class QTableView;
class QWindow;

namespace perspix {

class ExtendedOutline;
class StatisticsChartPanel;

class ParameterStatisticsController : public QWidget
{
    Q_OBJECT
public:
    // The one window, made on first use (on the main thread).
    static ParameterStatisticsController& sharedInstance();
    // Counts the parameter of an outline row over the list and shows the window.
    static void showForNode(const QModelIndex& node, const Filelist& filelist,
                            const DataCacher* cacher);

    // Count and show in the table: an outline row (needs the row's item and its group's
    // item; otherwise the table keeps what it shows), or a comparison row.
    void prepareForNode(const QModelIndex& node, const Filelist& filelist,
                        const DataCacher* cacher);
    void prepareForComparisonRow(const ComparisonRow* row);

    void show();
    // Hides the window and empties it, so that it starts afresh when shown again.
    void hide();
    // Reads the selection of the window the user works in, then shows itself.
    void prepareAndShow();
    void resetValues();
    void setContent(const QList<StatisticsRow>& rows, const QString& label);

    const QList<StatisticsRow>& rows() const { return m_rows; }
    // The title as counted ("Video: Format\n" for a tree parameter).
    const QString& label() const { return m_label; }
    QTableView* table() const { return m_table; }
    StatisticsChartPanel* chart() const { return m_chart; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    ParameterStatisticsController();
    void outlineSelectionDidChange(QObject* outline, QWidget* window);
    void comparisonSelectionDidChange(const ComparisonRow* row);
    void windowDidBecomeKey();
    void mainWindowWillClose(QWidget* window);
    // The key window's comparison or outline selection; true when one was found.
    bool readSelectionOf(QWidget* window);

    QPointer<QWidget> m_lastKeyWindow; // the active window seen last
    QPointer<QWidget> m_sourceWindow;  // the main window whose files were counted
    QList<StatisticsRow> m_rows;
    QString m_label;
    QLabel* m_title;
    QTableView* m_table;
    QStandardItemModel* m_model;
    StatisticsChartPanel* m_chart = nullptr;
};

} // namespace perspix
