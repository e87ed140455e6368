// The sidebar's file list (see FilelistView.h).
#include "app/mainwindow/FilelistView.h"

#include <QCursor>
#include <QDataStream>
#include <QDrag>
#include <QDragEnterEvent>
#include <QMimeData>
#include <QPainter>

#include "app/AppController.h"
#include "app/mainwindow/ArrangedFilelistModel.h"
#include "app/mainwindow/MainView.h"
#include "model/NativePath.h"

namespace perspix {

const QString FilelistView::kOwnMimeType = QStringLiteral("application/x-perspix-filelist-rows");

int dragmask::fromModifiers(Qt::KeyboardModifiers modifiers)
{
    const bool shift = modifiers.testFlag(Qt::ShiftModifier);
    const bool ctrl = modifiers.testFlag(Qt::ControlModifier);
    if (shift && ctrl)
        return kCopyGeneric;
    if (shift)
        return kGeneric;
    if (ctrl)
        return kCopy;
    return kEvery;
}

FilelistView::FilelistView(MainView* owner, QWidget* parent) : QListView(parent), m_owner(owner)
{
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(false);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::CopyAction);
    setIconSize(QSize(24, 24));
    setUniformItemSizes(true);
    setTextElideMode(Qt::ElideMiddle);
}

int FilelistView::dropRowAt(const QPoint& pos) const
{
    const QModelIndex index = indexAt(pos);
    if (!index.isValid())
        return model() ? model()->rowCount() : 0;
    const QRect rect = visualRect(index);
    return pos.y() < rect.center().y() ? index.row() : index.row() + 1;
}

void FilelistView::startDrag(Qt::DropActions)
{
    const QModelIndexList selected = selectionModel()->selectedRows();
    if (selected.isEmpty())
        return;
    auto* mime = new QMimeData;
    QList<QUrl> urls;
    QList<int> sourceRows;
    for (const QModelIndex& index : selected) {
        const FilelistItemPtr item = m_owner->arrangedModel()->itemAt(index.row());
        if (!item)
            continue;
        urls.append(NativePath::url(item->filename()));
        sourceRows.append(m_owner->filelistRowOfItem(item));
    }
    std::sort(sourceRows.begin(), sourceRows.end());
    QByteArray payload;
    QDataStream stream(&payload, QIODevice::WriteOnly);
    stream << quintptr(m_owner) << sourceRows;
    mime->setUrls(urls);
    mime->setData(kOwnMimeType, payload);
    AppController::instance().setDraggingSourceWindow(m_owner);

    Filelist dragged;
    for (const QModelIndex& index : selected)
        if (const FilelistItemPtr item = m_owner->arrangedModel()->itemAt(index.row()))
            dragged.append(item);

    auto* drag = new QDrag(this);
    drag->setMimeData(mime);
    const Qt::DropAction done =
        drag->exec(Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, Qt::CopyAction);
    // Rows dropped where nothing takes them, away from the window, leave the list.
    if (done == Qt::IgnoreAction && !drag->target() &&
        !window()->frameGeometry().contains(QCursor::pos()))
        m_owner->removeItems(dragged);
}

bool FilelistView::requestFromEvent(const QDropEvent* event, DropRequest& request) const
{
    const QMimeData* mime = event->mimeData();
    if (!mime)
        return false;
    request.urls.clear();
    for (const QUrl& url : mime->urls())
        if (url.isLocalFile())
            request.urls.append(url);
    request.mask = dragmask::fromModifiers(event->modifiers());
    request.row = dropRowAt(event->position().toPoint());
    request.ownRows = mime->hasFormat(kOwnMimeType);
    request.source = nullptr;
    request.sourceRows.clear();
    if (request.ownRows) {
        QByteArray payload = mime->data(kOwnMimeType);
        QDataStream stream(&payload, QIODevice::ReadOnly);
        quintptr sourceId = 0;
        stream >> sourceId >> request.sourceRows;
        // Only a window that is still open counts as a known source.
        request.source = AppController::instance().mainViewWithId(sourceId);
    }
    return request.ownRows || !request.urls.isEmpty();
}

void FilelistView::dragEnterEvent(QDragEnterEvent* event)
{
    DropRequest request;
    if (requestFromEvent(event, request) && m_owner->validateDrop(request) != Qt::IgnoreAction)
        event->acceptProposedAction();
    else
        event->ignore();
}

void FilelistView::dragMoveEvent(QDragMoveEvent* event)
{
    DropRequest request;
    const Qt::DropAction action =
        requestFromEvent(event, request) ? m_owner->validateDrop(request) : Qt::IgnoreAction;
    if (action == Qt::IgnoreAction) {
        m_dropLine = -1;
        event->ignore();
    } else {
        m_dropLine = request.row;
        event->setDropAction(action);
        event->accept();
    }
    viewport()->update();
}

void FilelistView::dragLeaveEvent(QDragLeaveEvent* event)
{
    m_dropLine = -1;
    viewport()->update();
    QListView::dragLeaveEvent(event);
}

void FilelistView::dropEvent(QDropEvent* event)
{
    m_dropLine = -1;
    viewport()->update();
    DropRequest request;
    if (!requestFromEvent(event, request)) {
        event->ignore();
        return;
    }
    const Qt::DropAction action = m_owner->validateDrop(request);
    if (action == Qt::IgnoreAction || !m_owner->acceptDrop(request)) {
        event->ignore();
        return;
    }
    event->setDropAction(action);
    event->accept();
}

void FilelistView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace) {
        emit removeRequested();
        event->accept();
        return;
    }
    QListView::keyPressEvent(event);
}

void FilelistView::paintEvent(QPaintEvent* event)
{
    QListView::paintEvent(event);
    if (m_dropLine < 0)
        return;
    // The line between rows where the drop will land.
    int y = 0;
    const int rows = model() ? model()->rowCount() : 0;
    if (m_dropLine < rows)
        y = visualRect(model()->index(m_dropLine, 0)).top();
    else if (rows > 0)
        y = visualRect(model()->index(rows - 1, 0)).bottom();
    QPainter painter(viewport());
    painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
    painter.drawLine(0, y, viewport()->width(), y);
}

} // namespace perspix
