// The map window (see MapWindowController.h).
#include "app/map/MapWindowController.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QStackedWidget>
#include <QStandardItemModel>
#include <QVBoxLayout>
#include <QWindow>

#include "app/AppController.h"
#include "app/Notifier.h"
#include "app/WindowPlacement.h"
#include "app/mainwindow/MainView.h"
#include "app/mainwindow/MainWindowController.h"
#include "app/map/MapPin.h"
#include "app/map/MapWidget.h"
#include "batch/WindowWorker.h"

namespace perspix {

namespace {
// Tile URL templates per map type, several separated by blanks (drawn one over the other,
// as a hybrid map's labels over its imagery), and the attribution their terms ask for.
const QString kTilesKey[] = {QStringLiteral("mapTilesStandard"),
                             QStringLiteral("mapTilesSatellite"), QStringLiteral("mapTilesHybrid")};
const QString kAttributionKey[] = {QStringLiteral("mapTilesStandardAttribution"),
                                   QStringLiteral("mapTilesSatelliteAttribution"),
                                   QStringLiteral("mapTilesHybridAttribution")};
const QString kOsmTiles = QStringLiteral("https://tile.openstreetmap.org/{z}/{x}/{y}.png");
const QString kOsmAttribution =
    QStringLiteral("© <a href=\"https://www.openstreetmap.org/copyright\">OpenStreetMap</a> "
                   "contributors");
constexpr double kSingleLocationSpan = 1000; // metres
} // namespace

MapWindowController& MapWindowController::sharedInstance()
{
    static MapWindowController* instance = new MapWindowController;
    return *instance;
}

MapTileSource MapWindowController::tileSourceForType(int type)
{
    if (type < Standard || type > Hybrid)
        type = Standard;
    Settings ud;
    MapTileSource source;
    const QString tiles = ud.contains(kTilesKey[type]) ? ud.stringValue(kTilesKey[type])
                                                       : (type == Standard ? kOsmTiles : QString());
    source.urlTemplates = tiles.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    source.attribution =
        ud.contains(kAttributionKey[type])
            ? ud.stringValue(kAttributionKey[type])
            : (type == Standard && !ud.contains(kTilesKey[type]) ? kOsmAttribution : QString());
    return source;
}

MapWindowController::MapWindowController()
    : QWidget(nullptr, Qt::Window), m_map(new MapWidget), m_stack(new QStackedWidget)
{
    setObjectName(QStringLiteral("Map"));
    setWindowTitle(tr("Map"));

    // The map-type menu and the display-only-selected toggle float over the map.
    m_mapPage = new QWidget;
    auto* pageLayout = new QVBoxLayout(m_mapPage);
    pageLayout->setContentsMargins(0, 0, 0, 0);
    pageLayout->addWidget(m_map);
    auto* bar = new QWidget(m_map);
    bar->setObjectName(QStringLiteral("mapControls"));
    bar->setAutoFillBackground(true);
    QPalette barPalette = bar->palette();
    barPalette.setColor(QPalette::Window, QColor(255, 255, 255, 230));
    barPalette.setColor(QPalette::WindowText, QColor(30, 30, 30));
    bar->setPalette(barPalette);
    m_typeMenu = new QComboBox(bar);
    m_typeMenu->addItem(tr("Standard"), Standard);
    m_typeMenu->addItem(tr("Satellite"), Satellite);
    m_typeMenu->addItem(tr("Hybrid"), Hybrid);
    m_typeMenu->setToolTip(tr("Map type"));
    m_onlySelected = new QCheckBox(tr("Only selected file"), bar);
    m_onlySelected->setToolTip(tr("Show only the pin of the file selected in the window"));
    auto* barLayout = new QHBoxLayout(bar);
    barLayout->setContentsMargins(6, 4, 8, 4);
    barLayout->addWidget(m_typeMenu);
    barLayout->addWidget(m_onlySelected);
    bar->adjustSize();
    bar->move(10, 10);

    m_noContent = new QWidget;
    auto* noLayout = new QVBoxLayout(m_noContent);
    auto* noTitle = new QLabel(tr("No Locations"));
    QFont big = noTitle->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    noTitle->setFont(big);
    noTitle->setAlignment(Qt::AlignCenter);
    auto* noText = new QLabel(tr("None of the files listed in the active window carries a "
                                 "geographic location."));
    noText->setWordWrap(true);
    noText->setAlignment(Qt::AlignCenter);
    noTitle->setEnabled(false);
    noText->setEnabled(false);
    noLayout->addStretch(1);
    noLayout->addWidget(noTitle);
    noLayout->addWidget(noText);
    noLayout->addStretch(1);

    m_stack->addWidget(m_mapPage);
    m_stack->addWidget(m_noContent);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_stack);
    resize(820, 580);

