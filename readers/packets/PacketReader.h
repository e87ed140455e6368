// Reads the packets of a film or sound file with FFmpeg's demuxers: demuxing only, nothing
// is decoded. The program's only door to libavformat; safe on any thread, one call per file.
#pragma once

#include <QString>
#include <QtGlobal>

#include "readers/packets/PacketList.h"

namespace perspix {

// Where the packets go as they are read, in the demuxer's order. The reader calls it on the
// reading thread only.
class PacketSink
{
public:
    virtual ~PacketSink() = default;
    // A stream, before the first of its packets.
    virtual void streamFound(const PacketStream& stream) = 0;
    virtual void packetRead(const PacketRecord& packet) = 0;
    // Bytes of the file read so far, now and then; false stops the reading (Cancelled).
    virtual bool progress(qint64 done, qint64 total)
    {
        Q_UNUSED(done);
        Q_UNUSED(total);
        return true;
    }
};

class PacketReader
{
public:
    // Reads every packet of the file into the sink. A file that ends early or holds damaged
    // data gives the packets before the fault, and the outcome Damaged with a message that
    // names the byte and the time where reading stopped.
    static PacketReadOutcome read(const QString& path, PacketSink& sink);
    // The same into a list kept in memory.
    static PacketFile readFile(const QString& path);
};

// A sink that keeps everything (the window's and the bitrate figures' source).
class PacketCollector : public PacketSink
{
public:
    explicit PacketCollector(PacketFile& file) : m_file(file) {}
    void streamFound(const PacketStream& stream) override { m_file.streams.push_back(stream); }
    void packetRead(const PacketRecord& packet) override { m_file.packets.append(packet); }

private:
    PacketFile& m_file;
};

} // namespace perspix
