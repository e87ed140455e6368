// Packet storage (see PacketList.h).
#include "readers/packets/PacketList.h"

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
        m_blocks.push_back(std::make_unique_for_overwrite<PacketRecord[]>(kBlockSize));
    m_blocks[m_size >> kBlockBits][offset] = packet;
    ++m_size;
}

void PacketList::clear()
{
    m_blocks.clear();
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
