// File-list entries: creation, the guarded icon and data, the map record.
#include "filelist/FilelistItem.h"

#include "model/Keys.h"

namespace perspix {

FilelistItemPtr FilelistItem::itemWithFilename(const QString& filename, const QString& prefixedPath)
{
    return std::make_shared<FilelistItem>(filename, prefixedPath);
}

FilelistItem::FilelistItem(const QString& filename, const QString& prefixedPath)
    : m_filename(filename), m_prefixedPath(prefixedPath)
{
}

QImage FilelistItem::icon() const
{
    std::lock_guard guard(m_lock);
    return m_icon;
}

void FilelistItem::setIcon(const QImage& icon)
{
    std::lock_guard guard(m_lock);
    m_icon = icon;
}

PerspixDataPtr FilelistItem::data() const
{
    std::lock_guard guard(m_lock);
    return m_data;
}

void FilelistItem::setData(const PerspixDataPtr& data)
{
    std::lock_guard guard(m_lock);
    m_data = data;
}

std::optional<QVariantMap> FilelistItem::mapLocationInfo() const
{
    const PerspixDataPtr d = data();
    if (!d || !d->mapLocation())
        return std::nullopt;
    QVariantMap info;
    info.insert(keys::kLatitude, d->mapLocation()->latitude);
    info.insert(keys::kLongitude, d->mapLocation()->longitude);
    info.insert(QStringLiteral("filename"), m_filename);
    return info;
}

QString FilelistItem::description() const
{
    return QStringLiteral("FilelistItem: filename=%1, isProcessed=%2")
        .arg(m_filename, m_isProcessed ? QStringLiteral("YES") : QStringLiteral("NO"));
}

} // namespace perspix
