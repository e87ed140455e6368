// The chart beside the statistics window's table: the counts as bars (the largest ones,
// then "other") or, for numeric values, as a histogram; exported as PNG or SVG.
#pragma once

#include <QList>
#include <QWidget>

#include "charts/StatisticsChart.h"
#include "comparison/ParameterStatistics.h"

class QComboBox;
class QPushButton;
class QScrollArea;

namespace perspix {

class ChartPictureView;

class StatisticsChartPanel : public QWidget
{
    Q_OBJECT
public:
    explicit StatisticsChartPanel(QWidget* parent = nullptr);

    void setContent(const QList<StatisticsRow>& rows, const QString& label);
    // The kind chosen: Automatic shows the histogram wherever the values are numbers.
    void setKind(StatisticsChart::Kind kind);
    StatisticsChart::Kind kind() const;
    // The chart as shown, at the panel's width.
    ChartPicture picture() const;

    bool exportPng(const QString& path) const;
    bool exportSvg(const QString& path) const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void redraw();
    void chooseExport(const QString& kind);

    QList<StatisticsRow> m_rows;
    QString m_label;
    QComboBox* m_kind;
    QPushButton* m_png;
    QPushButton* m_svg;
    QScrollArea* m_scroll;
    ChartPictureView* m_view;
};

// A widget that shows one chart picture at its own size.
class ChartPictureView : public QWidget
{
    Q_OBJECT
public:
    explicit ChartPictureView(QWidget* parent = nullptr) : QWidget(parent) {}
    void setPicture(ChartPicture picture);
    const ChartPicture& picture() const { return m_picture; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    ChartPicture m_picture;
};

} // namespace perspix
