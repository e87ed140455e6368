// The "arranged" file list: the window's list filtered by the hide-unknown switch, the
// file-name search and the global (content) search, in the order the files were added.
#pragma once

#include <QSortFilterProxyModel>

#include "filelist/FilelistItem.h"

namespace perspix {

class FilelistModel;

class ArrangedFilelistModel : public QSortFilterProxyModel
{
    Q_OBJECT
public:
    explicit ArrangedFilelistModel(FilelistModel* source, QObject* parent = nullptr);

    void setHideUnknownFiles(bool hide) { m_hideUnknown = hide; }
    void setNameFilter(const QString& text) { m_nameFilter = text; }
    void setContentFilter(const QString& text) { m_contentFilter = text; }
    bool hideUnknownFiles() const { return m_hideUnknown; }
    QString nameFilter() const { return m_nameFilter; }
    QString contentFilter() const { return m_contentFilter; }
    bool hasPredicate() const;

    // Filters and orders the list again; counts how often that happened. Skips the work
    // when the filters are those of the last time and do not look at results.
    void rearrange();
    int rearrangeCount() const { return m_rearrangeCount; }

    FilelistItemPtr itemAt(int row) const;
    int rowOfItem(const FilelistItemPtr& item) const;
    Filelist arrangedItems() const;
    // Whether an item passes the filter, whether or not it is in the list.
    bool accepts(const FilelistItem& item) const;

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    FilelistModel* m_source;
    bool m_hideUnknown = false;
    QString m_nameFilter;
    QString m_contentFilter;
    int m_rearrangeCount = 0;
    // The filters the list was last filtered with.
    bool m_arrangedHideUnknown = false;
    QString m_arrangedNameFilter;
    QString m_arrangedContentFilter;
};

} // namespace perspix
