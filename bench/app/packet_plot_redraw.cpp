// How long the Bitrate and Frames window's plot takes to redraw after a zoom, with 1,000,000
// packets (a film of 11 hours at 25 frames per second, or a long film with its sound), and
// what the packets hold in memory. The plot widget is shown offscreen and repainted at once
// after each of 20 wheel steps in and out; the figures are the median and the slowest, in
// elapsed time and in the main thread's processor time (the part of the elapsed time that
// other programs on a busy machine do not take).
//   packet_plot_redraw [PACKETS]
//   prints "packets=N median_ms=M max_ms=X cpu_median_ms=C cpu_max_ms=Y bytes_per_packet=B"
#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "app/packets/PacketPlotWidget.h"
#include "charts/PacketPlot.h"

using namespace perspix;

namespace {

double threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const long count = argc > 1 ? std::atol(argv[1]) : 1'000'000;

    // Video at 25 frames per second with a key frame every 50, and sound packets between.
    auto file = std::make_shared<PacketFile>();
    PacketStream video;
    video.index = 0;
    video.kind = PacketStream::Kind::Video;
    video.codec = QStringLiteral("h264");
    video.timeBaseNum = 1;
    video.timeBaseDen = 12800;
    PacketStream sound;
    sound.index = 1;
    sound.kind = PacketStream::Kind::Audio;
    sound.codec = QStringLiteral("aac");
    sound.timeBaseNum = 1;
    sound.timeBaseDen = 48000;
    file->streams = {video, sound};
    unsigned seed = 1;
    for (long i = 0; i < count; ++i) {
        seed = seed * 1103515245u + 12345u;
        PacketRecord p;
        if (i % 3 == 2) {
            p.stream = 1;
            p.pts = p.dts = (i / 3) * 1024;
            p.duration = 1024;
            p.size = 300 + int(seed % 100);
            p.flags = PacketRecord::kKey;
        } else {
            const long frame = i / 3 * 2 + i % 3;
            p.stream = 0;
            p.pts = p.dts = frame * 512;
            p.duration = 512;
            p.flags = frame % 50 == 0 ? PacketRecord::kKey : 0;
            p.size = p.flags ? 60'000 + int(seed % 20'000) : 5'000 + int(seed % 15'000);
        }
        file->packets.append(p);
    }
    file->outcome.end = PacketReadOutcome::End::Complete;

    PacketPlotWidget widget;
    widget.resize(1200, 600);
    widget.setPlot(std::make_shared<PacketPlot>(file));
    widget.show();
    QApplication::processEvents();
    widget.repaint();

    std::vector<double> times, cpu;
    QElapsedTimer timer;
    for (int step = 0; step < 20; ++step) {
        const double factor = step < 10 ? 0.7 : 1 / 0.7;
        const double cpuStart = threadCpuMs();
        timer.start();
        widget.zoomAt(widget.width() * 0.4, factor);
        widget.repaint();
        times.push_back(timer.nsecsElapsed() / 1e6);
        cpu.push_back(threadCpuMs() - cpuStart);
    }
    std::sort(times.begin(), times.end());
    std::sort(cpu.begin(), cpu.end());
    const double bytes = double(file->packets.bytesHeld()) / double(std::max(1L, count));
    std::printf("packets=%ld median_ms=%.1f max_ms=%.1f cpu_median_ms=%.1f cpu_max_ms=%.1f "
                "bytes_per_packet=%.1f\n",
                count, times[times.size() / 2], times.back(), cpu[cpu.size() / 2], cpu.back(),
                bytes);
    return 0;
}
