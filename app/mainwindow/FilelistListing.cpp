// Background listing of paths (see FilelistListing.h).
#include "app/mainwindow/FilelistListing.h"

#include <QCoreApplication>

#include "filelist/FilelistFiller.h"
#include "model/NativePath.h"

namespace perspix {

struct FilelistListing::Shared
{
    std::atomic<bool> cancel{false};
    mutable std::mutex lock;
    std::condition_variable doneChanged;
    bool done = false;
    Filelist items;
    // Guarded by `lock`: cleared by the owner when it goes, so that a notice already on its
    // way finds nothing to call.
    std::function<void()> ready;
};

FilelistListing::FilelistListing(const QList<QUrl>& urls, bool securityScoped,
                                 std::function<void()> ready)
    : m_shared(std::make_shared<Shared>())
{
    m_shared->ready = std::move(ready);
    QStringList paths;
    paths.reserve(urls.size());
    for (const QUrl& url : urls)
        paths.append(url.isLocalFile() ? NativePath::ofUrl(url) : url.path());
    m_thread = std::thread([shared = m_shared, paths, securityScoped] {
        Filelist items = FilelistFiller(paths, securityScoped, &shared->cancel).filelist();
        {
            std::lock_guard guard(shared->lock);
            shared->items = std::move(items);
            shared->done = true;
        }
        shared->doneChanged.notify_all();
        if (shared->cancel.load())
            return;
        // The application object outlives every window, and with it every listing.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [shared] {
                std::function<void()> ready;
                {
                    std::lock_guard guard(shared->lock);
                    ready = shared->ready;
                }
                if (ready && !shared->cancel.load())
                    ready();
            },
            Qt::QueuedConnection);
    });
}

FilelistListing::~FilelistListing()
{
    m_shared->cancel.store(true);
    {
        std::lock_guard guard(m_shared->lock);
        m_shared->ready = nullptr;
    }
    if (m_thread.joinable())
        m_thread.join();
}

bool FilelistListing::waitFor(int milliseconds)
{
    std::unique_lock guard(m_shared->lock);
    return m_shared->doneChanged.wait_for(guard, std::chrono::milliseconds(milliseconds),
                                          [this] { return m_shared->done; });
}

bool FilelistListing::isDone() const
{
    std::lock_guard guard(m_shared->lock);
    return m_shared->done;
}

Filelist FilelistListing::take()
{
    std::lock_guard guard(m_shared->lock);
    return std::move(m_shared->items);
}

} // namespace perspix
