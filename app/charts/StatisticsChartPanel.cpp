// The statistics chart panel (see StatisticsChartPanel.h).
#include "app/charts/StatisticsChartPanel.h"

#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include "app/charts/ChartPainter.h"
#include "charts/ChartSvg.h"

namespace perspix {

void ChartPictureView::setPicture(ChartPicture picture)
{
    m_picture = std::move(picture);
    setFixedSize(m_picture.size.toSize());
    update();
}

void ChartPictureView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    ChartPainter::paint(painter, m_picture);
}

StatisticsChartPanel::StatisticsChartPanel(QWidget* parent)
    : QWidget(parent), m_kind(new QComboBox), m_png(new QPushButton(tr("Export PNG…"))),
      m_svg(new QPushButton(tr("Export SVG…"))), m_scroll(new QScrollArea),
      m_view(new ChartPictureView)
{
    setObjectName(QStringLiteral("statisticsChart"));
    m_kind->addItem(tr("Automatic"), int(StatisticsChart::Kind::Automatic));
    m_kind->addItem(tr("Bars"), int(StatisticsChart::Kind::Bars));
    m_kind->addItem(tr("Histogram"), int(StatisticsChart::Kind::Histogram));
    auto* bar = new QHBoxLayout;
    bar->setContentsMargins(0, 0, 0, 0);
    bar->addWidget(m_kind);
    bar->addStretch();
    bar->addWidget(m_png);
    bar->addWidget(m_svg);
    m_scroll->setWidget(m_view);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setFrameShape(QFrame::NoFrame);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(bar);
    layout->addWidget(m_scroll, 1);
    connect(m_kind, &QComboBox::currentIndexChanged, this, &StatisticsChartPanel::redraw);
    connect(m_png, &QPushButton::clicked, this, [this] { chooseExport(QStringLiteral("png")); });
    connect(m_svg, &QPushButton::clicked, this, [this] { chooseExport(QStringLiteral("svg")); });
    redraw();
}

void StatisticsChartPanel::setContent(const QList<StatisticsRow>& rows, const QString& label)
{
    m_rows = rows;
    m_label = label;
    redraw();
}

void StatisticsChartPanel::setKind(StatisticsChart::Kind kind)
{
    m_kind->setCurrentIndex(m_kind->findData(int(kind)));
}

StatisticsChart::Kind StatisticsChartPanel::kind() const
{
    return StatisticsChart::Kind(m_kind->currentData().toInt());
}

ChartPicture StatisticsChartPanel::picture() const
{
    const double width = std::max(320, m_scroll->viewport()->width());
    return StatisticsChart::picture(m_rows, m_label, width, kind());
}

void StatisticsChartPanel::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    redraw();
}

void StatisticsChartPanel::redraw()
{
    const bool any = !m_rows.isEmpty();
    m_png->setEnabled(any);
    m_svg->setEnabled(any);
    m_view->setPicture(any ? picture() : ChartPicture{QSizeF(320, 40), Qt::white, {}});
}

bool StatisticsChartPanel::exportPng(const QString& path) const
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) &&
           ChartPainter::image(picture(), 2).save(&file, "PNG") && file.commit();
}

bool StatisticsChartPanel::exportSvg(const QString& path) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(ChartSvg::document(picture()));
    return file.commit();
}

void StatisticsChartPanel::chooseExport(const QString& kind)
{
    const QString target = QFileDialog::getSaveFileName(
        this, tr("Export Chart"), QStringLiteral("statistics.") + kind,
        kind == "png" ? tr("PNG image (*.png)") : tr("SVG image (*.svg)"));
    if (target.isEmpty())
        return;
    if (!(kind == "png" ? exportPng(target) : exportSvg(target)))
        QMessageBox::warning(this, tr("Export Chart"), tr("%1 could not be written.").arg(target));
}

} // namespace perspix
