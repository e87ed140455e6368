// The window's file list as an item model: one row per FilelistItem in the order files were
// added, drawn with its shown path and its icon (cover, file icon, or the placeholder while
// the file waits for its analysis).
#pragma once

#include <QAbstractListModel>
#include <QHash>
#include <QIcon>

#include "filelist/FilelistItem.h"

namespace perspix {

class DataCacher;

class FilelistModel : public QAbstractListModel
{
    Q_OBJECT
public:
    enum Role { ItemRole = Qt::UserRole + 1 };

    explicit FilelistModel(QObject* parent = nullptr);

    const Filelist& filelist() const { return m_items; }
    FilelistItemPtr itemAt(int row) const;
    int rowOfItem(const FilelistItemPtr& item) const;

    void clear();
    // Inserts before row (appends when row is outside the list).
    void insertItems(int row, const Filelist& items);
    void appendItems(const Filelist& items) { insertItems(int(m_items.size()), items); }
    // Removes the given items; answers those that were in the list.
    Filelist removeItems(const Filelist& items);
    // Moves one row so that it lands before row `to` of the list as it was.
    bool moveItem(int from, int to);
    // Redraws an item's row.
    void itemChanged(const FilelistItemPtr& item);

    // The cacher the row icons are looked up in (not owned; may be none).
    void setCacher(DataCacher* cacher) { m_cacher = cacher; }

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // The icon a row shows; updates the item's icon and spinner state as it goes.
    QIcon iconForItem(const FilelistItemPtr& item) const;
    static QIcon fileIcon(const QString& path);
    // The cover made when shown (CoverMaker), else the file's own cover, else the frame made
    // of a film; null without any. fromFile tells whether the picture is the file's own.
    static QImage coverImage(const PerspixDataPtr& data, bool* fromFile = nullptr);
    static QIcon placeholderIcon();

private:
    void forgetRows() { m_rows.clear(); }

    Filelist m_items;
    DataCacher* m_cacher = nullptr;
    // Row of each item (its first row), made when first asked after a change: every
    // arriving result looks its row up, which a search through a long list made slow.
    mutable QHash<const FilelistItem*, int> m_rows;
};

} // namespace perspix
