// Plot pictures of packets (see PacketPlot.h).
#include "charts/PacketPlot.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace perspix {

namespace {

constexpr double kLeft = 64;
constexpr double kRight = 16;
constexpr double kTop = 48;
constexpr double kBottom = 34;
constexpr double kGap = 34;
const QColor kAxis(90, 90, 90);
const QColor kGrid(225, 225, 225);
const QColor kFrame(60, 110, 200);
const QColor kKeyFrame(220, 50, 40);

QString secondsText(double t, double step)
{
    const int decimals = step >= 1 ? 0 : step >= 0.1 ? 1 : step >= 0.01 ? 2 : 3;
    return QString::number(t, 'f', decimals) + QStringLiteral(" s");
}

} // namespace

PacketPlot::PacketPlot(std::shared_ptr<const PacketFile> file, int64_t intervalUs)
    : m_file(std::move(file))
{
    double first = std::numeric_limits<double>::infinity();
    double last = -std::numeric_limits<double>::infinity();
    std::vector<int64_t> counts(m_file->streams.size());
    m_file->packets.forEach([&](const PacketRecord& p) {
        const PacketStream* s = m_file->stream(p.stream);
        if (!s || p.time() == PacketRecord::kNoTime)
            return;
        const double t = s->seconds(p.time());
        first = std::min(first, t);
        last = std::max(last, t + s->seconds(p.duration));
        for (size_t i = 0; i < m_file->streams.size(); ++i)
            if (m_file->streams[i].index == p.stream)
                ++counts[i];
    });
    if (std::isfinite(first)) {
        m_fullStart = first;
        m_fullEnd = last > first ? last : first + 1;
    }
    for (size_t i = 0; i < m_file->streams.size() && m_frameStream < 0; ++i)
        if (m_file->streams[i].kind == PacketStream::Kind::Video && counts[i] > 0)
            m_frameStream = m_file->streams[i].index;
    for (size_t i = 0; i < m_file->streams.size() && m_frameStream < 0; ++i)
        if (counts[i] > 0)
            m_frameStream = m_file->streams[i].index;
    setInterval(intervalUs);
}

void PacketPlot::setInterval(int64_t intervalUs)
{
    m_intervalUs = intervalUs > 0 ? intervalUs : 1'000'000;
    m_intervals = bitrateIntervals(*m_file, m_intervalUs);
}

QRectF PacketPlot::plotArea(QSizeF size)
{
    return QRectF(kLeft, kTop, std::max(1.0, size.width() - kLeft - kRight),
                  std::max(1.0, size.height() - kTop - kBottom));
}

QColor PacketPlot::streamColour(int position)
{
    static const QColor colours[] = {QColor(60, 110, 200), QColor(230, 130, 30),
                                     QColor(50, 160, 80),  QColor(150, 80, 190),
                                     QColor(200, 60, 120), QColor(30, 160, 170)};
    return colours[size_t(position) % std::size(colours)];
}

