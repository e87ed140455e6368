// The comparison views: fading of rows where every file agrees, the red marks and the d/n
// count of the extended window, hiding an empty comparison, row heights with and without
// wrapping, remembered column widths, copying rows and exporting.
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QMimeData>
#include <QPointer>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>

#include "AppTestSupport.h"
#include "app/comparison/ComparisonController.h"
#include "app/comparison/ComparisonExportWinController.h"
#include "app/comparison/ComparisonTableModel.h"
#include "app/comparison/ComparisonWindowController.h"
#include "app/Notifier.h"
#include "comparison/ComparisonExport.h"
#include "model/Settings.h"

using namespace perspix;

namespace {

ComparisonRow row(const QStringList& values)
{
    ComparisonRow r{values, false, 0, {}};
    ComparisonAssistant::computeRowStatistics(r);
    return r;
}

ComparisonRow header(const QString& title)
{
    return row({title});
}

// Three files: a header, a row where all agree, a, a, b and a, b, c.
QList<ComparisonRow> threeFiles()
{
    return {header(QStringLiteral("Video")),
            row({QStringLiteral("Format"), QStringLiteral("AVC"), QStringLiteral("AVC"),
                 QStringLiteral("AVC")}),
            row({QStringLiteral("Width"), QStringLiteral("a"), QStringLiteral("a"),
                 QStringLiteral("b")}),
            row({QStringLiteral("Height"), QStringLiteral("a"), QStringLiteral("b"),
                 QStringLiteral("c")})};
}

const QStringList kPaths = {QStringLiteral("/m/one.mp4"), QStringLiteral("/m/two.mp4"),
                            QStringLiteral("/m/three.mp4")};

void resetSettings()
{
    Settings ud;
    for (const QString& key :
         {prefs::kExtComparisonHighlight, prefs::kGenComparisonHighlight, prefs::kShowCoincidences,
          prefs::kWrapLongLines, prefs::kExtComparisonHighlightValue})
        ud.remove(key);
    for (int i = 1; i <= 4; ++i) {
        ud.remove(QStringLiteral("extComparisonColumnWidth%1").arg(i));
        ud.remove(QStringLiteral("genComparisonColumnWidth%1").arg(i));
    }
}

void selectRow(ComparisonTableView* table, int r)
{
    table->selectionModel()->select(table->model()->index(r, 0),
                                    QItemSelectionModel::ClearAndSelect |
                                        QItemSelectionModel::Rows);
    table->selectionModel()->setCurrentIndex(table->model()->index(r, 0),
                                             QItemSelectionModel::NoUpdate);
}

} // namespace

class ComparisonViewsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { Settings::registerDefaults(); }
    void init() { resetSettings(); }

    void fadesRowsWhereAllFilesAgree()
    {
        Settings().setValue(prefs::kShowCoincidences, true); // only the extended window marks
        ComparisonController view(ComparisonController::Kind::Tab);
        view.setContent(threeFiles(), kPaths);
        view.setHighlightDifferences(true);
        view.setHighlightValue(7);
        ComparisonTableView* table = view.table();
        const QColor text = table->textColor();
        const QColor selectedText = table->palette().color(QPalette::HighlightedText);

        struct Case
        {
            int row;
            bool selected;
            QColor colour;
        };
        QColor faded = text;
        faded.setAlphaF(0.3f);
        const QList<Case> cases = {
            {1, false, faded},       // all agree: 30% at level 7
            {1, true, selectedText}, // selected: full strength
            {2, false, text},        // a, a, b: full strength
            {0, false, text},        // the header row
        };
        for (const Case& c : cases) {
            const auto colours = table->cellColours(c.row, 1, c.selected);
            QVERIFY2(colours.text, qPrintable(QString::number(c.row)));
            QCOMPARE(colours.text->rgba(), c.colour.rgba());
            QVERIFY(!colours.background); // the tab never marks cells red
        }
        QCOMPARE(view.contrastSlider()->toolTip(), QStringLiteral("70%"));
        QCOMPARE(Settings().intValue(prefs::kExtComparisonHighlightValue), 7);
        QVERIFY(Settings().boolValue(prefs::kExtComparisonHighlight));

        // Switched off by the user: plain text colour everywhere, nothing faded.
        view.setHighlightDifferences(false);
        QCOMPARE(table->cellColours(1, 1, false).text->rgba(), text.rgba());
        // A fresh view with highlighting off leaves the colours alone until it is switched.
        ComparisonController fresh(ComparisonController::Kind::Tab);
        fresh.setContent(threeFiles(), kPaths);
        QVERIFY(!fresh.table()->cellColours(1, 1, false).text);
    }

    void oneFileFadesNothing()
    {
        const QString path = apptest::dataPath(QStringLiteral("media/paris.mp4"));
        const PerspixDataPtr data = PerspixData::dataAboutFile(path, {});
        QVERIFY(data);
        const ComparisonResult result =
            ComparisonAssistant::prepareExtendedComparisonWithPerspixDataArray({data});
        QVERIFY(result.content.size() > 10);
        ComparisonController view(ComparisonController::Kind::Tab);
        view.setContent(result.content, result.descr);
        view.setHighlightDifferences(true);
        QCOMPARE(view.table()->model()->columnCount(), 2);
        QCOMPARE(view.table()->model()->headerData(1, Qt::Horizontal).toString(),
                 QStringLiteral("paris.mp4"));
        const QColor text = view.table()->textColor();
        for (int r = 0; r < result.content.size(); ++r)
            QCOMPARE(view.table()->cellColours(r, 1, false).text->alpha(), text.alpha());
    }

    void extendedWindowMarksValuesThatDiffer()
    {
        ComparisonController view(ComparisonController::Kind::ExtendedWindow);
        view.setContent(threeFiles(), kPaths);
        view.setHighlightDifferences(true);
        view.setShowCoincidences(true);
        ComparisonTableView* table = view.table();
        const QColor red = ComparisonTableView::diffColor();
        QCOMPARE(red, QColor::fromRgbF(1.0f, 0.2f, 0.2f));

        // Row, then whether columns 1, 2, 3 are marked.
        const QList<std::pair<int, QList<bool>>> marks = {
            {1, {false, false, false}}, // all agree
            {2, {false, false, true}},  // a, a, b: only b
            {3, {false, true, true}},   // a, b, c: all but the first file's
            {0, {false, false, false}}, // header
        };
        for (const auto& [r, expected] : marks)
            for (int column = 1; column <= 3; ++column) {
                const auto colours = table->cellColours(r, column, false);
                QCOMPARE(bool(colours.background), expected[column - 1]);
                if (colours.background)
                    QCOMPARE(*colours.background, red);
            }
        QVERIFY(!table->cellColours(2, 0, false).background); // never the title

        // The count of differing files for the selected row; a header leaves it.
        selectRow(table, 2);
        QCOMPARE(view.diffCellsLabel()->text(), QStringLiteral("1/3"));
        selectRow(table, 3);
        QCOMPARE(view.diffCellsLabel()->text(), QStringLiteral("2/3"));
        selectRow(table, 1);
        QCOMPARE(view.diffCellsLabel()->text(), QString());
        selectRow(table, 3);
        table->selectionModel()->select(table->model()->index(0, 0),
                                        QItemSelectionModel::ClearAndSelect |
                                            QItemSelectionModel::Rows);
        QCOMPARE(view.diffCellsLabel()->text(), QStringLiteral("2/3"));

        // Marks need highlighting; switching coincidences off empties the label.
        view.setHighlightDifferences(false);
        QVERIFY(!table->cellColours(2, 3, false).background);
        view.setHighlightDifferences(true);
        view.setShowCoincidences(false);
        QVERIFY(!table->cellColours(2, 3, false).background);
        QCOMPARE(view.diffCellsLabel()->text(), QString());
        QVERIFY(!Settings().boolValue(prefs::kShowCoincidences));
    }

    void emptyComparisonHidesTableAndControls()
    {
        ComparisonController view(ComparisonController::Kind::Tab);
        view.resize(600, 400);
        view.show();
        view.setContent(threeFiles(), kPaths);
        QVERIFY(view.isTableShown());
        QVERIFY(view.controlsView()->isVisible());
        view.setContent({}, {});
        QVERIFY(!view.isTableShown());
        QVERIFY(!view.table()->isVisible());
        QVERIFY(!view.controlsView()->isVisible());
        QCOMPARE(view.table()->model()->rowCount(), 0);
    }

    void headerRowsAreGroupsAndCannotBeSelected()
    {
        ComparisonController view(ComparisonController::Kind::Tab);
        view.setContent(threeFiles(), kPaths);
        auto* model = view.table()->comparisonModel();
        QVERIFY(!(model->flags(model->index(0, 0)) & Qt::ItemIsSelectable));
        QVERIFY(model->flags(model->index(1, 0)) & Qt::ItemIsSelectable);
        QCOMPARE(view.table()->columnSpan(0, 0), 4);
        QVERIFY(!model->index(0, 2).data().isValid()); // a header fills only its title
        QCOMPARE(model->index(2, 3).data().toString(), QStringLiteral("b"));
    }

    void rowHeightsFollowWrapping()
    {
        QList<ComparisonRow> rows = threeFiles();
        rows.append(row({QStringLiteral("Title"),
                         QStringLiteral("a long title that certainly needs several lines when "
                                        "its column is narrow"),
                         QStringLiteral("x"), QStringLiteral("y")}));
        const int longRow = int(rows.size()) - 1;

        Settings().setValue(prefs::kWrapLongLines, false);
        ComparisonController view(ComparisonController::Kind::ExtendedWindow);
        view.resize(900, 500);
        view.show();
        view.setContent(rows, kPaths);
        ComparisonTableView* table = view.table();
        const int standard = table->standardRowHeight();
        table->horizontalHeader()->resizeSection(1, 60);
        QTest::qWait(20);
        QCOMPARE(table->rowHeight(longRow), standard); // no wrapping: one line, cut off
        QCOMPARE(table->textElideMode(), Qt::ElideRight);

        // Wrapping on (as the wrap command tells every view): the row grows.
        Settings().setValue(prefs::kWrapLongLines, true);
        emit Notifier::instance().wrapLongLinesDidChanged(nullptr);
        QVERIFY(table->rowHeight(longRow) > 2 * standard);
        QCOMPARE(table->rowHeight(1), standard);

        // At every width each wrapped value fits in its cell as drawn: with the grid shown a
        // cell is a pixel narrower and lower than its column and row.
        for (int width = 60; width <= 260; ++width) {
            table->horizontalHeader()->resizeSection(1, width);
            table->wrappingChanged();
            const QModelIndex index = table->model()->index(longRow, 1);
            const QRect cell = table->visualRect(index);
            QStyleOptionViewItem option;
            option.initFrom(table);
            option.font = table->font();
            option.features = QStyleOptionViewItem::WrapText;
            option.widget = table;
            option.rect = QRect(0, 0, cell.width(), 100000);
            QVERIFY2(table->itemDelegate()->sizeHint(option, index).height() <= cell.height(),
                     qPrintable(QString::number(width)));
        }

        // Widening the column with wrapping on shortens the row again.
        table->horizontalHeader()->resizeSection(1, 1400);
        QVERIFY(apptest::waitFor([&] { return table->rowHeight(longRow) == standard; }, 2000));
    }

    void columnWidthsAreRememberedPerPosition()
    {
        {
            ComparisonController view(ComparisonController::Kind::ExtendedWindow);
            view.setContent(threeFiles(), kPaths);
            view.table()->horizontalHeader()->resizeSection(2, 321);
        }
        QCOMPARE(Settings().intValue(QStringLiteral("extComparisonColumnWidth2")), 321);
        ComparisonController again(ComparisonController::Kind::Tab);
        again.setContent(threeFiles(), kPaths);
        QCOMPARE(again.table()->columnWidth(2), 321);
        // The general window keeps its own widths.
        ComparisonController general(ComparisonController::Kind::GeneralWindow);
        general.setContent(threeFiles(), kPaths);
        QVERIFY(general.table()->columnWidth(2) != 321);
    }

    void copiesRowsAsHtml()
    {
        ComparisonController view(ComparisonController::Kind::Tab);
        view.setContent(threeFiles(), kPaths);
        ComparisonTableView* table = view.table();

        // A header row, clicked with nothing selected: a table whose only row is its title.
        QVERIFY(view.copyHandler(0));
        const QMimeData* mime = QApplication::clipboard()->mimeData();
        QVERIFY(mime && mime->hasHtml());
        QCOMPARE(mime->html(), QStringLiteral("<table cellspacing=0><tr><td><b>Video</b></td>"
                                              "</tr></table>"));

        // Selected rows, in order, when the clicked row is one of them.
        table->selectionModel()->select(table->model()->index(3, 0),
                                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
        table->selectionModel()->select(table->model()->index(1, 0),
                                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QCOMPARE(table->rowsForCopy(3), (QList<int>{1, 3}));
        QCOMPARE(table->rowsForCopy(-1), (QList<int>{1, 3}));
        // A clicked row outside the selection goes alone.
        QCOMPARE(table->rowsForCopy(2), (QList<int>{2}));
        QVERIFY(view.copyHandler(3));
        QCOMPARE(QApplication::clipboard()->mimeData()->html(),
                 ComparisonExport::pboardHtmlForRows({threeFiles()[1], threeFiles()[3]}));
        QCOMPARE(QApplication::clipboard()->mimeData()->text(),
                 QStringLiteral("Format\tAVC\tAVC\tAVC\nHeight\ta\tb\tc"));

        // Nothing selected and nothing clicked: nothing to copy.
        table->clearSelection();
        QVERIFY(!view.copyHandler(-1));
    }

    void selectionIsPostedForTheStatistics()
    {
        ComparisonController view(ComparisonController::Kind::Tab);
        view.setContent(threeFiles(), kPaths);
        QList<QString> titles;
        auto connection =
            connect(&Notifier::instance(), &Notifier::extComparisonTableSelectionDidChange, this,
                    [&](QObject*, const ComparisonRow* r) {
                        titles.append(r ? r->values.first() : QStringLiteral("-"));
                    });
        selectRow(view.table(), 2);
        view.table()->clearSelection();
        disconnect(connection);
        QVERIFY(titles.contains(QStringLiteral("Width")));
        QCOMPARE(titles.last(), QStringLiteral("-"));
        QVERIFY(!view.extComparisonSelectionInfo());

        // The general window does not post: the statistics follow extended comparisons only.
        ComparisonController general(ComparisonController::Kind::GeneralWindow);
        general.setContent(threeFiles(), kPaths);
        QSignalSpy spy(&Notifier::instance(), &Notifier::extComparisonTableSelectionDidChange);
        selectRow(general.table(), 2);
        QCOMPARE(spy.count(), 0);
    }

    void exportsThroughTheSheet()
    {
        QWidget window;
        ComparisonController view(ComparisonController::Kind::Tab);
        QList<ComparisonRow> rows = threeFiles();
        rows.append(row({QStringLiteral("Say"), QStringLiteral("\"hi\" <b>"), QString(),
                         QStringLiteral("two\nlines")}));
        view.setContent(rows, kPaths);
        QTemporaryDir dir;

        QPointer<ComparisonExportWinController> sheet =
            ComparisonExportWinController::openPanelForWindow(&window, &view);
        QCOMPARE(sheet->formatPopup()->count(), 2);
        QCOMPARE(sheet->selectedFormat(), QStringLiteral("csv")); // the registered default
        QVERIFY(sheet->isVisible());
        const QString csvPath = dir.filePath(QStringLiteral("c.csv"));
        QVERIFY(sheet->exportToPath(csvPath, QStringLiteral("csv")));
        QVERIFY(apptest::waitFor([&] { return sheet.isNull(); }, 2000)); // closed and gone
        QFile csv(csvPath);
        QVERIFY(csv.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(csv.readAll()),
                 ComparisonExport::csvExportStringForContent(rows, kPaths));

        // A place that cannot be written: the sheet stays open, nothing is written.
        QPointer<ComparisonExportWinController> second =
            ComparisonExportWinController::openPanelForWindow(&window, &view);
        const QString bad = dir.filePath(QStringLiteral("missing/folder/c.html"));
        QVERIFY(!second->exportToPath(bad, QStringLiteral("html")));
        QVERIFY(second && second->isVisible());
        QVERIFY(
            second->exportToPath(dir.filePath(QStringLiteral("c.html")), QStringLiteral("html")));
        QFile html(dir.filePath(QStringLiteral("c.html")));
        QVERIFY(html.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(html.readAll()), view.htmlExportString());
    }

    void windowsKeepTheirRowsAndFollowTheWrapCommand()
    {
        const QList<PerspixDataPtr> files = {
            PerspixData::dataAboutFile(apptest::dataPath(QStringLiteral("media/paris.mp4")), {}),
            PerspixData::dataAboutFile(apptest::dataPath(QStringLiteral("media/sydney.mov")), {})};
        QPointer<ComparisonWindowController> ext =
            ComparisonWindowController::prepareAndShowExtendedComparisonWithPerspixDataArray(files);
        QPointer<ComparisonWindowController> gen =
            ComparisonWindowController::prepareAndShowGeneralComparisonWithPerspixDataArray(files);
        QVERIFY(ext && gen);
        QCOMPARE(ext->controller()->kind(), ComparisonController::Kind::ExtendedWindow);
        QCOMPARE(gen->controller()->kind(), ComparisonController::Kind::GeneralWindow);
        QCOMPARE(ext->controller()->description().size(), 2);
        QVERIFY(ext->controller()->content().size() > gen->controller()->content().size());
        QVERIFY(gen->controller()->content().size() >= 2); // a video and an audio line

        const bool wrap = Settings().boolValue(prefs::kWrapLongLines);
        ext->clickWrapLongLines();
        QCOMPARE(Settings().boolValue(prefs::kWrapLongLines), !wrap);
        QCOMPARE(gen->controller()->table()->isWrapping(), !wrap);
        QCOMPARE(gen->controller()->table()->wordWrap(), !wrap);

        ext->close();
        gen->close();
        QVERIFY(apptest::waitFor([&] { return ext.isNull() && gen.isNull(); }, 2000));
    }
};

PERSPIX_APP_TEST_MAIN(ComparisonViewsTest)
#include "ComparisonViewsTest.moc"
