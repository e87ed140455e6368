// One piece of long work on a thread of its own, for the whole-list operations that a
// window starts and follows (metadata removal, attachment extraction). The end is reported
// on the thread that made the object, as a queued call; nothing about what the work does.
#pragma once

#include <QObject>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>

namespace perspix {

class BackgroundRun
{
public:
    // Make it on a thread that runs an event loop: `finished` is called there.
    BackgroundRun();
    // Asks the work to stop and waits for it; a `finished` still queued is dropped.
    ~BackgroundRun();
    BackgroundRun(const BackgroundRun&) = delete;
    BackgroundRun& operator=(const BackgroundRun&) = delete;

    // Starts the work; false when a run is still going. `finished` (may be empty) follows
    // the work on the creating thread, also after a cancelled run.
    bool start(std::function<void()> work, std::function<void()> finished);
    // The work checks isCancelled() between its steps.
    void cancel() { m_cancelled = true; }
    bool isCancelled() const { return m_cancelled; }
    bool isRunning() const { return m_running; }
    // Blocks until the work has ended (the queued `finished` may still be pending).
    void wait();

private:
    std::thread m_thread;
    std::atomic<bool> m_cancelled{false};
    std::atomic<bool> m_running{false};
    // Lives on the creating thread; its deletion drops a queued `finished`.
    std::unique_ptr<QObject> m_context;
};

} // namespace perspix
