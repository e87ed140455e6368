// The Bitrate and Frames window (see BitrateWindow.h).
#include "app/packets/BitrateWindow.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSaveFile>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/charts/ChartPainter.h"
#include "app/packets/PacketLoader.h"
#include "app/packets/PacketPlotWidget.h"
#include "charts/ChartSvg.h"
#include "model/NativePath.h"
#include "readers/packets/PacketFigures.h"
#include "readers/packets/PacketText.h"

namespace perspix {

namespace {

QString rateText(double bitsPerSecond)
{
    return shortNumber(bitsPerSecond) + QStringLiteral("b/s");
}

QString secondsText(double seconds)
{
    return QString::number(seconds, 'f', 3) + QStringLiteral(" s");
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(bytes);
    return file.commit();
}

} // namespace

const std::vector<int64_t>& BitrateWindow::intervals()
{
    static const std::vector<int64_t> values = {500'000, 1'000'000, 2'000'000, 5'000'000};
    return values;
}

BitrateWindow* BitrateWindow::showForFile(const QString& path)
{
    auto* window = new BitrateWindow;
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->open(path);
    window->show();
    return window;
}

BitrateWindow::BitrateWindow(QWidget* parent)
    : QWidget(parent, Qt::Window), m_loader(new PacketLoader(this))
{
    setObjectName(QStringLiteral("bitrateWindow"));
    resize(960, 720);
    auto* layout = new QVBoxLayout(this);

    auto* bar = new QHBoxLayout;
    bar->addWidget(new QLabel(tr("Interval:")));
    m_interval = new QComboBox;
    for (const int64_t us : intervals())
        m_interval->addItem(QStringLiteral("%1 s").arg(QLocale().toString(us / 1e6)),
                            QVariant::fromValue<qlonglong>(us));
    m_interval->setCurrentIndex(1);
    bar->addWidget(m_interval);
    m_progress = new QProgressBar;
    m_progress->setRange(0, 1000);
    bar->addWidget(m_progress, 1);
    m_cancel = new QPushButton(tr("Cancel"));
    bar->addWidget(m_cancel);
    bar->addStretch();
    m_exportPng = new QPushButton(tr("Export PNG…"));
    m_exportSvg = new QPushButton(tr("Export SVG…"));
    m_exportCsv = new QPushButton(tr("Export CSV…"));
    for (QPushButton* b : {m_exportPng, m_exportSvg, m_exportCsv}) {
        b->setEnabled(false);
        bar->addWidget(b);
    }
    layout->addLayout(bar);

    m_message = new QLabel;
    m_message->setWordWrap(true);
    m_message->setStyleSheet(QStringLiteral("color: #b00020"));
    m_message->hide();
    layout->addWidget(m_message);
    m_plot = new PacketPlotWidget;
    layout->addWidget(m_plot, 3);
    m_readout = new QLabel(tr("Point at the plot to read it; wheel or drag to zoom, double "
                              "click to see everything."));
    m_readout->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_readout);
    m_summary = new QTableWidget(0, 9);
    m_summary->setHorizontalHeaderLabels({tr("Stream"), tr("Min bitrate"), tr("Mean bitrate"),
                                          tr("Max bitrate"), tr("Frames"), tr("Key frames"),
                                          tr("Key interval (mean)"), tr("Key interval (max)"),
                                          tr("Largest frame")});
    m_summary->verticalHeader()->hide();
    m_summary->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_summary->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_summary->setMaximumHeight(140);
    layout->addWidget(m_summary, 1);

    connect(m_loader, &PacketLoader::progress, this, [this](qint64 done, qint64 total) {
        m_progress->setValue(total > 0 ? int(std::min<qint64>(1000, done * 1000 / total)) : 0);
    });
    connect(m_loader, &PacketLoader::finished, this, &BitrateWindow::showFile);
    connect(m_cancel, &QPushButton::clicked, this, &BitrateWindow::cancel);
    connect(m_interval, &QComboBox::currentIndexChanged, this,
            [this] { setInterval(m_interval->currentData().toLongLong()); });
    connect(m_plot, &PacketPlotWidget::pointerMoved, this, &BitrateWindow::showReadout);
    connect(m_exportPng, &QPushButton::clicked, this, [this] { chooseExport("png"); });
    connect(m_exportSvg, &QPushButton::clicked, this, [this] { chooseExport("svg"); });
    connect(m_exportCsv, &QPushButton::clicked, this, [this] { chooseExport("csv"); });
}

BitrateWindow::~BitrateWindow() = default;

void BitrateWindow::open(const QString& path)
{
    m_path = path;
    setWindowTitle(
        tr("Bitrate and Frames — %1").arg(QFileInfo(NativePath::shown(path)).fileName()));
    m_file.reset();
    m_plot->setPlot(nullptr);
    m_message->hide();
    m_progress->setValue(0);
    m_progress->show();
    m_cancel->show();
    m_cancel->setEnabled(true);
    for (QPushButton* b : {m_exportPng, m_exportSvg, m_exportCsv})
        b->setEnabled(false);
    m_loader->start(path);
}

void BitrateWindow::cancel()
{
    m_cancel->setEnabled(false);
    m_loader->cancel();
}

bool BitrateWindow::isLoading() const
{
    return m_loader->isRunning();
}

void BitrateWindow::showFile(std::shared_ptr<const PacketFile> file)
{
    m_file = std::move(file);
    m_progress->hide();
    m_cancel->hide();
    const PacketReadOutcome& outcome = m_file->outcome;
    if (outcome.end == PacketReadOutcome::End::Cancelled)
        m_message->setText(tr("Reading was cancelled: the plot shows the %n packets read "
                              "before.",
                              nullptr, int(m_file->packets.size())));
    else if (!outcome.ok())
        m_message->setText(outcome.message);
    m_message->setVisible(!outcome.ok());
    const bool any = !m_file->packets.empty();
    auto plot = std::make_shared<PacketPlot>(m_file, m_interval->currentData().toLongLong());
    m_plot->setTitle(QFileInfo(NativePath::shown(m_path)).fileName());
    m_plot->setPlot(any ? plot : nullptr);
    for (QPushButton* b : {m_exportPng, m_exportSvg, m_exportCsv})
        b->setEnabled(any);
    fillSummary();
    emit loaded();
}

void BitrateWindow::setInterval(int64_t intervalUs)
{
    for (int i = 0; i < m_interval->count(); ++i)
        if (m_interval->itemData(i).toLongLong() == intervalUs && m_interval->currentIndex() != i) {
            m_interval->setCurrentIndex(i); // comes back here
            return;
        }
    if (const auto& plot = m_plot->plot()) {
        plot->setInterval(intervalUs);
        m_plot->update();
    }
    fillSummary();
}

void BitrateWindow::fillSummary()
{
    m_summary->setRowCount(0);
    if (!m_file)
        return;
    const int64_t intervalUs = m_interval->currentData().toLongLong();
    const std::vector<StreamSummary> summaries = streamSummaries(*m_file, intervalUs);
    const QLocale locale;
    for (const StreamSummary& s : summaries) {
        const PacketStream* stream = m_file->stream(s.stream);
        if (!stream || s.packets == 0)
            continue;
        const int row = m_summary->rowCount();
        m_summary->insertRow(row);
        const bool video = stream->kind == PacketStream::Kind::Video;
        const QStringList cells = {
            QStringLiteral("#%1 %2 (%3)").arg(s.stream).arg(stream->kindName(), stream->codec),
            rateText(s.minBitrate),
            rateText(s.meanBitrate),
            rateText(s.maxBitrate),
            locale.toString(qlonglong(s.packets)),
            locale.toString(qlonglong(s.keyFrames)),
            video && s.keyIntervalMax > 0
                ? tr("%1 frames").arg(locale.toString(s.keyIntervalMean, 'f', 1))
                : QStringLiteral("–"),
            video && s.keyIntervalMax > 0
                ? tr("%1 frames").arg(locale.toString(qlonglong(s.keyIntervalMax)))
                : QStringLiteral("–"),
            tr("%1 bytes at %2")
                .arg(locale.toString(qlonglong(s.largestSize)), secondsText(s.largestTime)),
        };
        for (int c = 0; c < cells.size(); ++c)
            m_summary->setItem(row, c, new QTableWidgetItem(cells[c]));
    }
}

void BitrateWindow::showReadout(const PacketPlot::Readout& r)
{
    QStringList parts{tr("Time %1").arg(secondsText(r.time))};
    for (const auto& [stream, rate] : r.bitrates)
        parts << tr("#%1: %2").arg(stream).arg(rateText(rate));
    if (r.frameSize >= 0)
        parts << tr("frame at %1: %2 bytes%3")
                     .arg(secondsText(r.frameTime), QLocale().toString(qlonglong(r.frameSize)),
                          r.frameIsKey ? tr(" (key frame)") : QString());
    m_readout->setText(parts.join(QStringLiteral("   ")));
}

bool BitrateWindow::exportPng(const QString& path) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (!ChartPainter::image(m_plot->picture(), 2).save(&file, "PNG"))
        return false;
    return file.commit();
}