    // Types without a configured tile source cannot be chosen.
    auto* items = qobject_cast<QStandardItemModel*>(m_typeMenu->model());
    for (int type = Satellite; type <= Hybrid; ++type)
        if (items && tileSourceForType(type).isEmpty())
            items->item(type)->setEnabled(false);
    const int stored = int(m_ud.intValue(prefs::kMapType));
    setMapType(tileSourceForType(stored).isEmpty() ? Standard : stored);

    connect(m_typeMenu, &QComboBox::activated, this,
            [this](int index) { setMapType(m_typeMenu->itemData(index).toInt()); });
    connect(m_onlySelected, &QCheckBox::toggled, this,
            &MapWindowController::displayOnlySelectedToggled);
    connect(m_map, &MapWidget::pinSelectionChanged, this,
            &MapWindowController::pinSelectionDidChange);
    connect(&Notifier::instance(), &Notifier::workerFileDidChange, this,
            &MapWindowController::workerFileDidChange);
    connect(&Notifier::instance(), &Notifier::windowArrangedFilelistDidChange, this,
            &MapWindowController::arrangedFilelistDidChange);
    // Window activation shows as a new focus window or, on some platforms only, as a new
    // focus widget; the handler looks at the active window either way.
    connect(qGuiApp, &QGuiApplication::focusWindowChanged, this,
            &MapWindowController::windowDidBecomeKey);
    connect(qApp, &QApplication::focusChanged, this, &MapWindowController::windowDidBecomeKey);
    connect(&Notifier::instance(), &Notifier::mainWindowWillClose, this,
            &MapWindowController::mainWindowWillClose);
    auto* close = new QAction(this);
    close->setShortcuts({QKeySequence::Close, QKeySequence(Qt::Key_Escape)});
    connect(close, &QAction::triggered, this, &QWidget::close);
    addAction(close);
    showNoContent();
}

QWidget* MapWindowController::mainView() const
{
    return m_mapPage;
}

bool MapWindowController::isShowingNoContent() const
{
    return m_stack->currentWidget() == m_noContent;
}

void MapWindowController::showNoContent()
{
    m_stack->setCurrentWidget(m_noContent);
}

void MapWindowController::showMap()
{
    m_stack->setCurrentWidget(m_mapPage);
}

void MapWindowController::setMapType(int type)
{
    if (type < Standard || type > Hybrid)
        type = Standard;
    m_mapType = type;
    m_ud.setValue(prefs::kMapType, type);
    m_typeMenu->setCurrentIndex(type);
    MapTileSource source = tileSourceForType(type);
    m_map->setTileSource(source);
}

bool MapWindowController::displayOnlySelected() const
{
    return m_onlySelected->isChecked();
}

void MapWindowController::setDisplayOnlySelected(bool on)
{
    m_onlySelected->setChecked(on);
}

QWidget* MapWindowController::keyWindow() const
{
    QWidget* active = QApplication::activeWindow();
    if (!active || active == this)
        return m_lastWindow;
    return active;
}

bool MapWindowController::answersAllMapLocationInfo(QWidget* window)
{
    return qobject_cast<MainWindowController*>(window) != nullptr;
}

// ---- showing ----------------------------------------------------------------------------

void MapWindowController::showSharedMapWindow()
{
    clearAndShowAllLocationsFromWindow(keyWindow());
    if (displayOnlySelected())
        setCenterWithLocationDict(
            WindowInfo::mapLocationInfo(qobject_cast<MainWindowController*>(m_lastWindow.data())));
    if (!isVisible())
        WindowPlacement::keepOnScreen(this);
    show();
    raise();
    activateWindow();
}

void MapWindowController::showSharedMapWindowAndCenterLocationDict(const MapLocationRecord& record)
{
    clearAndShowAllLocationsFromWindow(keyWindow());
    if (!isVisible())
        WindowPlacement::keepOnScreen(this);
    show();
    raise();
    activateWindow();
    setCenterWithLocationDict(record);
}

void MapWindowController::clearAndShowAllLocationsFromWindow(QWidget* window)
{
    m_lastAnnotation = nullptr;
    m_map->removeAllPins();
    auto* main = qobject_cast<MainWindowController*>(window);
    if (!main) {
        showNoContent();
        m_lastWindow = nullptr;
        return;
    }
    m_lastWindow = main;
    const QList<MapLocationRecord> records = WindowInfo::allMapLocationInfo(main);
    for (const MapLocationRecord& record : records)
        m_map->addPin(record);
    if (records.isEmpty()) {
        showNoContent();
        return;
    }
    showMap();
    m_map->showAllPins();
}

