// What other windows read from a window (see WindowInfo.h).
#include "app/WindowInfo.h"

#include <QWidget>

#include "app/AppController.h"
#include "app/mainwindow/ArrangedFilelistModel.h"
#include "app/comparison/ComparisonController.h"
#include "app/comparison/ExtComparisonWindowController.h"
#include "app/mainwindow/MainWindowController.h"
#include "model/Log.h"

namespace perspix {

MainWindowController* WindowInfo::mainWindowOf(QWidget* window)
{
    for (QWidget* w = window ? window->window() : nullptr; w;
         w = w->parentWidget() ? w->parentWidget()->window() : nullptr) {
        if (auto* main = qobject_cast<MainWindowController*>(w))
            return main;
        // Only dialogs and sheets lead to the window they belong to.
        if (!(w->windowType() == Qt::Dialog || w->windowType() == Qt::Sheet || w->isModal() ||
              w->windowModality() != Qt::NonModal))
            return nullptr;
    }
    return nullptr;
}

MainWindowController* WindowInfo::windowOfWorker(const WindowWorker* worker)
{
    if (!worker)
        return nullptr;
    for (MainWindowController* window : AppController::instance().windows())
        if (window->worker() == worker)
            return window;
    return nullptr;
}

ComparisonController* WindowInfo::comparisonControllerOf(const MainWindowController* window)
{
    return window ? qobject_cast<ComparisonController*>(window->comparisonPage()) : nullptr;
}

std::optional<ComparisonRow> WindowInfo::comparisonSelectionInfo(QWidget* window)
{
    auto* main = qobject_cast<MainWindowController*>(window);
    if (!main || main->currentTab() != MainWindowController::ComparisonTab)
        return std::nullopt;
    if (ComparisonController* controller = comparisonControllerOf(main))
        return controller->extComparisonSelectionInfo();
    return std::nullopt;
}

std::optional<AdvOutlineSelection> WindowInfo::advOutlineSelectionInfo(QWidget* window)
{
    auto* main = qobject_cast<MainWindowController*>(window);
    if (!main || main->currentTab() != MainWindowController::ExtendedTab)
        return std::nullopt;
    const std::optional<FilelistDesc> desc = main->myView()->filelistDesc();
    if (!desc)
        return std::nullopt;
    return AdvOutlineSelection{main->myView()->outline(), *desc};
}

bool WindowInfo::answersExtComparisonSelectionInfo(QWidget* window)
{
    return qobject_cast<ExtComparisonWindowController*>(window) != nullptr;
}

std::optional<ComparisonRow> WindowInfo::extComparisonSelectionInfo(QWidget* window)
{
    if (auto* ext = qobject_cast<ExtComparisonWindowController*>(window))
        return ext->extComparisonSelectionInfo();
    return std::nullopt;
}

std::optional<MapLocationRecord> WindowInfo::mapLocationOfItem(const FilelistItemPtr& item)
{
    if (!item)
        return std::nullopt;
    const std::optional<QVariantMap> info = item->mapLocationInfo();
    if (!info)
        return std::nullopt;
    bool latOk = false;
    bool lonOk = false;
    MapLocationRecord record;
    record.latitude = info->value(QStringLiteral("latitude")).toDouble(&latOk);
    record.longitude = info->value(QStringLiteral("longitude")).toDouble(&lonOk);
    record.filename = info->value(QStringLiteral("filename")).toString();
    if (!latOk || !lonOk)
        return std::nullopt;
    return record;
}

QList<MapLocationRecord> WindowInfo::allMapLocationInfo(const MainWindowController* window)
{
    QList<MapLocationRecord> records;
    if (!window)
        return records;
    const Filelist arranged = window->myView()->arrangedFilelist();
    for (int row = 0; row < arranged.size(); ++row) {
        if (std::optional<MapLocationRecord> record = mapLocationOfItem(arranged[row])) {
            record->lastIndexInList = row;
            records.append(*record);
        }
    }
    return records;
}

std::optional<MapLocationRecord> WindowInfo::mapLocationInfo(const MainWindowController* window)
{
    if (!window)
        return std::nullopt;
    return mapLocationOfItem(window->myView()->currentFile());
}

bool WindowInfo::selectFileByMapLocationInfo(MainWindowController* window,
                                             const MapLocationRecord& record)
{
    if (!window)
        return false;
    MainView* view = window->myView();
    const int row = record.lastIndexInList;
    const FilelistItemPtr item = view->arrangedModel()->itemAt(row);
    if (!item || item->filename() != record.filename) {
        logLine(QStringLiteral("not found by last known index"));
        return false;
    }
    if (view->selectedRow() != row)
        view->selectRow(row);
    return true;
}

} // namespace perspix
