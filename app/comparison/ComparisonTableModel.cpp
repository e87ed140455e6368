// The comparison's table model (see ComparisonTableModel.h).
#include "app/comparison/ComparisonTableModel.h"

#include <QFileInfo>

namespace perspix {

ComparisonTableModel::ComparisonTableModel(QObject* parent) : QAbstractTableModel(parent) {}

void ComparisonTableModel::setContent(const QList<ComparisonRow>& content,
                                      const QStringList& description)
{
    beginResetModel();
    m_content = content;
    m_description = description;
    endResetModel();
}

const ComparisonRow* ComparisonTableModel::comparisonRow(int row) const
{
    if (row < 0 || row >= m_content.size())
        return nullptr;
    return &m_content[row];
}

bool ComparisonTableModel::isGroupRow(int row) const
{
    const ComparisonRow* r = comparisonRow(row);
    return r && r->values.size() < 2;
}

int ComparisonTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_content.size());
}

int ComparisonTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_description.size()) + 1;
}

QVariant ComparisonTableModel::data(const QModelIndex& index, int role) const
{
    const ComparisonRow* row = comparisonRow(index.row());
    if (!row || index.column() < 0)
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        // Header rows fill only the title column.
        if (index.column() < row->values.size())
            return row->values[index.column()];
        return {};
    case GroupRole:
        return row->values.size() < 2;
    default:
        return {};
    }
}

QVariant ComparisonTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 1 || section > m_description.size())
        return {};
    const QString& path = m_description[section - 1];
    if (role == Qt::DisplayRole)
        return QFileInfo(path).fileName();
    if (role == Qt::ToolTipRole)
        return path;
    return {};
}

Qt::ItemFlags ComparisonTableModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    if (isGroupRow(index.row()))
        return Qt::ItemIsEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

} // namespace perspix
