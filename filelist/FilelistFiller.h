// Turns opened, dropped or project paths into file-list items: files become one item each,
// folders are expanded recursively, and the list is sorted the way a file browser sorts
// names. Made, asked for its list and dropped.
#pragma once

#include <QList>
#include <QStringList>
#include <QUrl>
#include <atomic>

#include "filelist/FilelistItem.h"

namespace perspix {

class FilelistFiller
{
public:
    static FilelistFiller fillerWithSourceArray(const QList<QUrl>& urls);
    // Linux offers no security-scoped access, so this builds the same list as
    // fillerWithSourceArray.
    static FilelistFiller fillerWithSecurityScopedArray(const QList<QUrl>& urls);
    static FilelistFiller fillerWithPaths(const QStringList& paths);

    // Lists and sorts at once. A set cancel flag ends the listing early with an empty list
    // (for listings on a background thread whose result is no longer wanted).
    FilelistFiller(const QStringList& paths, bool securityScoped,
                   const std::atomic<bool>* cancel = nullptr);

    const Filelist& filelist() const { return m_filelist; }
    void sortFilelistLikeFinder();

    // The file-browser order of shown paths: numeric, case- and width-insensitive in the
    // user's locale (en_US in the C locale, where the collator knows no numeric order),
    // with ties broken by the plain text so that the order is total.
    static void sortLikeFinder(Filelist& list);
    static void sortLikeFinder(QStringList& names);

private:
    Filelist m_filelist;
};

} // namespace perspix
