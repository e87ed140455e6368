// Item model over an extended tree (see ExtTreeModel.h).
#include "app/mainwindow/ExtTreeModel.h"

#include <QFont>

namespace perspix {

ExtTreeModel::ExtTreeModel(QObject* parent) : QAbstractItemModel(parent) {}

ExtTreeModel::~ExtTreeModel() = default;

void ExtTreeModel::build(Node& node, const ExtTreeList& items, int level)
{
    node.children.clear();
    node.children.reserve(items.size());
    int row = 0;
    for (const auto& item : items) {
        if (!item)
            continue;
        auto child = std::make_unique<Node>();
        child->item = item;
        child->parent = &node;
        child->row = row++;
        child->level = level;
        if (const auto kids = item->children())
            build(*child, *kids, level + 1);
        node.children.push_back(std::move(child));
    }
}

void ExtTreeModel::setContent(const ExtTreeList& items)
{
    beginResetModel();
    m_content = items;
    build(m_root, items, 0);
    endResetModel();
}

ExtTreeModel::Node* ExtTreeModel::nodeForIndex(const QModelIndex& index) const
{
    if (!index.isValid())
        return const_cast<Node*>(&m_root);
    return static_cast<Node*>(index.internalPointer());
}

ExtTreeItemPtr ExtTreeModel::itemForIndex(const QModelIndex& index) const
{
    if (!index.isValid() || index.model() != this)
        return nullptr;
    return nodeForIndex(index)->item;
}

int ExtTreeModel::levelOfIndex(const QModelIndex& index) const
{
    return index.isValid() ? nodeForIndex(index)->level : -1;
}

QModelIndex ExtTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    if (column < 0 || column > 1 || (parent.isValid() && parent.column() != 0))
        return {};
    Node* p = nodeForIndex(parent);
    if (row < 0 || row >= static_cast<int>(p->children.size()))
        return {};
    return createIndex(row, column, p->children[static_cast<size_t>(row)].get());
}

QModelIndex ExtTreeModel::parent(const QModelIndex& child) const
{
    if (!child.isValid())
        return {};
    Node* p = nodeForIndex(child)->parent;
    if (!p || p == &m_root)
        return {};
    return createIndex(p->row, 0, p);
}

int ExtTreeModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid() && parent.column() != 0)
        return 0;
    return static_cast<int>(nodeForIndex(parent)->children.size());
}

int ExtTreeModel::columnCount(const QModelIndex&) const
{
    return 2;
}

bool ExtTreeModel::hasChildren(const QModelIndex& parent) const
{
    return rowCount(parent) > 0;
}

QVariant ExtTreeModel::data(const QModelIndex& index, int role) const
{
    const ExtTreeItemPtr item = itemForIndex(index);
    if (!item)
        return {};
    const bool group = item->hasChildren();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        if (index.column() == NameColumn)
            return item->name();
        if (role == Qt::ToolTipRole && item->stringValue().size() < 60)
            return {};
        return item->stringValue();
    case StyledTextRole:
        if (index.column() == ValueColumn &&
            item->value().metaType() == QMetaType::fromType<StyledText>()) {
            const auto styled = item->value().value<StyledText>();
            if (styled.italicStart >= 0)
                return QVariant::fromValue(styled);
        }
        return {};
    case Qt::FontRole:
        if (group && index.column() == NameColumn) {
            QFont font;
            font.setBold(true);
            return font;
        }
        return {};
    case IsGroupRole:
        return group;
    case TreeIdRole:
        return item->treeIdentifier();
    default:
        return {};
    }
}

QVariant ExtTreeModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    return section == NameColumn ? tr("Parameter") : tr("Value");
}

} // namespace perspix
