// The outline that shows one file's extended tree: names and values in two columns, groups
// spanning both, rows as tall as their wrapped text. With an ExtendedOutlineDelegate the
// groups open and close as the user left them; without one every group opens.
#pragma once

#include <QTreeView>

#include "model/ExtTreeItem.h"

namespace perspix {

class ExtTreeModel;
class ExtendedOutlineDelegate;
class OutlineDelegate;

class ExtendedOutline : public QTreeView
{
    Q_OBJECT
public:
    explicit ExtendedOutline(QWidget* parent = nullptr);

    ExtTreeModel* treeModel() const { return m_model; }
    OutlineDelegate* rowDelegate() const { return m_rowDelegate; }
    void setStateDelegate(ExtendedOutlineDelegate* delegate) { m_stateDelegate = delegate; }
    ExtendedOutlineDelegate* stateDelegate() const { return m_stateDelegate; }

    // Replaces the tree and opens its groups (those the user's choices allow).
    void setContent(const ExtTreeList& items);
    // Expands every group and its children, asking the state delegate for each.
    void expandAllItems();
    bool isExpandingAll() const { return m_expandingAll; }

    // The user asks to open or close a group; withCtrl for a Ctrl-click.
    void requestExpanded(const QModelIndex& index, bool expand, bool withCtrl = false);

    void scrollRowToTheTop(const QModelIndex& index);
    // Items of the rows to copy: the selected rows, or the clicked row alone when it lies
    // outside the selection.
    ExtTreeList itemsForCopy(const QModelIndex& clicked = {}) const;
    // The group rows of the top level, in order.
    QModelIndex topLevelGroup(const QString& key, quint64 position) const;

    QString rowText(const QModelIndex& index) const;

signals:
    void rowDoubleClicked(const QModelIndex& index);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool isOnBranchIndicator(const QModelIndex& index, const QPoint& pos) const;
    void spanGroups(const QModelIndex& parent);
    void expandRecursively(const QModelIndex& parent);

    ExtTreeModel* m_model;
    OutlineDelegate* m_rowDelegate;
    ExtendedOutlineDelegate* m_stateDelegate = nullptr;
    bool m_expandingAll = false;
};

} // namespace perspix
