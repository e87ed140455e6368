// Packet text (see PacketText.h).
#include "readers/packets/PacketText.h"

#include <QByteArray>
#include <charconv>

namespace perspix {

void PacketText::appendSeconds(std::string& out, double seconds)
{
    char digits[400];
    const auto result =
        std::to_chars(digits, digits + sizeof digits, seconds, std::chars_format::fixed, 6);
    if (result.ec == std::errc())
        out.append(digits, result.ptr);
    else
        out.append(QByteArray::number(seconds, 'f', 6).constData());
}

void PacketText::appendInteger(std::string& out, int64_t value)
{
    char digits[24];
    out.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
}

const char* PacketText::flags(const PacketRecord& p)
{
    const bool discard = p.flags & PacketRecord::kDiscard;
    return p.isKey() ? (discard ? "KD" : "K_") : (discard ? "_D" : "__");
}

void PacketText::appendTime(std::string& out, int64_t ticks, const PacketStream& stream,
                            bool isDuration, const char* missing)
{
    if (isDuration ? ticks == 0 : ticks == PacketRecord::kNoTime)
        out.append(missing);
    else
        appendSeconds(out, stream.seconds(ticks));
}

void PacketText::appendCsvLine(std::string& out, const PacketRecord& p, const PacketStream& s)
{
    appendInteger(out, p.stream);
    out.push_back(',');
    appendTime(out, p.pts, s, false, "N/A");
    out.push_back(',');
    appendTime(out, p.dts, s, false, "N/A");
    out.push_back(',');
    appendTime(out, p.duration, s, true, "N/A");
    out.push_back(',');
    appendInteger(out, p.size);
    out.push_back(',');
    out.append(flags(p), 2);
    out.push_back('\n');
}

} // namespace perspix
