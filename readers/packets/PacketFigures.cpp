// Bitrates and stream summaries (see PacketFigures.h).
#include "readers/packets/PacketFigures.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace perspix {

namespace {

int64_t floorDivide(int64_t a, int64_t b)
{
    const int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

} // namespace

int64_t packetMicroseconds(const PacketRecord& packet, const PacketStream& stream)
{
    const int64_t time = packet.time();
    if (time == PacketRecord::kNoTime)
        return PacketRecord::kNoTime;
    const double us = stream.seconds(time) * 1e6;
    if (!(std::fabs(us) < 9e18))
        return PacketRecord::kNoTime;
    return std::llround(us);
}

void BitrateCounter::add(const PacketRecord& packet, const PacketStream& stream)
{
    const int64_t us = packetMicroseconds(packet, stream);
    if (us == PacketRecord::kNoTime || m_intervalUs <= 0)
        return;
    m_bits[packet.stream][floorDivide(us, m_intervalUs)] += int64_t(packet.size) * 8;
}

std::vector<BitrateInterval> BitrateCounter::intervals() const
{
    std::vector<BitrateInterval> result;
    for (const auto& [stream, bits] : m_bits) {
        if (bits.empty())
            continue;
        const int64_t first = bits.begin()->first;
        const int64_t last = bits.rbegin()->first;
        // A time stamp far off the others would ask for billions of empty intervals.
        if (last - first > 10'000'000) {
            for (const auto& [number, sum] : bits)
                result.push_back({stream, number * m_intervalUs, (number + 1) * m_intervalUs, sum});
            continue;
        }
        auto it = bits.begin();
        for (int64_t number = first; number <= last; ++number) {
            BitrateInterval interval{stream, number * m_intervalUs, (number + 1) * m_intervalUs, 0};
            if (it != bits.end() && it->first == number) {
                interval.bits = it->second;
                ++it;
            }
            result.push_back(interval);
        }
    }
    return result;
}

std::vector<BitrateInterval> bitrateIntervals(const PacketFile& file, int64_t intervalUs)
{
    BitrateCounter counter(intervalUs);
    file.packets.forEach([&](const PacketRecord& packet) {
        if (const PacketStream* stream = file.stream(packet.stream))
            counter.add(packet, *stream);
    });
    return counter.intervals();
}

std::vector<StreamSummary> streamSummaries(const PacketFile& file, int64_t intervalUs)
{
    struct Running
    {
        StreamSummary summary;
        int64_t sinceKey = -1; // packets since the last key frame; -1 before the first
        int64_t keyIntervals = 0;
        int64_t keyIntervalSum = 0;
        double first = std::numeric_limits<double>::infinity();
        double end = -std::numeric_limits<double>::infinity();
    };
    std::vector<Running> running(file.streams.size());
    for (size_t i = 0; i < file.streams.size(); ++i)
        running[i].summary.stream = file.streams[i].index;
    auto slot = [&](int index) -> Running* {
        for (size_t i = 0; i < file.streams.size(); ++i)
            if (file.streams[i].index == index)
                return &running[i];
        return nullptr;
    };
    file.packets.forEach([&](const PacketRecord& packet) {
        Running* r = slot(packet.stream);
        if (!r)
            return;
        const PacketStream& stream = *file.stream(packet.stream);
        StreamSummary& s = r->summary;
        ++s.packets;
        s.bytes += packet.size;
        const int64_t time = packet.time();
        const double seconds = time == PacketRecord::kNoTime ? 0 : stream.seconds(time);
        if (time != PacketRecord::kNoTime) {
            r->first = std::min(r->first, seconds);
            r->end = std::max(r->end, seconds + stream.seconds(packet.duration));
        }
        if (packet.size > s.largestSize) {
            s.largestSize = packet.size;
            s.largestTime = seconds;
        }
        if (packet.isKey()) {
            ++s.keyFrames;
            if (r->sinceKey >= 0) {
                ++r->keyIntervals;
                r->keyIntervalSum += r->sinceKey;
                s.keyIntervalMax = std::max(s.keyIntervalMax, r->sinceKey);
            }
            r->sinceKey = 0;
        }
        if (r->sinceKey >= 0)
            ++r->sinceKey;
    });
    const std::vector<BitrateInterval> intervals = bitrateIntervals(file, intervalUs);
    std::vector<StreamSummary> result;
    for (Running& r : running) {
        StreamSummary& s = r.summary;
        if (r.keyIntervals > 0)
            s.keyIntervalMean = double(r.keyIntervalSum) / double(r.keyIntervals);
        if (std::isfinite(r.first)) {
            s.firstTime = r.first;
            s.endTime = r.end;
        }
        const double span = s.endTime - s.firstTime;
        s.meanBitrate = span > 0 ? s.bytes * 8 / span : 0;
        bool any = false;
        for (const BitrateInterval& interval : intervals) {
            if (interval.stream != s.stream)
                continue;
            const double rate = interval.bitrate();
            s.minBitrate = any ? std::min(s.minBitrate, rate) : rate;
            s.maxBitrate = any ? std::max(s.maxBitrate, rate) : rate;
            any = true;
        }
        result.push_back(s);
    }
    return result;
}

} // namespace perspix
