// Item model over an extended tree (or the flat list of general stream lines): column 0 the
// name, column 1 the value. Read-only; rebuilt whole when another file is shown.
#pragma once

#include <QAbstractItemModel>
#include <memory>
#include <vector>

#include "model/ExtTreeItem.h"

namespace perspix {

class ExtTreeModel : public QAbstractItemModel
{
    Q_OBJECT
public:
    enum Column { NameColumn = 0, ValueColumn = 1 };
    enum Role {
        // The value as StyledText when the item's value has an italic tail, else invalid.
        StyledTextRole = Qt::UserRole + 1,
        // True for group rows (sections and streams).
        IsGroupRole,
        // The tree identifier under which a group's expanded state is remembered.
        TreeIdRole,
    };

    explicit ExtTreeModel(QObject* parent = nullptr);
    ~ExtTreeModel() override;

    void setContent(const ExtTreeList& items);
    const ExtTreeList& content() const { return m_content; }
    void clear() { setContent({}); }

    ExtTreeItemPtr itemForIndex(const QModelIndex& index) const;
    // Depth of the row: 0 for top-level rows.
    int levelOfIndex(const QModelIndex& index) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    struct Node
    {
        ExtTreeItemPtr item;
        Node* parent = nullptr;
        int row = 0;
        int level = 0;
        std::vector<std::unique_ptr<Node>> children;
    };
    static void build(Node& node, const ExtTreeList& items, int level);
    Node* nodeForIndex(const QModelIndex& index) const;

    ExtTreeList m_content;
    Node m_root;
};

} // namespace perspix
