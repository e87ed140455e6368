// The quick-info window (see QuickInfoWindow.h).
#include "app/preview/QuickInfoWindow.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QVBoxLayout>

#include "app/Notifier.h"
#include "app/WindowPlacement.h"
#include "app/mainwindow/ExtTreeModel.h"
#include "app/mainwindow/ExtendedOutline.h"
#include "app/mainwindow/FilelistModel.h"
#include "app/mainwindow/OutlineDelegate.h"
#include "model/Keys.h"
#include "model/NativePath.h"

namespace perspix {

namespace {
constexpr int kCascade = 24;
constexpr int kCoverHeight = 128;
} // namespace

QuickInfoWindow::QuickInfoWindow(QWidget* parent)
    : QWidget(parent, Qt::Window), m_outline(new ExtendedOutline(this)), m_cover(new QLabel(this))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(tr("Quick Info"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_cover->setAlignment(Qt::AlignCenter);
    m_cover->setContentsMargins(0, 6, 0, 6);
    m_cover->hide();
    layout->addWidget(m_cover);
    layout->addWidget(m_outline);
    m_outline->header()->resizeSection(0, 180);

    const qint64 fontSize = m_ud.intValue(prefs::kQuickViewFontSize);
    if (fontSize > 4) {
        QFont font = m_outline->font();
        font.setPointSizeF(double(fontSize) * 0.85);
        m_outline->setFont(font);
    }

    auto* wrap = new QAction(this);
    wrap->setShortcut(QKeySequence(tr("Ctrl+Shift+W")));
    connect(wrap, &QAction::triggered, this, &QuickInfoWindow::toggleWrapLongLines);
    addAction(wrap);
    auto* close = new QAction(this);
    close->setShortcuts({QKeySequence::Close, QKeySequence(Qt::Key_Escape)});
    connect(close, &QAction::triggered, this, &QWidget::close);
    addAction(close);

    connect(&Notifier::instance(), &Notifier::wrapLongLinesDidChanged, this,
            &QuickInfoWindow::applyWrapSetting);
    connect(&Notifier::instance(), &Notifier::parameterDisplayDidChange, this,
            &QuickInfoWindow::applyWrapSetting);
    resize(460, 560);
    placeOnScreen();
    applyWrapSetting();
}

void QuickInfoWindow::placeOnScreen()
{
    // Top-left corner 10 points from the left and 30 below the top of the screen; windows
    // opened together step down so that each stays visible.
    int others = 0;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget != this && qobject_cast<QuickInfoWindow*>(widget) && widget->isVisible())
            ++others;
    QScreen* screen = QApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1280, 800);
    move(area.left() + 10 + others * kCascade, area.top() + 30 + others * kCascade);
}

QVariantMap QuickInfoWindow::analysisOptions() const
{
    return {
        {keys::kOptUseSIUnits, m_ud.boolValue(prefs::kUseSIUnits)},
        {keys::kOptUseSlowThumbProcessing, m_ud.boolValue(prefs::kUseSlowThumbProcessing)},
        {keys::kOptDisplayOtherTracksInGeneral,
         m_ud.boolValue(prefs::kDisplayOtherTracksInGeneral)},
        {keys::kOptComputeFileHashes, m_ud.boolValue(prefs::kComputeFileHashes)},
        {keys::kOptMakeFilmFrames, true},
    };
}

void QuickInfoWindow::processUrl(const QUrl& url)
{
    const QString path = NativePath::ofUrl(url);
    setWindowFilePath(NativePath::shown(path));
    setWindowTitle(QFileInfo(NativePath::shown(path)).fileName());
    m_data = PerspixData::dataAboutFile(path, analysisOptions());
    const ExtTreeList* content = m_data ? m_data->extendedContent() : nullptr;
    m_outline->setContent(content ? *content : ExtTreeList{});
    m_outline->expandAll();
    const QImage cover = FilelistModel::coverImage(m_data);
    if (!cover.isNull()) {
        const qreal ratio = devicePixelRatioF();
        QPixmap pixmap =
            QPixmap::fromImage(cover.scaled(QSize(width() - 20, kCoverHeight) * ratio,
                                            Qt::KeepAspectRatio, Qt::SmoothTransformation));
        pixmap.setDevicePixelRatio(ratio);
        m_cover->setPixmap(pixmap);
    }
    m_cover->setVisible(!cover.isNull());
    sizeToContent();
}

void QuickInfoWindow::sizeToContent()
{
    // As tall as the tree when the screen allows; otherwise the top of the tree shows.
    QScreen* screen = QApplication::primaryScreen();
    const int maxHeight = screen ? screen->availableGeometry().height() - 60 : 740;
    int height = m_outline->header()->isVisible() ? m_outline->header()->height() : 0;
    if (m_cover->isVisibleTo(this))
        height += m_cover->sizeHint().height();
    for (QModelIndex index = m_outline->treeModel()->index(0, 0); index.isValid();
         index = m_outline->indexBelow(index)) {
        height += m_outline->visualRect(index).height();
        if (height > maxHeight)
            break;
    }
    resize(width(), std::clamp(height + 2 * m_outline->frameWidth() + 4, 160, maxHeight));
    WindowPlacement::keepOnScreen(this);
    m_outline->scrollToTop();
}

void QuickInfoWindow::toggleWrapLongLines()
{
    m_ud.setValue(prefs::kWrapLongLines, !m_ud.boolValue(prefs::kWrapLongLines));
    emit Notifier::instance().wrapLongLinesDidChanged(this);
}

void QuickInfoWindow::applyWrapSetting()
{
    m_outline->rowDelegate()->setWrapLongLines(m_ud.boolValue(prefs::kWrapLongLines));
    m_outline->rowDelegate()->setRightAlignNames(m_ud.boolValue(prefs::kExtParameterRightAlign));
    m_outline->rowDelegate()->setBoldNames(m_ud.boolValue(prefs::kFirstColumnBold));
}

void QuickInfoWindow::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    // Only the wrap item that applies is offered.
    const bool wrapping = m_ud.boolValue(prefs::kWrapLongLines);
    menu.addAction(wrapping ? tr("Don't Wrap Long Lines") : tr("Wrap Long Lines"), this,
                   &QuickInfoWindow::toggleWrapLongLines);
    menu.addAction(tr("Close"), this, &QWidget::close);
    menu.exec(event->globalPos());
}

} // namespace perspix
