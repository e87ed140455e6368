// The map window, offline as on every test machine: the basemap, a pin per located file of
// the window (JPEG and HEIC GPS, MP4 and MOV ISO 6709, the user-data "xyz"), following the
// window's selection without selecting back, the right pin among two at one coordinate,
// and the no-content view for a window without located files.
#include <QComboBox>
#include <QFile>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <algorithm>
#include <cmath>

#include "AppTestSupport.h"
#include "app/AppController.h"
#include "app/WindowInfo.h"
#include "app/mainwindow/ArrangedFilelistModel.h"
#include "app/mainwindow/MainView.h"
#include "app/mainwindow/MainWindowController.h"
#include "app/mainwindow/MainWindowViews.h"
#include "app/map/MapBasemap.h"
#include "app/map/MapPin.h"
#include "app/map/MapProjection.h"
#include "app/map/MapTileLoader.h"
#include "app/map/MapWidget.h"
#include "app/map/MapWindowController.h"
#include "batch/WindowWorker.h"
#include "model/Log.h"
#include "model/Settings.h"

using namespace perspix;

namespace {

MainWindowController* openWindow(const QStringList& relativePaths)
{
    QList<QUrl> urls;
    for (const QString& path : relativePaths)
        urls.append(QUrl::fromLocalFile(apptest::dataPath(path)));
    MainWindowController* window = AppController::instance().showNewWindowForFiles(urls);
    window->processUrls(urls);
    const bool done = apptest::waitFor([&] {
        return window->worker()->countToProcess() == urls.size() &&
               window->worker()->processingIsDone();
    });
    return done ? window : nullptr;
}

int rowOf(MainWindowController* window, const QString& name)
{
    ArrangedFilelistModel* model = window->myView()->arrangedModel();
    for (int r = 0; r < model->rowCount(); ++r)
        if (model->itemAt(r)->filename().endsWith(QLatin1Char('/') + name))
            return r;
    return -1;
}

void activate(QWidget* window)
{
    window->raise();
    window->activateWindow();
    QApplication::setActiveWindow(window);
    apptest::waitFor([&] { return QApplication::activeWindow() == window; }, 2000);
}

} // namespace

class MapWindowTest : public QObject
{
    Q_OBJECT

    QPointer<MainWindowController> m_located;
    QPointer<MainWindowController> m_unlocated;

private slots:
    void initTestCase()
    {
        // Tests never reach the network: no tile source at all.
        Settings ud;
        for (const QString& key :
             {QStringLiteral("mapTilesStandard"), QStringLiteral("mapTilesSatellite"),
              QStringLiteral("mapTilesHybrid")})
            ud.setValue(key, QString());
        AppController::initialize();
        m_located = openWindow(
            {QStringLiteral("images/DSCN0010.jpg"), QStringLiteral("images/gps-from-jpeg.heic"),
             QStringLiteral("media/paris.mp4"), QStringLiteral("media/Été à Paris (2).mp4"),
             QStringLiteral("media/sydney.mov"), QStringLiteral("media/nyc.mp4"),
             QStringLiteral("audio/stereo.wav")});
        QVERIFY(m_located);
        m_unlocated =
            openWindow({QStringLiteral("audio/stereo.wav"), QStringLiteral("media/clip.webm")});
        QVERIFY(m_unlocated);
    }

    void cleanupTestCase()
    {
        MapWindowController::sharedInstance().close();
        for (auto* window : {m_located.data(), m_unlocated.data()})
            if (window)
                window->close();
    }

