// One entry of a window's file list: the file's full path, the shorter path it is shown
// under, and what the window learns while the file is analysed. Drawing the row is the
// GUI's business; the item only keeps what that needs.
#pragma once

#include <QImage>
#include <QString>
#include <QVariantMap>
#include <memory>
#include <mutex>
#include <optional>

#include "model/PerspixData.h"

namespace perspix {

class FilelistItem;
using FilelistItemPtr = std::shared_ptr<FilelistItem>;
using Filelist = QList<FilelistItemPtr>;

class FilelistItem
{
public:
    static FilelistItemPtr itemWithFilename(const QString& filename, const QString& prefixedPath);

    FilelistItem(const QString& filename, const QString& prefixedPath);
    FilelistItem(const FilelistItem&) = delete;
    FilelistItem& operator=(const FilelistItem&) = delete;

    // Never change after creation: any thread may read them.
    const QString& filename() const { return m_filename; }
    const QString& prefixedPath() const { return m_prefixedPath; }

    // Read and written atomically: a reader gets the old or the new object, never a mix.
    QImage icon() const;
    void setIcon(const QImage& icon);
    PerspixDataPtr data() const;
    void setData(const PerspixDataPtr& data);

    bool iconSpinner() const { return m_iconSpinner; }
    void setIconSpinner(bool v) { m_iconSpinner = v; }
    bool isProcessed() const { return m_isProcessed; }
    void setIsProcessed(bool v) { m_isProcessed = v; }

    // The data's map location with "filename" added, or nothing without data or location.
    std::optional<QVariantMap> mapLocationInfo() const;
    QString description() const;

private:
    const QString m_filename;
    const QString m_prefixedPath;
    mutable std::mutex m_lock;
    QImage m_icon;
    PerspixDataPtr m_data;
    bool m_iconSpinner = false;
    bool m_isProcessed = false;
};

} // namespace perspix