bool BitrateWindow::exportSvg(const QString& path) const
{
    return writeFile(path, ChartSvg::document(m_plot->picture()));
}

bool BitrateWindow::exportCsv(const QString& path) const
{
    if (!m_file)
        return false;
    std::string text = PacketText::kCsvHeader;
    text += '\n';
    m_file->packets.forEach([&](const PacketRecord& p) {
        if (const PacketStream* s = m_file->stream(p.stream))
            PacketText::appendCsvLine(text, p, *s);
    });
    return writeFile(path, QByteArray::fromStdString(text));
}

void BitrateWindow::chooseExport(const QString& kind)
{
    const QString base = QFileInfo(NativePath::shown(m_path)).completeBaseName();
    const QString filter = kind == "png"   ? tr("PNG image (*.png)")
                           : kind == "svg" ? tr("SVG image (*.svg)")
                                           : tr("CSV table (*.csv)");
    const QString target = QFileDialog::getSaveFileName(
        this, tr("Export"),
        base + (kind == "csv" ? QStringLiteral(" packets.") : QStringLiteral(" bitrate.")) + kind,
        filter);
    if (target.isEmpty())
        return;
    const bool ok = kind == "png"   ? exportPng(target)
                    : kind == "svg" ? exportSvg(target)
                                    : exportCsv(target);
    if (!ok)
        QMessageBox::warning(this, tr("Export"), tr("%1 could not be written.").arg(target));
}

} // namespace perspix
