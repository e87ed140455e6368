// The map window: one for the whole application, with a pin for every located file of the
// main window the user works in. It follows that window (another window becoming active,
// its list changing, its current file changing) and selecting a pin selects the file there.
#pragma once

#include <QPointer>
#include <QWidget>
#include <optional>

#include "app/map/MapTileLoader.h"
#include "app/WindowInfo.h"
#include "model/Settings.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QStackedWidget;

namespace perspix {

class MainWindowController;
class MapPin;
class MapWidget;
class WindowWorker;

class MapWindowController : public QWidget
{
    Q_OBJECT
public:
    enum MapType { Standard = 0, Satellite = 1, Hybrid = 2 };

    // The one window, made on first use (on the main thread).
    static MapWindowController& sharedInstance();
    // The tile source of a map type from the settings; empty when none is configured.
    static MapTileSource tileSourceForType(int type);

    // Shows the key window's locations (centred on its current file's when only the
    // selected file is shown) and brings the window to the front.
    void showSharedMapWindow();
    // Shows the key window's locations, centres on the record and brings the window forward.
    void showSharedMapWindowAndCenterLocationDict(const MapLocationRecord& record);

    // Pins for every located file of the window; the no-content view when it has none or
    // is no main window.
    void clearAndShowAllLocationsFromWindow(QWidget* window);
    // Centres on the record and selects its pin, without selecting the file in return; no
    // record deselects.
    void setCenterWithLocationDict(const std::optional<MapLocationRecord>& record);

    bool displayOnlySelected() const;
    void setDisplayOnlySelected(bool on);
    int mapType() const { return m_mapType; }
    void setMapType(int type);

    MapWidget* mapView() const { return m_map; }
    QWidget* mainView() const;
    QWidget* noContentView() const { return m_noContent; }
    bool isShowingNoContent() const;
    QWidget* lastWindow() const { return m_lastWindow; }
    MapPin* lastAnnotation() const { return m_lastAnnotation; }
    const QString& skipSelectionByFilename() const { return m_skipSelectionByFilename; }
    QComboBox* mapTypeMenu() const { return m_typeMenu; }

private:
    MapWindowController();
    void showNoContent();
    void showMap();
    void windowDidBecomeKey();
    void mainWindowWillClose(QWidget* window);
    void workerFileDidChange(WindowWorker* worker);
    void arrangedFilelistDidChange(QWidget* window);
    void pinSelectionDidChange();
    void displayOnlySelectedToggled();
    QWidget* keyWindow() const;
    static bool answersAllMapLocationInfo(QWidget* window);

    Settings m_ud;
    MapWidget* m_map;
    QStackedWidget* m_stack;
    QWidget* m_mapPage;
    QWidget* m_noContent;
    QComboBox* m_typeMenu;
    QCheckBox* m_onlySelected;
    QPointer<QWidget> m_lastWindow;
    QPointer<QWidget> m_lastKeyWindow; // the active window seen last
    MapPin* m_lastAnnotation = nullptr;
    QString m_skipSelectionByFilename;
    int m_mapType = Standard;
};

} // namespace perspix
