// The window's file list as an item model (see FilelistModel.h).
#include "app/mainwindow/FilelistModel.h"

#include <QApplication>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QPainter>
#include <QStyle>
#include <algorithm>

#include "app/mainwindow/CoverMaker.h"
#include "batch/DataCacher.h"
#include "model/Keys.h"
#include "model/NativePath.h"

namespace perspix {

namespace {
constexpr int kIconSize = 32;

} // namespace

FilelistModel::FilelistModel(QObject* parent) : QAbstractListModel(parent)
{
    connect(&CoverMaker::instance(), &CoverMaker::coverMade, this, [this](const QString& path) {
        for (const FilelistItemPtr& item : std::as_const(m_items)) {
            if (item->filename() != path)
                continue;
            item->setIcon({}); // made anew from the cover
            itemChanged(item);
        }
    });
}

QImage FilelistModel::coverImage(const PerspixDataPtr& data, bool* fromFile)
{
    if (fromFile)
        *fromFile = false;
    const GeneralRecord* general = data ? data->generalInfo() : nullptr;
    if (!general)
        return {};
    const QImage made = CoverMaker::instance().cover(data);
    if (!made.isNull()) {
        if (fromFile)
            *fromFile = !general->string(keys::kCoverToMake).startsWith(QLatin1String("film"));
        return made;
    }
    if (general->contains(keys::kCoverData)) {
        const QVariant cover = general->values.value(keys::kCoverData);
        const QImage image = cover.metaType() == QMetaType::fromType<QImage>()
                                 ? cover.value<QImage>()
                                 : QImage::fromData(cover.toByteArray());
        if (!image.isNull()) {
            if (fromFile)
                *fromFile = true;
            return image;
        }
    }
    return general->values.value(keys::kFrameThumbnail).value<QImage>();
}

FilelistItemPtr FilelistModel::itemAt(int row) const
{
    if (row < 0 || row >= m_items.size())
        return nullptr;
    return m_items.at(row);
}

int FilelistModel::rowOfItem(const FilelistItemPtr& item) const
{
    if (!item)
        return -1;
    if (m_rows.isEmpty() && !m_items.isEmpty()) {
        m_rows.reserve(m_items.size());
        for (qsizetype row = m_items.size() - 1; row >= 0; --row)
            m_rows.insert(m_items.at(row).get(), int(row));
    }
    return m_rows.value(item.get(), -1);
}

void FilelistModel::clear()
{
    beginResetModel();
    m_items.clear();
    forgetRows();
    endResetModel();
}

void FilelistModel::insertItems(int row, const Filelist& items)
{
    if (items.isEmpty())
        return;
    if (row < 0 || row > m_items.size())
        row = int(m_items.size());
    beginInsertRows({}, row, row + int(items.size()) - 1);
    if (row == m_items.size()) {
        // Appended rows leave the others where they were.
        const int first = row;
        m_items.append(items);
        if (!m_rows.isEmpty())
            for (qsizetype i = 0; i < items.size(); ++i)
                if (!m_rows.contains(items.at(i).get()))
                    m_rows.insert(items.at(i).get(), first + int(i));
    } else {
        for (qsizetype i = 0; i < items.size(); ++i)
            m_items.insert(row + i, items.at(i));
        forgetRows();
    }
    endInsertRows();
}

Filelist FilelistModel::removeItems(const Filelist& items)
{
    Filelist removed;
    for (const auto& item : items) {
        const int row = rowOfItem(item);
        if (row < 0)
            continue;
        beginRemoveRows({}, row, row);
        m_items.removeAt(row);
        forgetRows();
        endRemoveRows();
        removed.append(item);
    }
    return removed;
}

bool FilelistModel::moveItem(int from, int to)
{
    if (from < 0 || from >= m_items.size() || to < 0 || to > m_items.size())
        return false;
    if (to == from || to == from + 1)
        return true;
    if (!beginMoveRows({}, from, from, {}, to))
        return false;
    const FilelistItemPtr item = m_items.takeAt(from);
    m_items.insert(to > from ? to - 1 : to, item);
    forgetRows();
    endMoveRows();
    return true;
}

void FilelistModel::itemChanged(const FilelistItemPtr& item)
{
    const int row = rowOfItem(item);
    if (row >= 0)
        emit dataChanged(index(row), index(row));
}

int FilelistModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_items.size());
}

