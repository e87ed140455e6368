// The packets of a film or sound file as the demuxer gives them, in their own types: what
// the packet reader hands on, what the bitrate figures and the plots are made from. No
// reading here (see PacketReader).
#pragma once

#include <QString>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

namespace perspix {

// One packet, 32 bytes: times stay in the stream's time base, as the container stores them,
// so that they convert to seconds exactly as the peer tools convert them.
struct PacketRecord
{
    static constexpr int64_t kNoTime = std::numeric_limits<int64_t>::min();
    static constexpr uint16_t kKey = 1;
    static constexpr uint16_t kDiscard = 2;

    int64_t pts = kNoTime;
    int64_t dts = kNoTime;
    int64_t duration = 0;
    int32_t size = 0;
    uint16_t stream = 0;
    uint16_t flags = 0;

    bool isKey() const { return flags & kKey; }
    // The time that places the packet on a time line: its presentation time, else its
    // decoding time; kNoTime when it has neither.
    int64_t time() const { return pts != kNoTime ? pts : dts; }
};
static_assert(sizeof(PacketRecord) == 32);

struct PacketStream
{
    enum class Kind { Video, Audio, Subtitle, Data, Other };
    int index = 0;
    Kind kind = Kind::Other;
    QString codec;       // the demuxer's codec name, such as "h264"
    int timeBaseNum = 0; // seconds per tick: num / den
    int timeBaseDen = 1;
    // A time of this stream in seconds, computed as the peer tools compute it.
    double seconds(int64_t ticks) const
    {
        return double(ticks) * (timeBaseNum / double(timeBaseDen));
    }
    QString kindName() const;
};

// Packets kept in blocks of a fixed size: the list grows without ever copying what it holds,
// and holds no more than a block of unused room.
class PacketList
{
public:
    static constexpr size_t kBlockBits = 12;
    static constexpr size_t kBlockSize = size_t(1) << kBlockBits;

    void append(const PacketRecord& packet);
    size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    const PacketRecord& operator[](size_t i) const
    {
        return m_blocks[i >> kBlockBits][i & (kBlockSize - 1)];
    }
    void clear();
    // Bytes held for the packets, unused room included.
    size_t bytesHeld() const { return m_blocks.size() * kBlockSize * sizeof(PacketRecord); }

    template <typename Function> void forEach(Function&& function) const
    {
        size_t left = m_size;
        for (const auto& block : m_blocks) {
            const size_t n = left < kBlockSize ? left : kBlockSize;
            for (size_t i = 0; i < n; ++i)
                function(block[i]);
            left -= n;
        }
    }

private:
    std::vector<std::unique_ptr<PacketRecord[]>> m_blocks;
    size_t m_size = 0;
};

// How a reading ended.
struct PacketReadOutcome
{
    enum class End { Complete, Damaged, NotOpened, Cancelled };
    End end = End::NotOpened;
    // For Damaged and NotOpened: what went wrong, naming where reading stopped.
    QString message;
    bool ok() const { return end == End::Complete; }
};

// Everything read from one file.
struct PacketFile
{
    QString path;
    std::vector<PacketStream> streams;
    PacketList packets;
    PacketReadOutcome outcome;
    // The stream of a packet, or null for an index the reader never announced.
    const PacketStream* stream(int index) const;
};

} // namespace perspix
