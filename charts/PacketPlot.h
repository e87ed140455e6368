// The plots of a film's packets: each stream's bitrate over time and the size of each frame
// with the key frames marked, for a range of time and a size in pixels. Many packets fall on
// one pixel column: each column draws the largest frame within it, so a picture costs one
// pass over the packets and about one shape per column, however long the film. No widgets.
#pragma once

#include <memory>
#include <vector>

#include "charts/ChartPicture.h"
#include "readers/packets/PacketFigures.h"
#include "readers/packets/PacketList.h"

namespace perspix {

class PacketPlot
{
public:
    explicit PacketPlot(std::shared_ptr<const PacketFile> file, int64_t intervalUs = 1'000'000);

    void setInterval(int64_t intervalUs);
    int64_t intervalUs() const { return m_intervalUs; }
    const std::shared_ptr<const PacketFile>& file() const { return m_file; }
    // The stream whose frames the lower plot shows: the first video stream, else the first
    // stream with packets; -1 when there is none.
    int frameStream() const { return m_frameStream; }

    // The whole time span of the packets, in seconds.
    double fullStart() const { return m_fullStart; }
    double fullEnd() const { return m_fullEnd; }

    // The area of the time axis within a picture of that size (both plots share it).
    static QRectF plotArea(QSizeF size);
    ChartPicture picture(QSizeF size, double start, double end, const QString& title = {}) const;

    // What lies under a time: each stream's bitrate there and the frame nearest to it.
    struct Readout
    {
        double time = 0;
        std::vector<std::pair<int, double>> bitrates; // stream, bits per second
        int64_t frameSize = -1;                       // -1: no frame
        double frameTime = 0;
        bool frameIsKey = false;
    };
    Readout readout(double time) const;

    static QColor streamColour(int position);

private:
    std::shared_ptr<const PacketFile> m_file;
    int64_t m_intervalUs;
    std::vector<BitrateInterval> m_intervals;
    int m_frameStream = -1;
    double m_fullStart = 0;
    double m_fullEnd = 1;
};

} // namespace perspix