Qt::ItemFlags FilelistModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags f = QAbstractListModel::flags(index) | Qt::ItemIsDropEnabled;
    if (index.isValid())
        f |= Qt::ItemIsDragEnabled;
    return f;
}

QVariant FilelistModel::data(const QModelIndex& index, int role) const
{
    const FilelistItemPtr item = itemAt(index.row());
    if (!item)
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole: {
        QString text =
            NativePath::shown(role == Qt::DisplayRole ? item->prefixedPath() : item->filename());
        // The row of a file whose reader stopped says what happened.
        if (m_cacher && m_cacher->isFileFailed(item->filename())) {
            if (const QString failure = m_cacher->failureOfFile(item->filename());
                !failure.isEmpty())
                text += QStringLiteral(" (%1)").arg(failure);
        }
        return text;
    }
    case Qt::DecorationRole:
        return iconForItem(item);
    case ItemRole:
        return QVariant::fromValue(static_cast<void*>(item.get()));
    default:
        return {};
    }
}

QIcon FilelistModel::iconForItem(const FilelistItemPtr& item) const
{
    const QImage stored = item->icon();
    if (!stored.isNull() && !item->iconSpinner())
        return QIcon(QPixmap::fromImage(stored));
    QImage icon;
    PerspixDataPtr data = m_cacher ? m_cacher->dataFromCacheForFile(item->filename()) : nullptr;
    if (!data && item->isProcessed())
        data = item->data();
    if (data) {
        icon = coverImage(data);
        // A picture smaller than the icon (the 8-pixel images of test files, a 16-pixel
        // favicon) blown up to the icon's size shows a blank or blurred square: such a file
        // gets the icon of its kind, as a file without a cover does.
        if (icon.isNull() || std::max(icon.width(), icon.height()) < kIconSize)
            icon = fileIcon(item->filename()).pixmap(kIconSize).toImage();
        item->setIconSpinner(false);
    } else if (item->isProcessed() || (m_cacher && m_cacher->isFileFailed(item->filename()))) {
        icon = fileIcon(item->filename()).pixmap(kIconSize).toImage();
        item->setIconSpinner(false);
    } else {
        item->setIconSpinner(true);
        return placeholderIcon();
    }
    if (!icon.isNull()) {
        icon = icon.scaled(kIconSize, kIconSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        item->setIcon(icon);
    }
    return QIcon(QPixmap::fromImage(icon));
}

QIcon FilelistModel::fileIcon(const QString& path)
{
    static QMimeDatabase db;
    const QMimeType type = db.mimeTypeForFile(path, QMimeDatabase::MatchExtension);
    QIcon icon = QIcon::fromTheme(type.iconName());
    if (icon.isNull())
        icon = QIcon::fromTheme(type.genericIconName());
    if (icon.isNull())
        icon = QApplication::style()->standardIcon(QStyle::SP_FileIcon);
    return icon;
}

QIcon FilelistModel::placeholderIcon()
{
    // A dashed box: the file is listed but its analysis has not arrived yet.
    static const QIcon icon = [] {
        QPixmap pixmap(kIconSize, kIconSize);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        QPen pen(QApplication::palette().color(QPalette::PlaceholderText), 1.5, Qt::DashLine);
        painter.setPen(pen);
        painter.drawRoundedRect(QRectF(4.5, 4.5, kIconSize - 9, kIconSize - 9), 3, 3);
        return QIcon(pixmap);
    }();
    return icon;
}

} // namespace perspix
