// The packet plot: each pixel column shows the largest frame in it, key frames apart, and a
// picture stays about one shape per column however many packets the film has.
#include <gtest/gtest.h>

#include "charts/PacketPlot.h"

using namespace perspix;

namespace {

// A film of `count` frames at 25 per second, a key frame every 50, frame 1010 large.
std::shared_ptr<PacketFile> syntheticFilm(int count)
{
    auto file = std::make_shared<PacketFile>();
    PacketStream video;
    video.index = 0;
    video.kind = PacketStream::Kind::Video;
    video.codec = "h264";
    video.timeBaseNum = 1;
    video.timeBaseDen = 25;
    file->streams.push_back(video);
    for (int i = 0; i < count; ++i) {
        PacketRecord p;
        p.pts = p.dts = i;
        p.duration = 1;
        p.size = i == 1010 ? 900'000 : (i % 50 == 0 ? 40'000 : 2'000 + i % 7);
        p.flags = i % 50 == 0 ? PacketRecord::kKey : 0;
        file->packets.append(p);
    }
    file->outcome.end = PacketReadOutcome::End::Complete;
    return file;
}

// The top of the highest bar of the colour standing on the lower plot's base line.
double tallest(const ChartPicture& picture, const QColor& colour)
{
    const double base = PacketPlot::plotArea(picture.size).bottom();
    double top = 1e9;
    for (const auto& item : picture.items)
        if (item.kind == ChartPicture::Kind::Rect && item.fill == colour &&
            std::fabs(item.points[1].y() - base) < 0.01)
            top = std::min(top, item.points[0].y());
    return top;
}

} // namespace

TEST(PacketPlot, ColumnsKeepTheLargestFrame)
{
    const auto film = syntheticFilm(1'000'000);
    PacketPlot plot(film);
    EXPECT_DOUBLE_EQ(plot.fullStart(), 0);
    EXPECT_DOUBLE_EQ(plot.fullEnd(), 1'000'000 / 25.0);
    EXPECT_EQ(plot.frameStream(), 0);
    const QSizeF size(1000, 600);
    const ChartPicture all = plot.picture(size, plot.fullStart(), plot.fullEnd());
    EXPECT_LT(all.items.size(), 4000u);
    // The large frame (not a key frame) sets the scale: it reaches the top of its plot.
    const QRectF area = PacketPlot::plotArea(size);
    const double lowerTop = area.top() + (area.height() - 34) / 2 + 34;
    EXPECT_NEAR(tallest(all, QColor(60, 110, 200)), lowerTop, 1.0);

    // Zoomed to frames 1200 to 1300, where key frames are the largest: they reach the top.
    const ChartPicture zoomed = plot.picture(size, 1200 / 25.0, 1300 / 25.0);
    EXPECT_NEAR(tallest(zoomed, QColor(220, 50, 40)), lowerTop, 1.0);
    int keyMarks = 0;
    for (const auto& item : zoomed.items)
        if (item.kind == ChartPicture::Kind::Rect && item.fill == QColor(220, 50, 40) &&
            std::fabs(item.points[0].y() - lowerTop) < 0.01 &&
            std::fabs(item.points[1].y() - lowerTop - 5) < 0.01)
            ++keyMarks;
    EXPECT_EQ(keyMarks, 2); // frames 1200 and 1250; 1300 lies at the range's end
}

TEST(PacketPlot, ReadoutNamesTheNearestFrameAndTheBitrate)
{
    const auto film = syntheticFilm(5000);
    PacketPlot plot(film, 2'000'000);
    const PacketPlot::Readout r = plot.readout(40.41); // frame 1010 is at 40.4 s
    EXPECT_EQ(r.frameSize, 900'000);
    EXPECT_DOUBLE_EQ(r.frameTime, 40.4);
    EXPECT_FALSE(r.frameIsKey);
    ASSERT_EQ(r.bitrates.size(), 1u);
    // 40 s to 42 s: frames 1000 to 1049, one key frame among them.
    double bits = 0;
    for (int i = 1000; i < 1050; ++i)
        bits += 8.0 * (i == 1010 ? 900'000 : (i % 50 == 0 ? 40'000 : 2'000 + i % 7));
    EXPECT_DOUBLE_EQ(r.bitrates[0].second, bits / 2);
}

// The summary under the plots: bitrates over the intervals, frames, key-frame intervals and
// the largest frame, also for a stream whose last key frame interval is cut short.
TEST(PacketPlot, StreamSummary)
{
    const auto film = syntheticFilm(5010); // key frames at 0, 50, ..., 5000
    const std::vector<StreamSummary> summaries = streamSummaries(*film, 1'000'000);
    ASSERT_EQ(summaries.size(), 1u);
    const StreamSummary& s = summaries[0];
    EXPECT_EQ(s.packets, 5010);
    EXPECT_EQ(s.keyFrames, 101);
    EXPECT_DOUBLE_EQ(s.keyIntervalMean, 50);
    EXPECT_EQ(s.keyIntervalMax, 50);
    EXPECT_EQ(s.largestSize, 900'000);
    EXPECT_DOUBLE_EQ(s.largestTime, 40.4);
    EXPECT_DOUBLE_EQ(s.endTime, 5010 / 25.0);
    // The second with the large frame is the highest, a second without a key frame the lowest.
    EXPECT_GT(s.maxBitrate, 900'000 * 8);
    EXPECT_LT(s.minBitrate, 25 * 2'010 * 8);
    EXPECT_NEAR(s.meanBitrate, s.bytes * 8 / (5010 / 25.0), 1e-6);
}
