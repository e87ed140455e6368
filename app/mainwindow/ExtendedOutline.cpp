// The extended outline (see ExtendedOutline.h).
#include "app/mainwindow/ExtendedOutline.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>

#include "app/mainwindow/ExtTreeModel.h"
#include "app/mainwindow/ExtendedOutlineDelegate.h"
#include "app/mainwindow/OutlineDelegate.h"

namespace perspix {

ExtendedOutline::ExtendedOutline(QWidget* parent)
    : QTreeView(parent), m_model(new ExtTreeModel(this)), m_rowDelegate(new OutlineDelegate(this))
{
    setModel(m_model);
    setItemDelegate(m_rowDelegate);
    setUniformRowHeights(false);
    setAlternatingRowColors(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setExpandsOnDoubleClick(false);
    setAnimated(false);
    setWordWrap(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    header()->setStretchLastSection(true);
    header()->setSectionResizeMode(0, QHeaderView::Interactive);
    header()->resizeSection(0, 230);
    header()->setMinimumSectionSize(60);
}

void ExtendedOutline::setContent(const ExtTreeList& items)
{
    m_model->setContent(items);
    spanGroups({});
    expandAllItems();
}

void ExtendedOutline::spanGroups(const QModelIndex& parent)
{
    const int rows = m_model->rowCount(parent);
    for (int row = 0; row < rows; ++row) {
        const QModelIndex index = m_model->index(row, 0, parent);
        if (index.data(ExtTreeModel::IsGroupRole).toBool()) {
            setFirstColumnSpanned(row, parent, true);
            spanGroups(index);
        }
    }
}

void ExtendedOutline::expandAllItems()
{
    m_expandingAll = true;
    setUpdatesEnabled(false);
    expandRecursively({});
    setUpdatesEnabled(true);
    m_expandingAll = false;
}

void ExtendedOutline::expandRecursively(const QModelIndex& parent)
{
    const int rows = m_model->rowCount(parent);
    for (int row = 0; row < rows; ++row) {
        const QModelIndex index = m_model->index(row, 0, parent);
        if (!m_model->hasChildren(index))
            continue;
        const bool allowed = !m_stateDelegate || m_stateDelegate->shouldExpandItem(
                                                     this, m_model->itemForIndex(index), false);
        if (allowed)
            expand(index);
        expandRecursively(index);
    }
}

void ExtendedOutline::requestExpanded(const QModelIndex& index, bool expandIt, bool withCtrl)
{
    const QModelIndex first = index.siblingAtColumn(0);
    if (!first.isValid() || !m_model->hasChildren(first) || isExpanded(first) == expandIt)
        return;
    const ExtTreeItemPtr item = m_model->itemForIndex(first);
    if (expandIt) {
        if (!m_stateDelegate || m_stateDelegate->shouldExpandItem(this, item, withCtrl))
            expand(first);
    } else {
        if (!m_stateDelegate || m_stateDelegate->shouldCollapseItem(this, item, withCtrl))
            collapse(first);
    }
}

void ExtendedOutline::scrollRowToTheTop(const QModelIndex& index)
{
    scrollTo(index, QAbstractItemView::PositionAtTop);
}

bool ExtendedOutline::isOnBranchIndicator(const QModelIndex& index, const QPoint& pos) const
{
    if (!index.isValid() || index.column() != 0 || !m_model->hasChildren(index))
        return false;
    const QRect rect = visualRect(index);
    return pos.x() < rect.left() && pos.x() >= rect.left() - indentation();
}

void ExtendedOutline::mousePressEvent(QMouseEvent* event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton &&
        isOnBranchIndicator(index, event->position().toPoint())) {
        requestExpanded(index, !isExpanded(index),
                        event->modifiers().testFlag(Qt::ControlModifier));
        event->accept();
        return;
    }
    QTreeView::mousePressEvent(event);
}

void ExtendedOutline::mouseDoubleClickEvent(QMouseEvent* event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    if (index.isValid() && event->button() == Qt::LeftButton) {
        const QModelIndex first = index.siblingAtColumn(0);
        if (m_model->hasChildren(first) && !isOnBranchIndicator(index, event->position().toPoint()))
            requestExpanded(first, !isExpanded(first));
        emit rowDoubleClicked(index);
        event->accept();
        return;
    }
    QTreeView::mouseDoubleClickEvent(event);
}

void ExtendedOutline::keyPressEvent(QKeyEvent* event)
{
    const QModelIndex current = currentIndex().siblingAtColumn(0);
    if (current.isValid() && m_model->hasChildren(current)) {
        const bool open = isExpanded(current);
        switch (event->key()) {
        case Qt::Key_Left:
        case Qt::Key_Minus:
            if (open) {
                requestExpanded(current, false);
                event->accept();
                return;
            }
            break;
        case Qt::Key_Right:
        case Qt::Key_Plus:
            if (!open) {
                requestExpanded(current, true);
                event->accept();
                return;
            }
            break;
        case Qt::Key_Asterisk:
            requestExpanded(current, true);
            event->accept();
            return;
        default:
            break;
        }
    }
    QTreeView::keyPressEvent(event);
}

ExtTreeList ExtendedOutline::itemsForCopy(const QModelIndex& clicked) const
{
    ExtTreeList items;
    const QModelIndex clickedRow = clicked.siblingAtColumn(0);
    if (clickedRow.isValid() &&
        !selectionModel()->isRowSelected(clickedRow.row(), clickedRow.parent())) {
        items.append(m_model->itemForIndex(clickedRow));
        return items;
    }
    QModelIndexList rows = selectionModel()->selectedRows(0);
    // In the order shown, whatever order the user selected them in.
    const auto path = [](QModelIndex index) {
        QList<int> rowsUp;
        for (; index.isValid(); index = index.parent())
            rowsUp.prepend(index.row());
        return rowsUp;
    };
    std::sort(rows.begin(), rows.end(),
              [&path](const QModelIndex& a, const QModelIndex& b) { return path(a) < path(b); });
    for (const QModelIndex& row : rows)
        items.append(m_model->itemForIndex(row));
    return items;
}

QModelIndex ExtendedOutline::topLevelGroup(const QString& key, quint64 position) const
{
    quint64 seen = 0;
    for (int row = 0; row < m_model->rowCount(); ++row) {
        const QModelIndex index = m_model->index(row, 0);
        const ExtTreeItemPtr item = m_model->itemForIndex(index);
        if (item && item->key() == key) {
            if (seen == position)
                return index;
            ++seen;
        }
    }
    return {};
}

QString ExtendedOutline::rowText(const QModelIndex& index) const
{
    const ExtTreeItemPtr item = m_model->itemForIndex(index.siblingAtColumn(0));
    return item ? item->extValue() : QString();
}

} // namespace perspix