    void projectionAndBasemap()
    {
        struct Case
        {
            double lat, lon;
            QPointF scene;
        };
        const QList<Case> cases = {{0, 0, {128, 128}},
                                   {0, -180, {0, 128}},
                                   {mercator::kMaxLatitude, 180, {256, 0}},
                                   {-89.9, 0, {128, 256}}}; // clamped onto the square
        for (const Case& c : cases) {
            const QPointF p = mercator::sceneFromCoordinate(c.lat, c.lon);
            QVERIFY2(std::abs(p.x() - c.scene.x()) < 1e-6 && std::abs(p.y() - c.scene.y()) < 1e-6,
                     qPrintable(QStringLiteral("%1,%2").arg(c.lat).arg(c.lon)));
        }
        const auto back =
            mercator::coordinateFromScene(mercator::sceneFromCoordinate(-33.8688, 151.2093));
        QVERIFY(std::abs(back.latitude + 33.8688) < 1e-9 &&
                std::abs(back.longitude - 151.2093) < 1e-9);

        const MapBasemap& basemap = MapBasemap::shipped();
        QVERIFY(basemap.ringCount() > 1000);
        // Paris is on land, the middle of the Atlantic is not.
        QVERIFY(basemap.land().contains(mercator::sceneFromCoordinate(48.8577, 2.295)));
        QVERIFY(!basemap.land().contains(mercator::sceneFromCoordinate(30, -40)));
        // Shapes that cross the antimeridian (Chukotka, Fiji) stay where they are and draw
        // no band round the world at their latitude.
        QVERIFY(basemap.land().contains(mercator::sceneFromCoordinate(66.5, -172)));
        QVERIFY(!basemap.land().contains(mercator::sceneFromCoordinate(67.3, -26)));
        QVERIFY(!basemap.land().contains(mercator::sceneFromCoordinate(-16.49, -100)));
        QVERIFY(std::any_of(
            basemap.labels().begin(), basemap.labels().end(),
            [](const MapBasemap::Label& l) { return l.name == QLatin1String("France"); }));

        // Data that is not a basemap, or is cut short, is refused.
        QFile file(QStringLiteral(":/basemap/basemap-50m.bin"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray data = file.readAll();
        QVERIFY(MapBasemap::fromData(data));
        QVERIFY(!MapBasemap::fromData(data.left(data.size() / 2)));
        QVERIFY(!MapBasemap::fromData(QByteArray("PXBMAP01") + QByteArray(12, '\xff')));
        QVERIFY(!MapBasemap::fromData(QByteArray("not a basemap at all")));
    }

    void tileUrlsAndSources()
    {
        QCOMPARE(MapTileLoader::urlForTile(QStringLiteral("https://t/{z}/{x}/{y}.png"), 3, 4, 5),
                 QStringLiteral("https://t/3/4/5.png"));
        QVERIFY(MapTileLoader::userAgent().startsWith(QLatin1String("Perspix/")));
        // Nothing configured here: the map asks for no tile and stays with its basemap.
        QVERIFY(MapWindowController::tileSourceForType(MapWindowController::Standard).isEmpty());
        MapWidget map;
        QVERIFY(!map.tilesAvailable());
        QVERIFY(map.tileLoader()->tile({0, 1, 0, 0}).isNull());
        QVERIFY(map.maximumZoom() <= 10);
        // Without a setting, the standard map is OpenStreetMap's, with its attribution.
        Settings ud;
        ud.remove(QStringLiteral("mapTilesStandard"));
        const MapTileSource osm = MapWindowController::tileSourceForType(0);
        ud.setValue(QStringLiteral("mapTilesStandard"), QString());
        QCOMPARE(osm.urlTemplates,
                 QStringList{QStringLiteral("https://tile.openstreetmap.org/{z}/{x}/{y}.png")});
        QVERIFY(osm.attribution.contains(QLatin1String("OpenStreetMap")));
    }

    void aSingleLocationShowsAboutAKilometre()
    {
        // A tile source that gives nothing, without any network; the view frames the
        // location as if tiles could come.
        MapWidget map;
        map.setTileSource(
            {{QStringLiteral("file:///nonexistent-perspix-tiles/{z}/{x}/{y}.png")}, {}, 19});
        map.resize(800, 600);
        map.show();
        QVERIFY(QTest::qWaitForWindowExposed(&map));
        MapPin* pin = map.addPin({-33.8688, 151.2093, QStringLiteral("/s/sydney.mov"), 0});
        map.showAllPins();
        const QRectF visible = map.visibleSceneRect();
        QVERIFY(visible.contains(pin->pos()));
        const double metres =
            std::min(visible.width(), visible.height()) * mercator::metresPerSceneUnit(-33.8688);
        QVERIFY2(metres > 900 && metres < 1100, qPrintable(QString::number(metres)));
        // Once the tiles are known to be out of reach, the same location is shown offline.
        map.setTileSource({});
        QCOMPARE(map.zoomLevel(), 6.0);
        QVERIFY(map.visibleSceneRect().contains(pin->pos()));
    }

    void pinsForTheLocatedFiles()
    {
        MapWindowController& map = MapWindowController::sharedInstance();
        activate(m_located);
        map.showSharedMapWindow();
        QVERIFY(!map.isShowingNoContent());
        QCOMPARE(map.lastWindow(), m_located.data());

        struct Expected
        {
            QString name;
            double lat, lon;
        };
        const QList<Expected> expected = {
            {QStringLiteral("DSCN0010.jpg"), 43.46745, 11.88513},
            {QStringLiteral("gps-from-jpeg.heic"), 43.46745, 11.88513},
            {QStringLiteral("paris.mp4"), 48.8577, 2.2950},
            {QStringLiteral("Été à Paris (2).mp4"), 48.8577, 2.2950},
            {QStringLiteral("sydney.mov"), -33.8688, 151.2093},
            {QStringLiteral("nyc.mp4"), 40.7128, -74.0060},
        };
        const QList<MapPin*> pins = map.mapView()->pins();
        QCOMPARE(pins.size(), expected.size()); // the sound file has no location
        for (const Expected& e : expected) {
            const auto pin = std::find_if(pins.begin(), pins.end(),
                                          [&](MapPin* p) { return p->title() == e.name; });
            QVERIFY2(pin != pins.end(), qPrintable(e.name));
            QVERIFY2(std::abs((*pin)->latitude() - e.lat) < 1e-3 &&
                         std::abs((*pin)->longitude() - e.lon) < 1e-3,
                     qPrintable(QStringLiteral("%1: %2,%3")
                                    .arg(e.name)
                                    .arg((*pin)->latitude())
                                    .arg((*pin)->longitude())));
            QCOMPARE((*pin)->mapLocationInfo().lastIndexInList, rowOf(m_located, e.name));
        }
        // Every pin is in view after showing them all, also once the window gets another
        // size (as when it is laid out or placed after it was asked to show them).
        for (const QSize& size : {QSize(), QSize(520, 380), QSize(1000, 700)}) {
            if (size.isValid()) {
                map.resize(size);
                QVERIFY(
                    apptest::waitFor([&] { return map.mapView()->width() == size.width(); }, 2000));
            }
            const QRectF visible = map.mapView()->visibleSceneRect();
            for (MapPin* pin : pins)
                QVERIFY2(visible.contains(pin->pos()), qPrintable(pin->title()));
        }
    }

    void followsTheWindowWithoutSelectingBack()
    {
        MapWindowController& map = MapWindowController::sharedInstance();
        activate(m_located);
        map.showSharedMapWindow();
        MainView* view = m_located->myView();
        QSignalSpy changes(view, &MainView::currentFileChanged);

        // Both pairs share one coordinate: the pin of the selected file is the one selected.
        for (const QString& name :
             {QStringLiteral("Été à Paris (2).mp4"), QStringLiteral("paris.mp4"),
              QStringLiteral("gps-from-jpeg.heic"), QStringLiteral("DSCN0010.jpg"),
              QStringLiteral("sydney.mov")}) {
            changes.clear();
            const int row = rowOf(m_located, name);
            view->selectRow(row);
            QVERIFY(
                apptest::waitFor([&] { return map.mapView()->selectedPin() != nullptr; }, 2000));
            MapPin* selected = map.mapView()->selectedPin();
            QCOMPARE(selected->title(), name);
            QCOMPARE(map.lastAnnotation(), selected);
            // Selected by the window: nothing is sent back.
            QCOMPARE(view->selectedRow(), row);
            QCOMPARE(map.skipSelectionByFilename(), QString());
            QTest::qWait(20);
            QCOMPARE(changes.count(), 1);
            QVERIFY(map.mapView()->visibleSceneRect().contains(selected->pos()));
        }

        // A file without location deselects the pin.
        view->selectRow(rowOf(m_located, QStringLiteral("stereo.wav")));
        QVERIFY(apptest::waitFor([&] { return map.mapView()->selectedPin() == nullptr; }, 2000));

        // The user picks a pin: its file is selected in the window.
        const QList<MapPin*> pins = map.mapView()->pins();
        MapPin* nyc = *std::find_if(pins.begin(), pins.end(), [](MapPin* p) {
            return p->title() == QLatin1String("nyc.mp4");
        });
        nyc->setSelected(true);
        QCOMPARE(view->selectedRow(), rowOf(m_located, QStringLiteral("nyc.mp4")));
        QCOMPARE(map.mapView()->selectedPin(), nyc);
    }

    void aLocationOfTheCurrentFileOpensTheMap()
    {
        MapWindowController& map = MapWindowController::sharedInstance();
        map.close();
        activate(m_located);
        MainView* view = m_located->myView();
        view->selectRow(rowOf(m_located, QStringLiteral("stereo.wav")));
        QVERIFY(!MainWindowViews::showLocationOfCurrentFile(m_located));
        QVERIFY(!map.isVisible());
        const int row = rowOf(m_located, QStringLiteral("sydney.mov"));
        view->selectRow(row);
        QVERIFY(MainWindowViews::showLocationOfCurrentFile(m_located));
        QVERIFY(map.isVisible());
        QVERIFY(map.mapView()->selectedPin());
        QCOMPARE(map.mapView()->selectedPin()->title(), QStringLiteral("sydney.mov"));
        QCOMPARE(view->selectedRow(), row);
        activate(m_located);
    }

    void aPinWhoseFileMovedIsNotFollowed()
    {
        MapWindowController& map = MapWindowController::sharedInstance();
        activate(m_located);
        map.showSharedMapWindow();
        MapLocationRecord stale = map.mapView()->pins().first()->mapLocationInfo();
        stale.lastIndexInList = (stale.lastIndexInList + 1) % 7;
        LogCapture log;
        QVERIFY(!WindowInfo::selectFileByMapLocationInfo(m_located, stale));
        QVERIFY(log.contains(QStringLiteral("not found by last known index")));
    }

    void displayOnlySelected()
    {
        MapWindowController& map = MapWindowController::sharedInstance();
        activate(m_located);
        map.showSharedMapWindow();
        MainView* view = m_located->myView();
        view->selectRow(rowOf(m_located, QStringLiteral("sydney.mov")));
        map.setDisplayOnlySelected(true);
        QCOMPARE(map.mapView()->pins().size(), 1);
        QCOMPARE(map.mapView()->pins().first()->title(), QStringLiteral("sydney.mov"));
        // Offline, a kilometre would be plain land: the view keeps the coasts and borders
        // around the location (zoom 6, some hundreds of kilometres).
        const QRectF visible = map.mapView()->visibleSceneRect();
        QVERIFY(visible.contains(map.mapView()->pins().first()->pos()));
        QCOMPARE(map.mapView()->zoomLevel(), 6.0);
        view->selectRow(rowOf(m_located, QStringLiteral("stereo.wav")));
        QVERIFY(apptest::waitFor([&] { return map.isShowingNoContent(); }, 2000));
        map.setDisplayOnlySelected(false);
        QVERIFY(!map.isShowingNoContent());
        QCOMPARE(map.mapView()->pins().size(), 6);
    }

    void windowWithoutLocatedFilesShowsNoContent()
    {
        MapWindowController& map = MapWindowController::sharedInstance();
        activate(m_located);
        map.showSharedMapWindow();
        QVERIFY(!map.isShowingNoContent());

        // Another window becomes the key window: the map follows it.
        activate(m_unlocated);
        QVERIFY(apptest::waitFor([&] { return map.lastWindow() == m_unlocated.data(); }, 3000));
        QVERIFY(map.isShowingNoContent());
        QVERIFY(map.mapView()->pins().isEmpty());

        // And back.
        activate(m_located);
        QVERIFY(apptest::waitFor([&] { return !map.isShowingNoContent(); }, 3000));
        QCOMPARE(map.mapView()->pins().size(), 6);

        // Asked directly for a window that is no main window.
        map.clearAndShowAllLocationsFromWindow(&map);
        QVERIFY(map.isShowingNoContent());
        QVERIFY(!map.lastWindow());
    }

    void aClosedWindowsPinsGoAndTheKeyboardCloses()
    {
        MapWindowController& map = MapWindowController::sharedInstance();
        QPointer<MainWindowController> single = openWindow({QStringLiteral("media/nyc.mp4")});
        QVERIFY(single);
        activate(single);
        map.showSharedMapWindow();
        QCOMPARE(map.lastWindow(), single.data());
        QCOMPARE(map.mapView()->pins().size(), 1);
        single->close();
        // The map shows another open window's files, never the closed one's.
        QVERIFY(map.lastWindow() == m_located.data() || map.lastWindow() == m_unlocated.data());
        QCOMPARE(map.mapView()->pins().size(), map.lastWindow() == m_located.data() ? 6 : 0);

        for (const QKeySequence& key :
             {QKeySequence(Qt::Key_Escape), QKeySequence(QKeySequence::Close)}) {
            map.showSharedMapWindow();
            activate(&map);
            QTest::keySequence(&map, key);
            QVERIFY2(!map.isVisible(), qPrintable(key.toString()));
        }
    }

    void mapTypesWithoutSourcesCannotBeChosen()
    {
        MapWindowController& map = MapWindowController::sharedInstance();
        auto* model = qobject_cast<QStandardItemModel*>(map.mapTypeMenu()->model());
        QVERIFY(model);
        QVERIFY(model->item(MapWindowController::Standard)->isEnabled());
        QVERIFY(!model->item(MapWindowController::Satellite)->isEnabled());
        QVERIFY(!model->item(MapWindowController::Hybrid)->isEnabled());
        map.setMapType(7); // anything else is the standard map
        QCOMPARE(map.mapType(), int(MapWindowController::Standard));
    }
};

PERSPIX_APP_TEST_MAIN(MapWindowTest)
#include "MapWindowTest.moc"
