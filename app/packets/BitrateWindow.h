// The Bitrate and Frames window of one film or sound file: its packets are read in the
// background (progress bar and Cancel), then each stream's bitrate and the frame sizes are
// plotted, with a summary per stream and exports of the plot (PNG, SVG) and the packets (CSV).
#pragma once

#include <QWidget>
#include <memory>

#include "charts/PacketPlot.h"
#include "readers/packets/PacketList.h"

class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTableWidget;

namespace perspix {

class PacketLoader;
class PacketPlotWidget;

class BitrateWindow : public QWidget
{
    Q_OBJECT
public:
    // A window that deletes itself when closed, reading the file at once.
    static BitrateWindow* showForFile(const QString& path);

    explicit BitrateWindow(QWidget* parent = nullptr);
    ~BitrateWindow() override;

    void open(const QString& path);
    void cancel();
    bool isLoading() const;

    // The intervals the window offers, in microseconds.
    static const std::vector<int64_t>& intervals();
    void setInterval(int64_t intervalUs);

    bool exportPng(const QString& path) const;
    bool exportSvg(const QString& path) const;
    bool exportCsv(const QString& path) const;

    PacketPlotWidget* plotWidget() const { return m_plot; }
    QTableWidget* summaryTable() const { return m_summary; }
    QLabel* messageLabel() const { return m_message; }
    QProgressBar* progressBar() const { return m_progress; }
    const std::shared_ptr<const PacketFile>& file() const { return m_file; }

signals:
    // The packets are in (completely or not): for tests and screenshots.
    void loaded();

private:
    void showFile(std::shared_ptr<const PacketFile> file);
    void fillSummary();
    void showReadout(const PacketPlot::Readout& readout);
    void chooseExport(const QString& kind);

    QString m_path;
    PacketLoader* m_loader;
    PacketPlotWidget* m_plot;
    QProgressBar* m_progress;
    QPushButton* m_cancel;
    QLabel* m_message;
    QLabel* m_readout;
    QComboBox* m_interval;
    QPushButton* m_exportPng;
    QPushButton* m_exportSvg;
    QPushButton* m_exportCsv;
    QTableWidget* m_summary;
    std::shared_ptr<const PacketFile> m_file;
};

} // namespace perspix