ChartPicture PacketPlot::picture(QSizeF size, double start, double end, const QString& title) const
{
    ChartPicture picture;
    picture.size = size;
    if (!(end > start)) {
        start = m_fullStart;
        end = m_fullEnd;
    }
    const QRectF area = plotArea(size);
    const double panel = std::max(1.0, (area.height() - kGap) / 2);
    const QRectF rates(area.left(), area.top(), area.width(), panel);
    const QRectF frames(area.left(), area.top() + panel + kGap, area.width(), panel);
    const double scale = area.width() / (end - start);
    auto xOf = [&](double t) { return area.left() + (t - start) * scale; };
    if (!title.isEmpty())
        picture.text({kLeft, 20}, title, 13, ChartPicture::Anchor::Start, Qt::black, true);

    // Time axis under both plots.
    double step = 1;
    const std::vector<double> ticks =
        niceTicks(start, end, std::max(2, int(area.width() / 90)), &step);
    for (const QRectF& box : {rates, frames}) {
        for (const double t : ticks)
            picture.line({xOf(t), box.top()}, {xOf(t), box.bottom()}, kGrid);
        picture.line(box.bottomLeft(), box.bottomRight(), kAxis);
        picture.line(box.topLeft(), box.bottomLeft(), kAxis);
    }
    for (const double t : ticks)
        picture.text({xOf(t), frames.bottom() + 16}, secondsText(t, step), 10,
                     ChartPicture::Anchor::Middle, kAxis);

    // Bitrates: one line per stream, a step per interval in view; where intervals outnumber
    // the columns, a line through each column's lowest and highest.
    const int columns = std::max(1, int(std::ceil(area.width())));
    double rateMax = 0;
    for (const BitrateInterval& i : m_intervals)
        if (i.endUs / 1e6 >= start && i.startUs / 1e6 <= end)
            rateMax = std::max(rateMax, i.bitrate());
    double rateStep = 1;
    const std::vector<double> rateTicks = niceTicks(0, rateMax > 0 ? rateMax : 1, 4, &rateStep);
    const double rateTop = rateTicks.empty() ? 1 : std::max(rateTicks.back(), rateMax);
    auto yRate = [&](double r) { return rates.bottom() - r / rateTop * rates.height(); };
    for (const double r : rateTicks) {
        picture.line({rates.left(), yRate(r)}, {rates.right(), yRate(r)}, kGrid);
        picture.text({rates.left() - 6, yRate(r) + 4}, shortNumber(r), 10,
                     ChartPicture::Anchor::End, kAxis);
    }
    picture.text({14, rates.center().y()}, QStringLiteral("bit/s"), 10,
                 ChartPicture::Anchor::Middle, kAxis, false, true);
    double legendX = rates.left();
    const bool dense = scale * (m_intervalUs / 1e6) < 2;
    for (size_t position = 0; position < m_file->streams.size(); ++position) {
        const PacketStream& stream = m_file->streams[position];
        std::vector<QPointF> points;
        int column = std::numeric_limits<int>::min();
        double low = 0, high = 0;
        auto flush = [&] {
            if (column == std::numeric_limits<int>::min())
                return;
            const double x = area.left() + column + 0.5;
            points.emplace_back(x, yRate(high));
            if (low != high)
                points.emplace_back(x, yRate(low));
        };
        bool any = false;
        for (const BitrateInterval& i : m_intervals) {
            if (i.stream != stream.index)
                continue;
            any = true;
            const double middle = (i.startUs + i.endUs) / 2e6;
            if (i.endUs / 1e6 < start || i.startUs / 1e6 > end)
                continue;
            const double rate = i.bitrate();
            const double x = xOf(middle);
            if (!dense) {
                // Wide enough to show each interval as a step of its own.
                points.emplace_back(xOf(i.startUs / 1e6), yRate(rate));
                points.emplace_back(xOf(i.endUs / 1e6), yRate(rate));
                continue;
            }
            const int c = int(std::floor(x - area.left()));
            if (c != column) {
                flush();
                column = c;
                low = high = rate;
            } else {
                low = std::min(low, rate);
                high = std::max(high, rate);
            }
        }
        flush();
        if (!any)
            continue;
        const QColor colour = streamColour(int(position));
        for (QPointF& p : points)
            p.setX(std::clamp(p.x(), rates.left(), rates.right()));
        // A thin line where it zigzags from column to column: wide ones cost a stroker pass.
        picture.polyline(std::move(points), colour, dense ? 1.0 : 1.5);
        const QString name =
            QStringLiteral("#%1 %2 %3").arg(stream.index).arg(stream.kindName(), stream.codec);
        picture.line({legendX, rates.top() - 8}, {legendX + 14, rates.top() - 8}, colour, 3);
        picture.text({legendX + 18, rates.top() - 4}, name, 10, ChartPicture::Anchor::Start,
                     Qt::black);
        legendX += 28 + name.size() * 6.2;
    }

    // Frames: the largest frame of each column, key frames over the others.
    std::vector<int32_t> plain(size_t(columns), 0), key(size_t(columns), 0);
    int32_t frameMax = 0;
    if (const PacketStream* stream = m_file->stream(m_frameStream)) {
        const double tick = stream->timeBaseNum / double(stream->timeBaseDen);
        const uint16_t index = uint16_t(m_frameStream);
        m_file->packets.forEach([&](const PacketRecord& p) {
            if (p.stream != index || p.time() == PacketRecord::kNoTime)
                return;
            const double x = (double(p.time()) * tick - start) * scale;
            if (!(x >= 0) || x >= columns)
                return;
            int32_t& slot = p.isKey() ? key[size_t(x)] : plain[size_t(x)];
            slot = std::max(slot, p.size);
            frameMax = std::max(frameMax, p.size);
        });
    }
    double sizeStep = 1;
    const std::vector<double> sizeTicks = niceTicks(0, frameMax > 0 ? frameMax : 1, 4, &sizeStep);
    const double sizeTop = sizeTicks.empty() ? 1 : std::max(sizeTicks.back(), double(frameMax));
    auto ySize = [&](double s) { return frames.bottom() - s / sizeTop * frames.height(); };
    for (const double s : sizeTicks) {
        picture.line({frames.left(), ySize(s)}, {frames.right(), ySize(s)}, kGrid);
        picture.text({frames.left() - 6, ySize(s) + 4}, shortNumber(s), 10,
                     ChartPicture::Anchor::End, kAxis);
    }
    picture.text({14, frames.center().y()}, QStringLiteral("bytes"), 10,
                 ChartPicture::Anchor::Middle, kAxis, false, true);
    // Bars one pixel wide, all of one colour in a row: the painter fills a run of rectangles
    // of one brush at once, which is much faster than drawing lines.
    for (int c = 0; c < columns; ++c)
        if (plain[size_t(c)] > 0)
            picture.rect(QRectF(QPointF(frames.left() + c, ySize(plain[size_t(c)])),
                                QPointF(frames.left() + c + 1, frames.bottom())),
                         kFrame);
    for (int c = 0; c < columns; ++c)
        if (key[size_t(c)] > 0) {
            picture.rect(QRectF(QPointF(frames.left() + c, ySize(key[size_t(c)])),
                                QPointF(frames.left() + c + 1, frames.bottom())),
                         kKeyFrame);
            picture.rect(QRectF(frames.left() + c, frames.top(), 1, 5), kKeyFrame);
        }
    if (const PacketStream* stream = m_file->stream(m_frameStream)) {
        picture.line({frames.left(), frames.top() - 8}, {frames.left() + 14, frames.top() - 8},
                     kFrame, 3);
        const QString name =
            QStringLiteral("frame sizes of #%1 %2").arg(stream->index).arg(stream->codec);
        picture.text({frames.left() + 18, frames.top() - 4}, name, 10, ChartPicture::Anchor::Start,
                     Qt::black);
        const double keyX = frames.left() + 40 + name.size() * 6.2;
        picture.line({keyX, frames.top() - 8}, {keyX + 14, frames.top() - 8}, kKeyFrame, 3);
        picture.text({keyX + 18, frames.top() - 4}, QStringLiteral("key frames"), 10,
                     ChartPicture::Anchor::Start, Qt::black);
    }
    return picture;
}

PacketPlot::Readout PacketPlot::readout(double time) const
{
    Readout r;
    r.time = time;
    const int64_t us = std::llround(time * 1e6);
    for (const BitrateInterval& i : m_intervals)
        if (us >= i.startUs && us < i.endUs)
            r.bitrates.emplace_back(i.stream, i.bitrate());
    const PacketStream* stream = m_file->stream(m_frameStream);
    if (!stream)
        return r;
    double best = std::numeric_limits<double>::infinity();
    const uint16_t index = uint16_t(m_frameStream);
    m_file->packets.forEach([&](const PacketRecord& p) {
        if (p.stream != index || p.time() == PacketRecord::kNoTime)
            return;
        const double t = stream->seconds(p.time());
        const double distance = std::fabs(t - time);
        if (distance < best) {
            best = distance;
            r.frameSize = p.size;
            r.frameTime = t;
            r.frameIsKey = p.isKey();
        }
    });
    return r;
}

} // namespace perspix
