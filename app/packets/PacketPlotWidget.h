// The plots of the Bitrate and Frames window: draws a packet plot for the time in view,
// zooms with the wheel or a dragged range, resets on a double click, and reports what lies
// under the pointer.
#pragma once

#include <QWidget>
#include <memory>

#include "charts/PacketPlot.h"

namespace perspix {

class PacketPlotWidget : public QWidget
{
    Q_OBJECT
public:
    explicit PacketPlotWidget(QWidget* parent = nullptr);

    void setPlot(std::shared_ptr<PacketPlot> plot);
    const std::shared_ptr<PacketPlot>& plot() const { return m_plot; }
    void setTitle(const QString& title)
    {
        m_title = title;
        update();
    }

    // The time in view, in seconds.
    double viewStart() const { return m_start; }
    double viewEnd() const { return m_end; }
    void setView(double start, double end);
    void resetView();
    // Zooms by the factor (below 1: in) around the time at pixel x.
    void zoomAt(double x, double factor);

    // The picture as shown, without the pointer's marks.
    ChartPicture picture() const;
    // The time at a pixel column of the widget.
    double timeAt(double x) const;

signals:
    void viewChanged(double start, double end);
    void pointerMoved(const perspix::PacketPlot::Readout& readout);

protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    std::shared_ptr<PacketPlot> m_plot;
    QString m_title;
    double m_start = 0;
    double m_end = 1;
    double m_pointerX = -1;
    double m_dragFrom = -1;
};

} // namespace perspix
