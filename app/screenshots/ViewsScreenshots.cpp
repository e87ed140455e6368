// Screenshots of the comparison, statistics and map views (see ViewsScreenshots.h).
#include "app/screenshots/ViewsScreenshots.h"
#include "app/screenshots/ScreenshotMode.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>
#include <QTableWidget>
#include <QThread>

#include "app/mainwindow/ArrangedFilelistModel.h"
#include "app/comparison/ComparisonController.h"
#include "app/comparison/ComparisonWindowController.h"
#include "app/mainwindow/ExtTreeModel.h"
#include "app/mainwindow/ExtendedOutline.h"
#include "app/mainwindow/MainView.h"
#include "app/mainwindow/MainWindowController.h"
#include "app/map/MapPin.h"
#include "app/map/MapWidget.h"
#include "app/map/MapWindowController.h"
#include "app/privacy/PrivacyWindowController.h"
#include <QTreeWidget>
#include "app/comparison/ParameterStatisticsController.h"
#include "app/packets/BitrateWindow.h"
#include "app/WindowInfo.h"
#include "model/Log.h"
#include "model/Settings.h"

namespace perspix {

namespace {

// The first row that differs between the files and is no header, for a selection that
// shows the marks.
int firstDifferingRow(const QList<ComparisonRow>& rows)
{
    for (int r = 0; r < rows.size(); ++r)
        if (rows[r].values.size() > 2 && !rows[r].allEqual && rows[r].coincidences > 1)
            return r;
    for (int r = 0; r < rows.size(); ++r)
        if (rows[r].values.size() > 2 && !rows[r].allEqual)
            return r;
    return -1;
}

void selectTableRow(ComparisonTableView* table, int row)
{
    if (row < 0)
        return;
    const QModelIndex index = table->model()->index(row, 0);
    table->selectionModel()->select(index, QItemSelectionModel::ClearAndSelect |
                                               QItemSelectionModel::Rows);
    table->selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    table->scrollTo(index, QAbstractItemView::EnsureVisible);
}
} // namespace

// The Bitrate and Frames window of the largest film of the window's list.
static bool saveBitrateScreenshot(MainWindowController* window, const QDir& dir)
{
    static const QStringList films = {"mp4", "mov", "mkv", "webm", "mpg", "avi"};
    QString film;
    qint64 largest = -1;
    ArrangedFilelistModel* list = window->myView()->arrangedModel();
    for (int r = 0; r < list->rowCount(); ++r) {
        const QFileInfo info(list->itemAt(r)->filename());
        if (films.contains(info.suffix().toLower()) && info.size() > largest) {
            largest = info.size();
            film = info.filePath();
        }
    }
    if (film.isEmpty())
        return true;
    BitrateWindow bitrate;
    bitrate.resize(1000, 700);
    bitrate.show();
    QEventLoop wait;
    QObject::connect(&bitrate, &BitrateWindow::loaded, &wait, &QEventLoop::quit);
    bitrate.open(film);
    QTimer::singleShot(20000, &wait, &QEventLoop::quit);
    wait.exec();
    screenshotSettle(300);
    return saveScreenshot(&bitrate, dir, QStringLiteral("bitrate.png"));
}

bool saveViewsScreenshots(MainWindowController* window, const QDir& dir)
{
    bool ok = true;
    Settings ud;
    ud.setValue(prefs::kExtComparisonHighlight, true);
    ud.setValue(prefs::kShowCoincidences, true);

    // The comparison tab with highlighting.
    window->setCurrentTab(MainWindowController::ComparisonTab);
    screenshotSettle(400);
    if (ComparisonController* tab = WindowInfo::comparisonControllerOf(window)) {
        tab->setHighlightDifferences(true);
        selectTableRow(tab->table(), firstDifferingRow(tab->content()));
        screenshotSettle(200);
    }
    ok &= saveScreenshot(window, dir, QStringLiteral("comparison.png"));

    // The extended comparison window with the marks of differing values.
    ComparisonWindowController* ext =
        ComparisonWindowController::prepareAndShowExtendedComparisonWithPerspixDataArray(
            window->myView()->filesForComparison());
    ext->resize(1100, 640);
    screenshotSettle(300);
    const int row = firstDifferingRow(ext->controller()->content());
    selectTableRow(ext->controller()->table(), row);
    screenshotSettle(300);
    ok &= saveScreenshot(ext, dir, QStringLiteral("ext-comparison.png"));

    // The statistics of that row.
    ParameterStatisticsController& stats = ParameterStatisticsController::sharedInstance();
    stats.show();
    if (row >= 0)
        stats.prepareForComparisonRow(&ext->controller()->content()[row]);
    stats.resize(960, 470);
    screenshotSettle(300);
    ok &= saveScreenshot(&stats, dir, QStringLiteral("statistics.png"));
    stats.hide();
    ext->close();

    // The map with a pin per located file, offline.
    window->setCurrentTab(MainWindowController::GeneralTab);
    window->raise();
    window->activateWindow();
    QApplication::setActiveWindow(window);
    screenshotSettle(200);
    MapWindowController& map = MapWindowController::sharedInstance();
    map.resize(900, 600);
    map.showSharedMapWindow();
    screenshotSettle(1500); // tiles that can be had arrive, or the map settles on its basemap
    // One pin selected, as after a click, shows its file's name.
    const QList<MapPin*> pins = map.mapView()->pins();
    if (!pins.isEmpty())
        pins.first()->setSelected(true);
    screenshotSettle(300);
    ok &= saveScreenshot(&map, dir, QStringLiteral("map.png"));
    map.close();

    // The privacy report of the window's files, the file with the most tags found selected
    // and a position's tags shown below it.
    PrivacyWindowController& privacy = PrivacyWindowController::sharedInstance();
    privacy.resize(1100, 620);
    privacy.showSharedPrivacyWindow();
    screenshotSettle(1500); // pictures are read once more, with ExifTool
    const auto tagsOf = [](const privacy::Report& report) {
        qsizetype count = 0;
        for (const privacy::Finding& finding : report.findings)
            count += std::max<qsizetype>(1, finding.details.size());
        return count;
    };
    int most = -1;
    for (int r = 0; r < privacy.reports().size(); ++r)
        if (most < 0 || tagsOf(privacy.reports()[r]) > tagsOf(privacy.reports()[most]))
            most = r;
    if (most >= 0)
        privacy.table()->selectRow(most);
    privacy.findingsView()->expandAll();
    screenshotSettle(300);
    ok &= saveScreenshot(&privacy, dir, QStringLiteral("privacy.png"));
    privacy.close();

    ok &= saveBitrateScreenshot(window, dir);
    return ok;
}

} // namespace perspix
