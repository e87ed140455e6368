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

// One packet: times stay in the stream's time base, as the container stores them, so that
// they convert to seconds exactly as the peer tools convert them.
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
// and holds no more than a block of unused room. Each packet takes 24 bytes: its decoding
// time, its presentation time as an offset from it, size and duration in 32 bits; the rare
// packet whose figures do not fit is kept whole on the side.
class PacketList
{
public:
    static constexpr size_t kBlockBits = 12;
    static constexpr size_t kBlockSize = size_t(1) << kBlockBits;

    void append(const PacketRecord& packet);
    size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    PacketRecord operator[](size_t i) const
    {
        return decoded(m_blocks[i >> kBlockBits][i & (kBlockSize - 1)], i);
    }
    void clear();
    // Bytes held for the packets, unused room included.
    size_t bytesHeld() const;

    template <typename Function> void forEach(Function&& function) const
    {
        size_t left = m_size;
        size_t index = 0;
        for (const auto& block : m_blocks) {
            const size_t n = left < kBlockSize ? left : kBlockSize;
            for (size_t i = 0; i < n; ++i, ++index)
                function(decoded(block[i], index));
            left -= n;
        }
    }

private:
    struct Compact
    {
        static constexpr int32_t kNoOffset = std::numeric_limits<int32_t>::min();
        static constexpr uint8_t kWide = 0x80;  // the packet is in m_wide
        static constexpr uint8_t kNoDts = 0x40; // `dts` holds the presentation time
        int64_t dts;
        int32_t ptsOffset; // pts - dts, or kNoOffset for no pts
        int32_t size;
        int32_t duration;
        uint16_t stream;
        uint8_t flags;
        uint8_t spare;
    };
    static_assert(sizeof(Compact) == 24);

    PacketRecord decoded(const Compact& c, size_t index) const
    {
        if (c.flags & Compact::kWide)
            return wide(index);
        PacketRecord p;
        p.stream = c.stream;
        p.flags = c.flags & ~(Compact::kWide | Compact::kNoDts);
        p.size = c.size;
        p.duration = c.duration;
        if (c.flags & Compact::kNoDts) {
            p.pts = c.dts;
        } else {
            p.dts = c.dts;
            if (c.ptsOffset != Compact::kNoOffset)
                p.pts = c.dts + c.ptsOffset;
        }
        return p;
    }
    PacketRecord wide(size_t index) const;

    std::vector<std::unique_ptr<Compact[]>> m_blocks;
    std::vector<std::pair<size_t, PacketRecord>> m_wide; // by index, ascending
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
