// Expansion of folders into file-list items and the file-browser sort.
#include "filelist/FilelistFiller.h"

#include <QCollator>
#include <QDirIterator>
#include <QFile>
#include <QLocale>
#include <algorithm>
#include <numeric>
#include <set>
#include <sys/stat.h>
#include <utility>
#include <vector>

namespace perspix {

namespace {

struct FolderEntry
{
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
bool statPath(const QString& path, struct stat& st)
{
    return ::stat(QFile::encodeName(path).constData(), &st) == 0;
}

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
        paths.append(url.isLocalFile() ? url.toLocalFile() : url.path());
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

FilelistFiller::FilelistFiller(const QStringList& paths, bool /*securityScoped*/)
{
    std::vector<FolderEntry> stack;
    const bool several = paths.size() >= 2;
    for (const QString& path : paths) {
        struct stat st;
        if (statPath(path, st) && S_ISDIR(st.st_mode))
            stack.push_back({path, several ? lastComponent(path) : QString()});
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
        if (!statPath(folder.path, st) || !visited.insert({st.st_dev, st.st_ino}).second)
            continue;
        QDirIterator it(folder.path,
                        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        while (it.hasNext()) {
            it.next();
            const QString name = it.fileName();
            if (name == QLatin1String(".DS_Store"))
                continue;
            const QString full = joinPath(folder.path, name);
            const QString childPrefix = joinPath(folder.prefix, name);
            struct stat childSt;
            if (statPath(full, childSt) && S_ISDIR(childSt.st_mode))
                stack.push_back({full, childPrefix});
            else
                m_filelist.append(FilelistItem::itemWithFilename(full, childPrefix));
        }
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
