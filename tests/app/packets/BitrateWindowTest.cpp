// The Bitrate and Frames window offscreen: it reads in the background, plots and sums up
// each stream, zooms and resets, shows a cut film's partial plot with the place reading
// stopped, and exports the plot and the packets.
#include <QImage>
#include <QLabel>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>

#include "AppTestSupport.h"
#include "app/packets/BitrateWindow.h"
#include "app/packets/PacketPlotWidget.h"

using namespace perspix;

class BitrateWindowTest : public QObject
{
    Q_OBJECT

    // Opens the file and waits until its packets are in.
    static bool load(BitrateWindow& window, const QString& relative)
    {
        QSignalSpy loaded(&window, &BitrateWindow::loaded);
        window.open(apptest::dataPath(relative));
        return apptest::waitFor([&] { return loaded.count() > 0; });
    }

private slots:
    void plotsAndSumsUpAFilm()
    {
        BitrateWindow window;
        window.show();
        QVERIFY(load(window, QStringLiteral("media/paris.mp4")));
        QVERIFY(window.file()->outcome.ok());
        QVERIFY(window.messageLabel()->isHidden());
        QVERIFY(window.progressBar()->isHidden());
        // Video and sound, each with its packets counted.
        QTableWidget* summary = window.summaryTable();
        QCOMPARE(summary->rowCount(), 2);
        QVERIFY(summary->item(0, 0)->text().contains(QStringLiteral("h264")));
        size_t videoPackets = 0;
        window.file()->packets.forEach(
            [&](const PacketRecord& p) { videoPackets += p.stream == 0; });
        QCOMPARE(summary->item(0, 4)->text(), QString::number(videoPackets));
        // One key frame: no key-frame interval to tell.
        QCOMPARE(summary->item(0, 5)->text(), QStringLiteral("1"));
        QCOMPARE(summary->item(0, 7)->text(), QStringLiteral("–"));

        // Zoom with the wheel around the middle, with a dragged range, back with a double click.
        PacketPlotWidget* plot = window.plotWidget();
        const double fullStart = plot->viewStart();
        const double fullEnd = plot->viewEnd();
        QVERIFY(fullEnd > fullStart);
        const QPoint middle(plot->width() / 2, plot->height() / 2);
        QWheelEvent wheel(middle, plot->mapToGlobal(middle), QPoint(), QPoint(0, 240), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(plot, &wheel);
        QVERIFY(plot->viewEnd() - plot->viewStart() < (fullEnd - fullStart) * 0.7);
        QTest::mouseDClick(plot, Qt::LeftButton, Qt::NoModifier, middle);
        QCOMPARE(plot->viewStart(), fullStart);
        QCOMPARE(plot->viewEnd(), fullEnd);
        const QPoint from(plot->width() / 3, middle.y());
        const QPoint to(plot->width() / 2, middle.y());
        const double expectedStart = plot->timeAt(from.x());
        const double expectedEnd = plot->timeAt(to.x());
        QTest::mousePress(plot, Qt::LeftButton, Qt::NoModifier, from);
        QTest::mouseMove(plot, to);
        QTest::mouseRelease(plot, Qt::LeftButton, Qt::NoModifier, to);
        QVERIFY(std::fabs(plot->viewStart() - expectedStart) < 1e-9);
        QVERIFY(std::fabs(plot->viewEnd() - expectedEnd) < 1e-9);

        // Another interval keeps the frame figures and changes the bitrate's steps.
        window.setInterval(500'000);
        QCOMPARE(summary->item(0, 4)->text(), QString::number(videoPackets));

        QTemporaryDir dir;
        QVERIFY(window.exportPng(dir.filePath(QStringLiteral("plot.png"))));
        QVERIFY(window.exportSvg(dir.filePath(QStringLiteral("plot.svg"))));
        QVERIFY(window.exportCsv(dir.filePath(QStringLiteral("packets.csv"))));
        QVERIFY(!QImage(dir.filePath(QStringLiteral("plot.png"))).isNull());
        QFile svg(dir.filePath(QStringLiteral("plot.svg")));
        QVERIFY(svg.open(QIODevice::ReadOnly));
        QVERIFY(svg.readAll().contains("<polyline"));
        QFile csv(dir.filePath(QStringLiteral("packets.csv")));
        QVERIFY(csv.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = csv.readAll().split('\n');
        QCOMPARE(lines.first(), QByteArray("stream,pts_time,dts_time,duration_time,size,flags"));
        QCOMPARE(size_t(lines.size()), window.file()->packets.size() + 2); // header, last break
    }

    void showsTheCutFilmsPartialPlot()
    {
        BitrateWindow window;
        window.show();
        QVERIFY(load(window, QStringLiteral("media/cut-short.mp4")));
        QVERIFY(!window.messageLabel()->isHidden());
        QVERIFY(window.messageLabel()->text().contains(QStringLiteral("reading stopped after")));
        QVERIFY(window.plotWidget()->plot());
        QVERIFY(window.file()->packets.size() > 50);
        QCOMPARE(window.summaryTable()->rowCount(), 2);

        // A file that is no film: a message, nothing plotted.
        QVERIFY(load(window, QStringLiteral("README.md")));
        QVERIFY(!window.messageLabel()->isHidden());
        QVERIFY(!window.plotWidget()->plot());
        QVERIFY(window.file()->packets.empty());
    }

    void cancelStopsReading()
    {
        BitrateWindow window;
        QSignalSpy loaded(&window, &BitrateWindow::loaded);
        window.open(apptest::dataPath(QStringLiteral("media/program.mpg")));
        window.cancel();
        QVERIFY(apptest::waitFor([&] { return loaded.count() > 0; }));
        const auto end = window.file()->outcome.end;
        QVERIFY(end == PacketReadOutcome::End::Cancelled ||
                end == PacketReadOutcome::End::Complete);
        if (end == PacketReadOutcome::End::Cancelled)
            QVERIFY(window.messageLabel()->text().contains(QStringLiteral("cancelled")));
        // Closing while reading waits for the reading thread rather than leaving it behind.
        auto* second = new BitrateWindow;
        second->open(apptest::dataPath(QStringLiteral("media/multi.mkv")));
        delete second;
    }
};

PERSPIX_APP_TEST_MAIN(BitrateWindowTest)
#include "BitrateWindowTest.moc"