void MapWindowController::setCenterWithLocationDict(const std::optional<MapLocationRecord>& record)
{
    if (displayOnlySelected()) {
        if (!record) {
            showNoContent();
            m_skipSelectionByFilename.clear();
            return;
        }
        showMap();
        m_lastAnnotation = nullptr;
        m_map->removeAllPins();
        MapPin* pin = m_map->addPin(*record);
        m_skipSelectionByFilename = record->filename;
        pin->setSelected(true);
        m_lastAnnotation = pin;
        m_map->showRegion(record->latitude, record->longitude, kSingleLocationSpan);
        return;
    }
    if (!record) {
        m_skipSelectionByFilename.clear();
        if (m_lastAnnotation)
            m_lastAnnotation->setSelected(false);
        return;
    }
    m_map->centerOnCoordinate(record->latitude, record->longitude);
    for (MapPin* pin : m_map->pins()) {
        if (pin->latitude() != record->latitude || pin->longitude() != record->longitude ||
            pin->filename() != record->filename)
            continue;
        if (!pin->isSelected()) {
            // The selection comes from the window: it must not go back to it.
            m_skipSelectionByFilename = pin->filename();
            if (QGraphicsScene* scene = pin->scene())
                scene->clearSelection();
            pin->setSelected(true);
        }
        m_lastAnnotation = pin;
        return;
    }
}

// ---- following the application ------------------------------------------------------------

void MapWindowController::windowDidBecomeKey()
{
    if (!isVisible())
        return;
    QWidget* active = QApplication::activeWindow();
    if (!active || active == m_lastKeyWindow.data())
        return;
    m_lastKeyWindow = active;
    if (active == this)
        return;
    MainWindowController* main = WindowInfo::mainWindowOf(active);
    if (!main) {
        showNoContent();
        m_lastWindow = nullptr;
        m_lastAnnotation = nullptr;
        m_map->removeAllPins();
        return;
    }
    if (main != m_lastWindow.data())
        clearAndShowAllLocationsFromWindow(main);
    setCenterWithLocationDict(WindowInfo::mapLocationInfo(main));
}

void MapWindowController::mainWindowWillClose(QWidget* window)
{
    if (window != m_lastWindow.data())
        return;
    // The pins of a closed window go; another open window's take their place.
    m_lastKeyWindow = nullptr;
    MainWindowController* next = nullptr;
    for (MainWindowController* main : AppController::instance().windows())
        if (main != window && main->isVisible())
            next = main;
    if (MainWindowController* key = AppController::instance().keyMainWindow(); key && key != window)
        next = key;
    clearAndShowAllLocationsFromWindow(next);
    if (next)
        setCenterWithLocationDict(WindowInfo::mapLocationInfo(next));
}

void MapWindowController::workerFileDidChange(WindowWorker* worker)
{
    // Only the window whose files are shown moves the map.
    MainWindowController* main = WindowInfo::windowOfWorker(worker);
    if (!isVisible() || !main || main != m_lastWindow.data())
        return;
    setCenterWithLocationDict(WindowInfo::mapLocationOfItem(worker->currentFile()));
}

void MapWindowController::arrangedFilelistDidChange(QWidget* window)
{
    if (!isVisible() || displayOnlySelected() || !window)
        return;
    if (window != QApplication::activeWindow() && window != m_lastWindow.data())
        return;
    clearAndShowAllLocationsFromWindow(window);
}

void MapWindowController::displayOnlySelectedToggled()
{
    auto* main = qobject_cast<MainWindowController*>(m_lastWindow.data());
    if (displayOnlySelected()) {
        if (!main) {
            showNoContent();
            return;
        }
        setCenterWithLocationDict(WindowInfo::mapLocationInfo(main));
        return;
    }
    clearAndShowAllLocationsFromWindow(m_lastWindow.data());
    if (main)
        setCenterWithLocationDict(WindowInfo::mapLocationInfo(main));
}

void MapWindowController::pinSelectionDidChange()
{
    MapPin* pin = m_map->selectedPin();
    if (!pin)
        return;
    m_lastAnnotation = pin;
    if (pin->filename() == m_skipSelectionByFilename) {
        m_skipSelectionByFilename.clear();
        return;
    }
    if (auto* main = qobject_cast<MainWindowController*>(m_lastWindow.data()))
        WindowInfo::selectFileByMapLocationInfo(main, pin->mapLocationInfo());
}

} // namespace perspix
