// A comparison window (see ComparisonWindowController.h).
#include "app/comparison/ComparisonWindowController.h"

#include <QAction>
#include <QApplication>
#include <QMenuBar>
#include <QScreen>

#include "app/Notifier.h"
#include "app/WindowPlacement.h"
#include "app/comparison/ExtComparisonWindowController.h"
#include "app/comparison/GenComparisonWindowController.h"
#include "model/Settings.h"

namespace perspix {

namespace {
ComparisonWindowController* showWindow(ComparisonWindowController* window,
                                       const ComparisonResult& result)
{
    WindowPlacement::keepOnScreen(window);
    window->show();
    window->setContent(result.content, result.descr);
    window->setWrappingAsNeeded();
    window->raise();
    window->activateWindow();
    return window;
}
} // namespace

ComparisonWindowController*
ComparisonWindowController::prepareAndShowExtendedComparisonWithPerspixDataArray(
    const QList<PerspixDataPtr>& files)
{
    return showWindow(new ExtComparisonWindowController,
                      ComparisonAssistant::prepareExtendedComparisonWithPerspixDataArray(files));
}

ComparisonWindowController*
ComparisonWindowController::prepareAndShowGeneralComparisonWithPerspixDataArray(
    const QList<PerspixDataPtr>& files)
{
    return showWindow(new GenComparisonWindowController,
                      ComparisonAssistant::prepareGeneralComparisonWithPerspixDataArray(files));
}

ComparisonWindowController::ComparisonWindowController(ComparisonController::Kind kind,
                                                       const QString& title, QWidget* parent)
    : QMainWindow(parent), m_controller(new ComparisonController(kind))
{
    setAttribute(Qt::WA_DeleteOnClose);
    m_title = title;
    setWindowTitle(title);
    setCentralWidget(m_controller);
    buildMenus();
    QSize size(1000, 640);
    if (const QScreen* screen = QApplication::primaryScreen())
        size = size.boundedTo(screen->availableSize() - QSize(40, 60));
    resize(size);
    connect(&Notifier::instance(), &Notifier::wrapLongLinesDidChanged, this,
            &ComparisonWindowController::updateWrapActions);
}

void ComparisonWindowController::setContent(const QList<ComparisonRow>& content,
                                            const QStringList& description)
{
    m_controller->setContent(content, description);
    if (!description.isEmpty())
        setWindowTitle(tr("%1 of %n files", nullptr, int(description.size())).arg(m_title));
}

void ComparisonWindowController::buildMenus()
{
    QMenu* file = menuBar()->addMenu(tr("&File"));
    QAction* exportAction =
        file->addAction(tr("&Export…"), this, &ComparisonWindowController::menuExportNew);
    exportAction->setShortcut(QKeySequence(tr("Ctrl+E")));
    file->addSeparator();
    QAction* close = file->addAction(tr("&Close Window"), this, &QWidget::close);
    close->setShortcut(QKeySequence::Close);

    QMenu* edit = menuBar()->addMenu(tr("&Edit"));
    QAction* copy = edit->addAction(tr("&Copy"), this, [this] { m_controller->copyHandler(-1); });
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetWithChildrenShortcut);

    QMenu* view = menuBar()->addMenu(tr("&View"));
    // Two items with one action: the one that applies is shown.
    m_wrapOff = view->addAction(tr("&Wrap Long Lines"), this,
                                &ComparisonWindowController::clickWrapLongLines);
    m_wrapOff->setData(0);
    m_wrapOn = view->addAction(tr("Do Not &Wrap Long Lines"), this,
                               &ComparisonWindowController::clickWrapLongLines);
    m_wrapOn->setData(1);
    view->addSeparator();
    QAction* fullScreen =
        view->addAction(tr("&Full Screen"), this, &ComparisonWindowController::toggleFullScreen);
    fullScreen->setShortcut(QKeySequence::FullScreen);
    updateWrapActions();
}

void ComparisonWindowController::updateWrapActions()
{
    const bool wrap = Settings().boolValue(prefs::kWrapLongLines);
    m_wrapOn->setVisible(wrap);
    m_wrapOff->setVisible(!wrap);
}

void ComparisonWindowController::clickWrapLongLines()
{
    Settings ud;
    ud.setValue(prefs::kWrapLongLines, !ud.boolValue(prefs::kWrapLongLines));
    emit Notifier::instance().wrapLongLinesDidChanged(this);
}

void ComparisonWindowController::menuExportNew()
{
    ComparisonExportWinController::openPanelForWindow(this, m_controller);
}

void ComparisonWindowController::toggleFullScreen()
{
    setWindowState(windowState() ^ Qt::WindowFullScreen);
}

} // namespace perspix
