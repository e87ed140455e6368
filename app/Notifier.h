// The application-wide notifier: one signal per named notification that crosses windows.
// Views post by emitting; observers connect. Everything runs on the main thread.
#pragma once

#include <QObject>

class QWidget;

namespace perspix {

class WindowWorker;
struct ComparisonRow;

class Notifier : public QObject
{
    Q_OBJECT
public:
    static Notifier& instance();

signals:
    // "PERSPIX_workerFileDidChange": the window's current file changed or its result arrived.
    void workerFileDidChange(perspix::WindowWorker* worker);
    // "PERSPIX_windowArrangedFilelistDidChange": the window's sorted, filtered list changed.
    void windowArrangedFilelistDidChange(QWidget* window);
    // "wrapLongLinesDidChanged": the wrap-lines setting was toggled by sender.
    void wrapLongLinesDidChanged(QObject* sender);
    // A main window is closing: views that show its files let go of them.
    void mainWindowWillClose(QWidget* window);
    // The parameter font size, bold names or right-aligned names were changed.
    void parameterDisplayDidChange();
    // "extComparisonTableSelectionDidChange": the selected comparison row of a table, or
    // null without one; valid only while the signal is delivered.
    void extComparisonTableSelectionDidChange(QObject* table, const perspix::ComparisonRow* row);
    // "advOutlineSelectionDidChange": the extended outline's selection changed; the window
    // it belongs to answers for the file list and cacher.
    void advOutlineSelectionDidChange(QObject* outline, QWidget* window);

private:
    Notifier() = default;
};

} // namespace perspix
