// Reads one file's packets away from the main thread and reports progress and the end as
// queued signals. The window knows only this class: the reading may move into a helper
// process behind the same signals.
#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <memory>
#include <thread>

#include "readers/packets/PacketList.h"

namespace perspix {

class PacketLoader : public QObject
{
    Q_OBJECT
public:
    explicit PacketLoader(QObject* parent = nullptr);
    // Stops a reading still running and waits for it.
    ~PacketLoader() override;

    // Starts reading; a reading still running is cancelled first.
    void start(const QString& path);
    // Asks the reading to stop; finished() follows with the outcome Cancelled.
    void cancel();
    bool isRunning() const { return m_running; }

signals:
    // Bytes read of the file's size (the size is 0 when unknown).
    void progress(qint64 done, qint64 total);
    // The packets read, complete or up to where reading stopped.
    void finished(std::shared_ptr<const perspix::PacketFile> file);

private:
    void stop();

    std::thread m_thread;
    std::shared_ptr<std::atomic_bool> m_cancel;
    bool m_running = false;
    quint64 m_generation = 0;
};

} // namespace perspix
