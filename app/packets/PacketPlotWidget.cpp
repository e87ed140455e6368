// The plot view (see PacketPlotWidget.h).
#include "app/packets/PacketPlotWidget.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "app/charts/ChartPainter.h"

namespace perspix {

namespace {
// The smallest span in view: a few frames' worth even for a long film.
constexpr double kSmallestSpan = 0.01;
} // namespace

PacketPlotWidget::PacketPlotWidget(QWidget* parent) : QWidget(parent)
{
    setMouseTracking(true);
    setMinimumSize(480, 320);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
}

void PacketPlotWidget::setPlot(std::shared_ptr<PacketPlot> plot)
{
    m_plot = std::move(plot);
    resetView();
}

void PacketPlotWidget::setView(double start, double end)
{
    if (!m_plot)
        return;
    const double fullStart = m_plot->fullStart();
    const double fullEnd = m_plot->fullEnd();
    double span = std::clamp(end - start, kSmallestSpan, fullEnd - fullStart);
    if (!(span > 0))
        span = fullEnd - fullStart;
    start = std::clamp(start, fullStart, fullEnd - span);
    m_start = start;
    m_end = start + span;
    update();
    emit viewChanged(m_start, m_end);
}

void PacketPlotWidget::resetView()
{
    if (m_plot)
        setView(m_plot->fullStart(), m_plot->fullEnd());
    else
        update();
}

double PacketPlotWidget::timeAt(double x) const
{
    const QRectF area = PacketPlot::plotArea(size());
    return m_start + (x - area.left()) / area.width() * (m_end - m_start);
}

void PacketPlotWidget::zoomAt(double x, double factor)
{
    const double t = std::clamp(timeAt(x), m_start, m_end);
    setView(t - (t - m_start) * factor, t + (m_end - t) * factor);
}

ChartPicture PacketPlotWidget::picture() const
{
    if (!m_plot) {
        ChartPicture empty;
        empty.size = size();
        return empty;
    }
    return m_plot->picture(size(), m_start, m_end, m_title);
}

void PacketPlotWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    ChartPainter::paint(painter, picture());
    const QRectF area = PacketPlot::plotArea(size());
    if (m_dragFrom >= 0 && m_pointerX >= 0) {
        const double a = std::clamp(std::min(m_dragFrom, m_pointerX), area.left(), area.right());
        const double b = std::clamp(std::max(m_dragFrom, m_pointerX), area.left(), area.right());
        painter.fillRect(QRectF(a, area.top(), b - a, area.height()), QColor(60, 110, 200, 50));
    }
    if (m_pointerX >= area.left() && m_pointerX <= area.right()) {
        painter.setPen(QPen(QColor(0, 0, 0, 120), 1, Qt::DashLine));
        painter.drawLine(QPointF(m_pointerX, area.top()), QPointF(m_pointerX, area.bottom()));
    }
}

void PacketPlotWidget::wheelEvent(QWheelEvent* event)
{
    const double steps = event->angleDelta().y() / 120.0;
    if (steps != 0)
        zoomAt(event->position().x(), std::pow(0.8, steps));
    event->accept();
}

void PacketPlotWidget::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        m_dragFrom = event->position().x();
}

void PacketPlotWidget::mouseMoveEvent(QMouseEvent* event)
{
    m_pointerX = event->position().x();
    update();
    if (m_plot) {
        const QRectF area = PacketPlot::plotArea(size());
        if (m_pointerX >= area.left() && m_pointerX <= area.right())
            emit pointerMoved(m_plot->readout(timeAt(m_pointerX)));
    }
}

void PacketPlotWidget::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || m_dragFrom < 0)
        return;
    const double a = std::min(m_dragFrom, event->position().x());
    const double b = std::max(m_dragFrom, event->position().x());
    m_dragFrom = -1;
    if (b - a >= 4)
        setView(timeAt(a), timeAt(b));
    else
        update();
}

void PacketPlotWidget::mouseDoubleClickEvent(QMouseEvent*)
{
    m_dragFrom = -1;
    resetView();
}

void PacketPlotWidget::leaveEvent(QEvent*)
{
    m_pointerX = -1;
    update();
}

} // namespace perspix
