// A thread for one piece of work, with its end reported on the creating thread.
#include "model/BackgroundRun.h"

#include <QMetaObject>

namespace perspix {

BackgroundRun::BackgroundRun() : m_context(std::make_unique<QObject>()) {}

BackgroundRun::~BackgroundRun()
{
    cancel();
    wait();
}

bool BackgroundRun::start(std::function<void()> work, std::function<void()> finished)
{
    if (m_running)
        return false;
    wait();
    m_cancelled = false;
    m_running = true;
    QObject* context = m_context.get();
    m_thread = std::thread(
        [this, context, work = std::move(work), finished = std::move(finished)]() mutable {
            if (work)
                work();
            m_running = false;
            if (finished)
                QMetaObject::invokeMethod(context, std::move(finished), Qt::QueuedConnection);
        });
    return true;
}

void BackgroundRun::wait()
{
    if (m_thread.joinable())
        m_thread.join();
}

} // namespace perspix
