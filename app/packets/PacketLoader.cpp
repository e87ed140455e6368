// Packet reading on a thread of its own (see PacketLoader.h).
#include "app/packets/PacketLoader.h"

#include <QMetaObject>
#include <QPointer>
#include <chrono>

#include "readers/packets/PacketReader.h"

namespace perspix {

namespace {

// Collects the packets, and hands progress to the loader at most ten times a second.
class LoadingSink : public PacketCollector
{
public:
    LoadingSink(PacketFile& file, std::shared_ptr<std::atomic_bool> cancel,
                std::function<void(qint64, qint64)> report)
        : PacketCollector(file), m_cancel(std::move(cancel)), m_report(std::move(report))
    {
    }
    bool progress(qint64 done, qint64 total) override
    {
        const auto now = std::chrono::steady_clock::now();
        if (now - m_last >= std::chrono::milliseconds(100) || done == total) {
            m_last = now;
            m_report(done, total);
        }
        return !m_cancel->load();
    }

private:
    std::shared_ptr<std::atomic_bool> m_cancel;
    std::function<void(qint64, qint64)> m_report;
    std::chrono::steady_clock::time_point m_last;
};

} // namespace

PacketLoader::PacketLoader(QObject* parent) : QObject(parent) {}

PacketLoader::~PacketLoader()
{
    stop();
}

void PacketLoader::stop()
{
    if (m_cancel)
        m_cancel->store(true);
    if (m_thread.joinable())
        m_thread.join();
    m_running = false;
}

void PacketLoader::start(const QString& path)
{
    stop();
    m_cancel = std::make_shared<std::atomic_bool>(false);
    m_running = true;
    const quint64 generation = ++m_generation;
    QPointer<PacketLoader> self(this);
    m_thread = std::thread([self, path, cancel = m_cancel, generation] {
        auto file = std::make_shared<PacketFile>();
        file->path = path;
        LoadingSink sink(*file, cancel, [self, generation](qint64 done, qint64 total) {
            QMetaObject::invokeMethod(
                self,
                [self, generation, done, total] {
                    if (self && self->m_generation == generation)
                        emit self->progress(done, total > 0 ? total : 0);
                },
                Qt::QueuedConnection);
        });
        file->outcome = PacketReader::read(path, sink);
        if (cancel->load() && file->outcome.end == PacketReadOutcome::End::Complete)
            file->outcome.end = PacketReadOutcome::End::Cancelled;
        QMetaObject::invokeMethod(
            self,
            [self, generation, file] {
                if (!self || self->m_generation != generation)
                    return;
                self->m_running = false;
                emit self->finished(file);
            },
            Qt::QueuedConnection);
    });
}

void PacketLoader::cancel()
{
    if (m_cancel)
        m_cancel->store(true);
}

} // namespace perspix
