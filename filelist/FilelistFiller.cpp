// Expansion of folders into file-list items and the file-browser sort.
#include "filelist/FilelistFiller.h"

#include <QCollator>
#include <QFile>
#include <QLocale>
#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <memory>
#include <numeric>
#include <set>
#include <sys/stat.h>
#include <utility>
#include <vector>

#include "model/NativePath.h"

namespace perspix {

namespace {

// A folder waiting to be listed. Its path is also kept as the bytes the file system gave,
// since a name that is not valid UTF-8 does not survive the trip through QString.
struct FolderEntry
{
    QByteArray rawPath;
    QString path;
    QString prefix;
};

QString lastComponent(const QString& path)
{
    QString p = path;
    while (p.size() > 1 && p.endsWith(QLatin1Char('/')))
        p.chop(1);
    const qsizetype slash = p.lastIndexOf(QLatin1Char('/'));
    return slash < 0 || p.size() == 1 ? p : p.mid(slash + 1);
}

QString joinPath(const QString& base, const QString& name)
{
    if (base.isEmpty())
        return name;
    if (base.endsWith(QLatin1Char('/')))
        return base + name;
    return base + QLatin1Char('/') + name;
}

// The path's status following symbolic links; false when it cannot be read.
bool statPath(const QByteArray& path, struct stat& st)
{
    return ::stat(path.constData(), &st) == 0;
}

QByteArray joinRaw(const QByteArray& base, const char* name)
{
    QByteArray path = base;
    if (!path.endsWith('/'))
        path += '/';
    return path + name;
}

struct DirCloser
{
    void operator()(DIR* d) const { ::closedir(d); }
};

QCollator finderCollator()
{
    QLocale locale;
    if (locale.language() == QLocale::C)
        locale = QLocale(QLocale::English, QLocale::UnitedStates);
    QCollator collator(locale);
    collator.setNumericMode(true);
    // Case-insensitive collation compares at the secondary strength, which also treats the
    // full-width and half-width forms of a character alike.
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    return collator;
}

// Indices of the texts in file-browser order.
std::vector<qsizetype> finderOrder(const QStringList& texts)
{
    const QCollator collator = finderCollator();
    std::vector<QCollatorSortKey> sortKeys;
    sortKeys.reserve(texts.size());
    for (const QString& t : texts)
        sortKeys.push_back(collator.sortKey(t));
    std::vector<qsizetype> order(texts.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) {
        const int r = sortKeys[a].compare(sortKeys[b]);
        if (r != 0)
            return r < 0;
        return QString::compare(texts[a], texts[b], Qt::CaseSensitive) < 0;
    });
    return order;
}

} // namespace

FilelistFiller FilelistFiller::fillerWithSourceArray(const QList<QUrl>& urls)
{
    QStringList paths;
    paths.reserve(urls.size());
    for (const QUrl& url : urls)
        paths.append(url.isLocalFile() ? NativePath::ofUrl(url) : url.path());
    return FilelistFiller(paths, false);
}

FilelistFiller FilelistFiller::fillerWithSecurityScopedArray(const QList<QUrl>& urls)
{
    return fillerWithSourceArray(urls);
}

FilelistFiller FilelistFiller::fillerWithPaths(const QStringList& paths)
{
    return FilelistFiller(paths, false);
}

FilelistFiller::FilelistFiller(const QStringList& paths, bool /*securityScoped*/,
                               const std::atomic<bool>* cancel)
{
    const auto cancelled = [cancel] { return cancel && cancel->load(std::memory_order_relaxed); };
    std::vector<FolderEntry> stack;
    const bool several = paths.size() >= 2;
    for (const QString& path : paths) {
        const QByteArray raw = NativePath::encoded(path);
        struct stat st;
        if (statPath(raw, st) && S_ISDIR(st.st_mode))
            stack.push_back({raw, path, several ? lastComponent(path) : QString()});
        else
            m_filelist.append(FilelistItem::itemWithFilename(path, lastComponent(path)));
    }

    // Folders reached again (through a symbolic link, or opened twice) are expanded once,
    // so that a cycle of links ends.
    std::set<std::pair<dev_t, ino_t>> visited;
    while (!stack.empty()) {
        const FolderEntry folder = std::move(stack.back());
        stack.pop_back();
        struct stat st;
        if (!statPath(folder.rawPath, st) || !visited.insert({st.st_dev, st.st_ino}).second)
            continue;
        // A folder that cannot be listed contributes nothing.
        std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.rawPath.constData()));
        if (!dir)
            continue;
        while (const dirent* entry = ::readdir(dir.get())) {
            if (cancelled()) {
                m_filelist.clear();
                return;
            }
            const char* rawName = entry->d_name;
            if (std::strcmp(rawName, ".") == 0 || std::strcmp(rawName, "..") == 0 ||
                std::strcmp(rawName, ".DS_Store") == 0)
                continue;
            const QString name = NativePath::decoded(rawName);
            const QByteArray rawFull = joinRaw(folder.rawPath, rawName);
            const QString full = joinPath(folder.path, name);
            const QString childPrefix = joinPath(folder.prefix, name);
            bool isDir = entry->d_type == DT_DIR;
            if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
                struct stat childSt;
                isDir = statPath(rawFull, childSt) && S_ISDIR(childSt.st_mode);
            }
            if (isDir)
                stack.push_back({rawFull, full, childPrefix});
            else
                m_filelist.append(FilelistItem::itemWithFilename(full, childPrefix));
        }
    }
    if (cancelled()) {
        m_filelist.clear();
        return;
    }
    sortFilelistLikeFinder();
}

void FilelistFiller::sortFilelistLikeFinder()
{
    sortLikeFinder(m_filelist);
}

void FilelistFiller::sortLikeFinder(Filelist& list)
{
    QStringList texts;
    texts.reserve(list.size());
    for (const FilelistItemPtr& item : list)
        texts.append(item->prefixedPath());
    Filelist sorted;
    sorted.reserve(list.size());
    for (const qsizetype i : finderOrder(texts))
        sorted.append(list[i]);
    list = std::move(sorted);
}

void FilelistFiller::sortLikeFinder(QStringList& names)
{
    QStringList sorted;
    sorted.reserve(names.size());
    for (const qsizetype i : finderOrder(names))
        sorted.append(names[i]);
    names = std::move(sorted);
}

} // namespace perspix
