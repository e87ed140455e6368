// Expanded-state memory of the extended outline (see ExtendedOutlineDelegate.h).
#include "app/mainwindow/ExtendedOutlineDelegate.h"

#include <QPointer>
#include <QTimer>

#include "app/mainwindow/ExtendedOutline.h"

namespace perspix {

ExtendedOutlineDelegate::ExtendedOutlineDelegate(QObject* parent) : QObject(parent) {}

QString ExtendedOutlineDelegate::treeIdForItem(const ExtTreeItemPtr& item)
{
    return item ? item->treeIdentifier() : QString();
}

bool ExtendedOutlineDelegate::shouldExpandItem(ExtendedOutline* outline, const ExtTreeItemPtr& item,
                                               bool withCtrl)
{
    if (m_isToggling)
        return true;
    if (withCtrl) {
        QPointer<ExtendedOutline> guard(outline);
        QTimer::singleShot(0, this, [this, guard] {
            if (guard)
                expandAllIn(guard);
        });
        return false;
    }
    const QString id = treeIdForItem(item);
    if (id.isEmpty())
        return true;
    if (outline && outline->isExpandingAll()) {
        if (m_treesMode == GroupsOpen)
            return !m_excludedTrees.contains(id);
        return m_excludedTrees.contains(id);
    }
    if (m_treesMode == GroupsOpen)
        m_excludedTrees.remove(id);
    else
        m_excludedTrees.insert(id);
    return true;
}

bool ExtendedOutlineDelegate::shouldCollapseItem(ExtendedOutline* outline,
                                                 const ExtTreeItemPtr& item, bool withCtrl)
{
    if (m_isToggling)
        return true;
    if (withCtrl) {
        QPointer<ExtendedOutline> guard(outline);
        QTimer::singleShot(0, this, [this, guard] {
            if (guard)
                collapseAllIn(guard);
        });
        return false;
    }
    const QString id = treeIdForItem(item);
    if (id.isEmpty())
        return true;
    if (m_treesMode == GroupsOpen)
        m_excludedTrees.insert(id);
    else
        m_excludedTrees.remove(id);
    return true;
}

void ExtendedOutlineDelegate::expandAllIn(ExtendedOutline* outline)
{
    m_isToggling = true;
    m_treesMode = GroupsOpen;
    m_excludedTrees.clear();
    outline->expandAll();
    m_isToggling = false;
}

void ExtendedOutlineDelegate::collapseAllIn(ExtendedOutline* outline)
{
    m_isToggling = true;
    m_treesMode = GroupsClosed;
    m_excludedTrees.clear();
    outline->collapseAll();
    m_isToggling = false;
}

} // namespace perspix
