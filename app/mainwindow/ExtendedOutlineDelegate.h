// Remembers which groups of the extended outline the user closed (or opened) so that the
// choice survives showing another file: "Audio2" stays closed for every file shown next.
// A Ctrl-click on a group's arrow expands or collapses every group.
#pragma once

#include <QObject>
#include <QSet>
#include <QString>

#include "model/ExtTreeItem.h"

namespace perspix {

class ExtendedOutline;

class ExtendedOutlineDelegate : public QObject
{
    Q_OBJECT
public:
    enum TreesMode { GroupsOpen = 0, GroupsClosed = 1 };

    explicit ExtendedOutlineDelegate(QObject* parent = nullptr);

    int treesMode() const { return m_treesMode; }
    const QSet<QString>& excludedTrees() const { return m_excludedTrees; }

    // Tree identifier of a row: none for a row that is not a group.
    static QString treeIdForItem(const ExtTreeItemPtr& item);

    // Asked before every expansion and collapse. withCtrl: the request comes from a click
    // with Ctrl held, which turns into expanding or collapsing every group.
    bool shouldExpandItem(ExtendedOutline* outline, const ExtTreeItemPtr& item, bool withCtrl);
    bool shouldCollapseItem(ExtendedOutline* outline, const ExtTreeItemPtr& item, bool withCtrl);

    void expandAllIn(ExtendedOutline* outline);
    void collapseAllIn(ExtendedOutline* outline);

private:
    int m_treesMode = GroupsOpen;
    QSet<QString> m_excludedTrees;
    bool m_isToggling = false;
};

} // namespace perspix
