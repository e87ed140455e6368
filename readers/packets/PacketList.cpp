// Packet storage (see PacketList.h).
#include "readers/packets/PacketList.h"

#include <algorithm>
#include <cstdint>

namespace perspix {

QString PacketStream::kindName() const
{
    switch (kind) {
    case Kind::Video:
        return QStringLiteral("video");
    case Kind::Audio:
        return QStringLiteral("audio");
    case Kind::Subtitle:
        return QStringLiteral("subtitle");
    case Kind::Data:
        return QStringLiteral("data");
    case Kind::Other:
        break;
    }
    return QStringLiteral("other");
}

void PacketList::append(const PacketRecord& packet)
{
    const size_t offset = m_size & (kBlockSize - 1);
    if (offset == 0 && (m_size >> kBlockBits) == m_blocks.size())
        m_blocks.push_back(std::make_unique_for_overwrite<Compact[]>(kBlockSize));
    Compact& c = m_blocks[m_size >> kBlockBits][offset];
    c.stream = packet.stream;
    c.flags = uint8_t(packet.flags);
    c.spare = 0;
    c.size = packet.size;
    c.duration = int32_t(packet.duration);
    c.ptsOffset = Compact::kNoOffset;
    bool fits = packet.flags <= 0x3f && packet.duration == int64_t(c.duration);
    if (packet.dts != PacketRecord::kNoTime) {
        c.dts = packet.dts;
        if (packet.pts != PacketRecord::kNoTime) {
            int64_t difference = 0;
            if (__builtin_sub_overflow(packet.pts, packet.dts, &difference))
                difference = INT64_MAX;
            if (difference > Compact::kNoOffset && difference <= INT32_MAX)
                c.ptsOffset = int32_t(difference);
            else
                fits = false;
        }
    } else {
        c.dts = packet.pts;
        c.flags |= Compact::kNoDts;
    }
    if (!fits) {
        c.flags = Compact::kWide;
        m_wide.emplace_back(m_size, packet);
    }
    ++m_size;
}

PacketRecord PacketList::wide(size_t index) const
{
    const auto it = std::lower_bound(
        m_wide.begin(), m_wide.end(), index,
        [](const std::pair<size_t, PacketRecord>& entry, size_t i) { return entry.first < i; });
    return it != m_wide.end() && it->first == index ? it->second : PacketRecord{};
}

size_t PacketList::bytesHeld() const
{
    return m_blocks.size() * kBlockSize * sizeof(Compact) +
           m_wide.capacity() * sizeof(std::pair<size_t, PacketRecord>);
}

void PacketList::clear()
{
    m_blocks.clear();
    m_wide.clear();
    m_size = 0;
}

const PacketStream* PacketFile::stream(int index) const
{
    for (const PacketStream& s : streams)
        if (s.index == index)
            return &s;
    return nullptr;
}

} // namespace perspix
