// The statistics window follows what the user selects: a parameter of a main window's
// extended outline (counted over the window's list) and a comparison row (counted over its
// files), through the notifications, only while it is visible.
#include <QTableView>
#include <QTemporaryDir>

#include "AppTestSupport.h"
#include "app/AppController.h"
#include "app/Notifier.h"
#include "app/WindowInfo.h"
#include "app/comparison/ComparisonController.h"
#include "app/charts/StatisticsChartPanel.h"
#include "app/comparison/ParameterStatisticsController.h"
#include "app/mainwindow/ArrangedFilelistModel.h"
#include "app/mainwindow/ExtTreeModel.h"
#include "app/mainwindow/ExtendedOutline.h"
#include "app/mainwindow/MainView.h"
#include "app/mainwindow/MainWindowController.h"
#include "app/mainwindow/MainWindowViews.h"
#include "batch/WindowWorker.h"

using namespace perspix;

namespace {

ComparisonRow row(const QStringList& values)
{
    ComparisonRow r{values, false, 0, {}};
    ComparisonAssistant::computeRowStatistics(r);
    return r;
}

// The outline row of a parameter key inside the first group of a kind.
QModelIndex outlineRow(ExtendedOutline* outline, const QString& groupKey, const QString& key)
{
    ExtTreeModel* model = outline->treeModel();
    for (int g = 0; g < model->rowCount(); ++g) {
        const QModelIndex group = model->index(g, 0);
        if (model->itemForIndex(group)->key() != groupKey)
            continue;
        for (int r = 0; r < model->rowCount(group); ++r) {
            const QModelIndex child = model->index(r, 0, group);
            if (model->itemForIndex(child)->key() == key)
                return child;
        }
    }
    return {};
}

} // namespace

class StatisticsWindowTest : public QObject
{
    Q_OBJECT

    QPointer<MainWindowController> m_window;

private slots:
    void initTestCase()
    {
        AppController::initialize();
        const QList<QUrl> urls = {
            QUrl::fromLocalFile(apptest::dataPath(QStringLiteral("media/paris.mp4"))),
            QUrl::fromLocalFile(apptest::dataPath(QStringLiteral("media/sydney.mov"))),
            QUrl::fromLocalFile(apptest::dataPath(QStringLiteral("media/clip.webm"))),
            QUrl::fromLocalFile(apptest::dataPath(QStringLiteral("audio/stereo.wav")))};
        m_window = AppController::instance().showNewWindowForFiles(urls);
        m_window->processUrls(urls);
        QVERIFY(apptest::waitFor([this] {
            return m_window->worker()->countToProcess() == 4 &&
                   m_window->worker()->processingIsDone();
        }));
    }

    void cleanupTestCase()
    {
        ParameterStatisticsController::sharedInstance().hide();
        if (m_window)
            m_window->close();
    }

    void followsTheOutlineSelection()
    {
        ParameterStatisticsController& stats = ParameterStatisticsController::sharedInstance();
        stats.hide();
        m_window->setCurrentTab(MainWindowController::ExtendedTab);
        MainView* view = m_window->myView();
        const int parisRow = [&] {
            for (int r = 0; r < view->arrangedModel()->rowCount(); ++r)
                if (view->arrangedModel()->itemAt(r)->filename().endsWith(
                        QLatin1String("paris.mp4")))
                    return r;
            return -1;
        }();
        view->selectRow(parisRow);
        QVERIFY(apptest::waitFor([&] { return view->outline()->treeModel()->rowCount() > 0; }));
        ExtendedOutline* outline = view->outline();

        // Hidden: a selection changes nothing.
        const QModelIndex format =
            outlineRow(outline, QStringLiteral("Video"), QStringLiteral("Format/String"));
        QVERIFY(format.isValid());
        outline->setCurrentIndex(format);
        QCOMPARE(stats.label(), QStringLiteral("Statistics"));
        QVERIFY(stats.rows().isEmpty());

        stats.show();
        outline->selectionModel()->clearSelection();
        outline->setCurrentIndex(format);
        // Three films with video (AVC, AVC, VP9) and a sound file without.
        QCOMPARE(stats.label(), QStringLiteral("Video: Format\n"));
        const QList<StatisticsRow> expected = {
            {QStringLiteral("Not set"), 1}, {QStringLiteral("AVC"), 2}, {QStringLiteral("VP9"), 1}};
        QCOMPARE(stats.rows(), expected);
        QCOMPARE(stats.table()->model()->rowCount(), 3);
        QCOMPARE(stats.table()->model()->index(1, 1).data().toString(), QStringLiteral("2"));
        QCOMPARE(stats.windowTitle(), QStringLiteral("Video: Format"));

        // A group row is no parameter: the table keeps what it shows.
        outline->setCurrentIndex(format.parent());
        QCOMPARE(stats.rows(), expected);
        // No selection: empty.
        outline->selectionModel()->clearSelection();
        QCOMPARE(stats.label(), QStringLiteral("Statistics"));
        QVERIFY(stats.rows().isEmpty());

        // The statistics command reads the key window's selection.
        outline->setCurrentIndex(format);
        stats.hide();
        QVERIFY(stats.rows().isEmpty());
        m_window->activateWindow();
        QApplication::setActiveWindow(m_window);
        stats.prepareAndShow();
        QCOMPARE(stats.rows(), expected);
    }

