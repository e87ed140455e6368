// The arranged file list (see ArrangedFilelistModel.h).
#include "app/mainwindow/ArrangedFilelistModel.h"

#include "app/mainwindow/FilelistModel.h"

namespace perspix {

ArrangedFilelistModel::ArrangedFilelistModel(FilelistModel* source, QObject* parent)
    : QSortFilterProxyModel(parent), m_source(source)
{
    setSourceModel(source);
    setDynamicSortFilter(false);
}

bool ArrangedFilelistModel::hasPredicate() const
{
    return m_hideUnknown || !m_nameFilter.isEmpty() || !m_contentFilter.isEmpty();
}

void ArrangedFilelistModel::rearrange()
{
    ++m_rearrangeCount;
    // Rows are filtered as they are inserted; refiltering a long list (and laying out its
    // view again) for every burst of results is worth it only when a result can change
    // what passes.
    const bool sameFilters = m_hideUnknown == m_arrangedHideUnknown &&
                             m_nameFilter == m_arrangedNameFilter &&
                             m_contentFilter == m_arrangedContentFilter;
    if (sameFilters && !m_hideUnknown && m_contentFilter.isEmpty())
        return;
    m_arrangedHideUnknown = m_hideUnknown;
    m_arrangedNameFilter = m_nameFilter;
    m_arrangedContentFilter = m_contentFilter;
    invalidate();
}

bool ArrangedFilelistModel::accepts(const FilelistItem& item) const
{
    if (m_hideUnknown) {
        const PerspixDataPtr data = item.data();
        if (!item.isProcessed() || !data || data->isUnknown())
            return false;
    }
    if (!m_nameFilter.isEmpty() && !item.prefixedPath().contains(m_nameFilter, Qt::CaseInsensitive))
        return false;
    if (!m_contentFilter.isEmpty()) {
        const PerspixDataPtr data = item.data();
        if (!data || !data->isContentHas(m_contentFilter))
            return false;
    }
    return true;
}

bool ArrangedFilelistModel::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const
{
    if (sourceParent.isValid() || !hasPredicate())
        return !sourceParent.isValid();
    const FilelistItemPtr item = m_source->itemAt(sourceRow);
    return item && accepts(*item);
}

FilelistItemPtr ArrangedFilelistModel::itemAt(int row) const
{
    if (row < 0 || row >= rowCount())
        return nullptr;
    return m_source->itemAt(mapToSource(index(row, 0)).row());
}

int ArrangedFilelistModel::rowOfItem(const FilelistItemPtr& item) const
{
    const int sourceRow = m_source->rowOfItem(item);
    if (sourceRow < 0)
        return -1;
    return mapFromSource(m_source->index(sourceRow)).row();
}

Filelist ArrangedFilelistModel::arrangedItems() const
{
    Filelist items;
    const int rows = rowCount();
    items.reserve(rows);
    for (int row = 0; row < rows; ++row)
        items.append(itemAt(row));
    return items;
}

} // namespace perspix
