// Listing of opened or dropped paths on a background thread: expanding and sorting a folder
// of a hundred thousand files takes seconds, which the window must not stand still for.
#pragma once

#include <QList>
#include <QUrl>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "filelist/FilelistItem.h"

namespace perspix {

class FilelistListing
{
public:
    // Starts listing the URLs; `ready` is called on the main thread's event loop once the
    // list is made, unless the listing was cancelled or destroyed first.
    FilelistListing(const QList<QUrl>& urls, bool securityScoped, std::function<void()> ready);
    // Cancels and waits for the thread, which stops within one folder entry.
    ~FilelistListing();
    FilelistListing(const FilelistListing&) = delete;
    FilelistListing& operator=(const FilelistListing&) = delete;

    // Waits at most this long for the list; true when it is made.
    bool waitFor(int milliseconds);
    bool isDone() const;
    // The sorted list, once done (taken: a second call answers an empty list).
    Filelist take();

private:
    struct Shared;
    std::shared_ptr<Shared> m_shared;
    std::thread m_thread;
};

} // namespace perspix
