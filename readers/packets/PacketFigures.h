// Figures made from packets: bits per interval of time and per stream, and the summary of a
// stream (bitrates, frames, key-frame intervals, the largest frame). No reading here.
#pragma once

#include <QString>
#include <cstdint>
#include <map>
#include <vector>

#include "readers/packets/PacketList.h"

namespace perspix {

// A packet's place on the time line, in whole microseconds: times are compared as the peer
// tools print them, so that a packet printed at "1.000000" lies in the interval from 1 s.
int64_t packetMicroseconds(const PacketRecord& packet, const PacketStream& stream);

struct BitrateInterval
{
    int stream = 0;
    int64_t startUs = 0; // the interval is [startUs, endUs)
    int64_t endUs = 0;
    int64_t bits = 0;
    double bitrate() const { return endUs > startUs ? bits * 1e6 / double(endUs - startUs) : 0; }
};

// Sums the bits of packets by stream and by interval of a fixed length from time 0, as the
// packets arrive; packets without a time are left out. Empty intervals between a stream's
// first and last packet count 0 bits.
class BitrateCounter
{
public:
    explicit BitrateCounter(int64_t intervalUs) : m_intervalUs(intervalUs) {}
    void add(const PacketRecord& packet, const PacketStream& stream);
    // Every interval, by stream and then by time.
    std::vector<BitrateInterval> intervals() const;
    int64_t intervalUs() const { return m_intervalUs; }

private:
    int64_t m_intervalUs;
    std::map<int, std::map<int64_t, int64_t>> m_bits; // stream -> interval number -> bits
};

std::vector<BitrateInterval> bitrateIntervals(const PacketFile& file, int64_t intervalUs);

struct StreamSummary
{
    int stream = 0;
    double minBitrate = 0;  // bits per second, over the intervals
    double meanBitrate = 0; // the stream's bits over its time span
    double maxBitrate = 0;
    int64_t packets = 0;
    int64_t bytes = 0;
    int64_t keyFrames = 0;
    // Packets from one key frame to the next, in decoding order; 0 without two key frames.
    double keyIntervalMean = 0;
    int64_t keyIntervalMax = 0;
    int64_t largestSize = 0;
    double largestTime = 0; // seconds
    double firstTime = 0;
    double endTime = 0; // seconds: the end of the last packet
};

std::vector<StreamSummary> streamSummaries(const PacketFile& file, int64_t intervalUs);

} // namespace perspix
