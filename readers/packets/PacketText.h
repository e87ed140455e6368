// Packets as text, in the form ffprobe writes them: times in seconds with six decimals,
// "N/A" for a time a packet lacks, flags "K_" for a key frame. For the command line and the
// window's CSV export.
#pragma once

#include <string>

#include "readers/packets/PacketList.h"

namespace perspix {

class PacketText
{
public:
    static constexpr const char* kCsvHeader = "stream,pts_time,dts_time,duration_time,size,flags";
    // "%f" of the value, exactly as printf rounds it.
    static void appendSeconds(std::string& out, double seconds);
    static void appendInteger(std::string& out, int64_t value);
    // Two letters: K or _ for a key frame, D or _ for a packet to discard.
    static const char* flags(const PacketRecord& packet);
    // A time of the packet in seconds, or `missing` when it has none (a duration of 0 counts
    // as none, as ffprobe counts it).
    static void appendTime(std::string& out, int64_t ticks, const PacketStream& stream,
                           bool isDuration, const char* missing);
    // stream,pts_time,dts_time,duration_time,size,flags and a line break.
    static void appendCsvLine(std::string& out, const PacketRecord& packet,
                              const PacketStream& stream);
};

} // namespace perspix