    void exportOnTheComparisonTab()
    {
        m_window->setCurrentTab(MainWindowController::ExtendedTab);
        QVERIFY(!MainWindowViews::exportComparison(m_window)); // the window's own export
        m_window->setCurrentTab(MainWindowController::ComparisonTab);
        QVERIFY(MainWindowViews::exportComparison(m_window));
        auto* sheet = m_window->findChild<ComparisonExportWinController*>();
        QVERIFY(sheet && sheet->isVisible());
        ComparisonController* tab = WindowInfo::comparisonControllerOf(m_window);
        QCOMPARE(sheet->exportDelegate(), static_cast<ComparisonExportDelegate*>(tab));
        sheet->cancelExport();
        m_window->setCurrentTab(MainWindowController::GeneralTab);
    }

    void followsAComparisonRow()
    {
        ParameterStatisticsController& stats = ParameterStatisticsController::sharedInstance();
        stats.show();
        ComparisonController tab(ComparisonController::Kind::Tab);
        const QList<ComparisonRow> rows = {
            row({QStringLiteral("Audio")}),
            row({QStringLiteral("Channels"), QString(), QStringLiteral("2"), QStringLiteral("2")})};
        tab.setContent(rows, {QStringLiteral("/a"), QStringLiteral("/b"), QStringLiteral("/c")});
        ComparisonTableView* table = tab.table();
        table->selectionModel()->select(table->model()->index(1, 0),
                                        QItemSelectionModel::ClearAndSelect |
                                            QItemSelectionModel::Rows);
        QCOMPARE(stats.label(), QStringLiteral("Channels"));
        const QList<StatisticsRow> expected = {{QStringLiteral("Not set"), 1},
                                               {QStringLiteral("2"), 2}};
        QCOMPARE(stats.rows(), expected);

        // A header row (sent as such: the table does not let one be selected) resets.
        emit Notifier::instance().extComparisonTableSelectionDidChange(table, &rows[0]);
        QCOMPARE(stats.label(), QStringLiteral("Statistics"));
        QVERIFY(stats.rows().isEmpty());
        QCOMPARE(stats.windowTitle(), QStringLiteral("Statistics"));

        stats.prepareForComparisonRow(&rows[1]);
        QCOMPARE(stats.rows(), expected);
        table->clearSelection(); // no row: reset
        QVERIFY(stats.rows().isEmpty());

        // While hidden, comparison rows are ignored.
        stats.hide();
        emit Notifier::instance().extComparisonTableSelectionDidChange(table, &rows[1]);
        QVERIFY(stats.rows().isEmpty());
    }

    void aClosedWindowsCountsGoAndTheKeyboardCloses()
    {
        ParameterStatisticsController& stats = ParameterStatisticsController::sharedInstance();
        const QList<QUrl> urls = {
            QUrl::fromLocalFile(apptest::dataPath(QStringLiteral("media/paris.mp4")))};
        QPointer<MainWindowController> other =
            AppController::instance().showNewWindowForFiles(urls);
        other->processUrls(urls);
        QVERIFY(apptest::waitFor(
            [&] { return other->myView()->outline()->treeModel()->rowCount() > 0; }));
        stats.show();
        ExtendedOutline* outline = other->myView()->outline();
        outline->setCurrentIndex(
            outlineRow(outline, QStringLiteral("Video"), QStringLiteral("Format/String")));
        QCOMPARE(stats.rows().size(), 1);
        other->close();
        QVERIFY(stats.rows().isEmpty());
        QCOMPARE(stats.label(), QStringLiteral("Statistics"));

        for (const QKeySequence& key :
             {QKeySequence(Qt::Key_Escape), QKeySequence(QKeySequence::Close)}) {
            stats.show();
            QApplication::setActiveWindow(&stats);
            QVERIFY(QTest::qWaitForWindowActive(&stats));
            QTest::keySequence(&stats, key);
            QVERIFY2(!stats.isVisible(), qPrintable(key.toString()));
        }
    }

    // Beside the table, the chart: bars for words, a histogram for numbers of one unit,
    // written as PNG and SVG.
    void chartsWhatItCounts()
    {
        ParameterStatisticsController& stats = ParameterStatisticsController::sharedInstance();
        stats.show();
        StatisticsChartPanel* chart = stats.chart();
        const auto texts = [&] {
            QStringList all;
            for (const ChartPicture::Item& item : chart->picture().items)
                if (item.kind == ChartPicture::Kind::Text)
                    all << item.text;
            return all;
        };
        stats.setContent({{QStringLiteral("Not set"), 1}, {QStringLiteral("AVC"), 2}},
                         QStringLiteral("Video: Format\n"));
        QVERIFY(texts().contains(QStringLiteral("AVC")));
        QVERIFY(texts().contains(QStringLiteral("Not set")));
        stats.setContent({{QStringLiteral("640 pixels"), 2}, {QStringLiteral("1 920 pixels"), 3}},
                         QStringLiteral("Video: Width\n"));
        QVERIFY(texts().contains(QStringLiteral("pixels (5 files)")));
        chart->setKind(StatisticsChart::Kind::Bars);
        QVERIFY(texts().contains(QStringLiteral("1 920 pixels")));
        chart->setKind(StatisticsChart::Kind::Automatic);

        QTemporaryDir dir;
        QVERIFY(chart->exportPng(dir.filePath(QStringLiteral("chart.png"))));
        QVERIFY(chart->exportSvg(dir.filePath(QStringLiteral("chart.svg"))));
        const QImage png(dir.filePath(QStringLiteral("chart.png")));
        QVERIFY(!png.isNull());
        QVERIFY(png.width() >= 2 * 320);
        QFile svg(dir.filePath(QStringLiteral("chart.svg")));
        QVERIFY(svg.open(QIODevice::ReadOnly));
        QVERIFY(svg.readAll().contains("pixels (5 files)"));
        stats.hide();
    }
};

PERSPIX_APP_TEST_MAIN(StatisticsWindowTest)
#include "StatisticsWindowTest.moc"
