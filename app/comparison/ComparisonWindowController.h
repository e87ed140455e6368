// A window that shows one comparison: the general or the extended comparison of the files
// a main window listed when the user asked. It keeps those rows; it is not updated when
// the list changes. The window owns itself and goes when closed.
#pragma once

#include <QMainWindow>

#include "app/comparison/ComparisonController.h"

class QAction;

namespace perspix {

class ComparisonWindowController : public QMainWindow
{
    Q_OBJECT
public:
    // Build the comparison of the files and show it in a new window in front; each call
    // opens another window.
    static ComparisonWindowController*
    prepareAndShowExtendedComparisonWithPerspixDataArray(const QList<PerspixDataPtr>& files);
    static ComparisonWindowController*
    prepareAndShowGeneralComparisonWithPerspixDataArray(const QList<PerspixDataPtr>& files);

    ComparisonController* controller() const { return m_controller; }

    // Gives the window its rows and the compared files' paths.
    void setContent(const QList<ComparisonRow>& content, const QStringList& description);
    void setWrappingAsNeeded() { m_controller->setWrappingAsNeeded(); }

    // The wrap command: flips "wrapLongLines" and tells every view.
    void clickWrapLongLines();
    // Opens the export sheet on this window.
    void menuExportNew();
    void toggleFullScreen();

protected:
    ComparisonWindowController(ComparisonController::Kind kind, const QString& title,
                               QWidget* parent);

private:
    void buildMenus();
    void updateWrapActions();

    ComparisonController* m_controller;
    QString m_title;
    QAction* m_wrapOn = nullptr;
    QAction* m_wrapOff = nullptr;
};

} // namespace perspix
