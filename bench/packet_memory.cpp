// The memory the packets of one film hold once read: resident memory after reading the film
// less resident memory after reading a small one first (the libraries are then loaded and
// their buffers warm), per packet read.
//   packet_memory SMALL_FILM FILM
//   prints "packets=N held_kb=K bytes_per_packet=B list_bytes_per_packet=L"
#include <QCoreApplication>
#include <QFile>
#include <cstdio>
#include <malloc.h>

#include "readers/packets/PacketReader.h"

using namespace perspix;

namespace {

long residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: packet_memory SMALL_FILM FILM\n");
        return 2;
    }
    {
        const PacketFile warm = PacketReader::readFile(QString::fromLocal8Bit(argv[1]));
    }
    malloc_trim(0);
    const long before = residentKb();
    const PacketFile film = PacketReader::readFile(QString::fromLocal8Bit(argv[2]));
    malloc_trim(0);
    const long after = residentKb();
    const double packets = double(std::max<size_t>(1, film.packets.size()));
    std::printf("packets=%zu held_kb=%ld bytes_per_packet=%.1f list_bytes_per_packet=%.1f\n",
                film.packets.size(), after - before, (after - before) * 1024.0 / packets,
                double(film.packets.bytesHeld()) / packets);
    return film.outcome.ok() ? 0 : 1;
}
