// The --packets and --bitrate runs of perspix-cli: one film or sound file's packets, or its
// bits per stream and interval, as CSV, JSON or JSON Lines. Nothing is analysed otherwise.
#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>
#include <cstdint>
#include <cstdio>

namespace perspix::cli {

struct PacketsOptions
{
    enum class Run { Packets, Bitrate };
    enum class Format { Csv, Json, JsonLines };
    Run run = Run::Packets;
    Format format = Format::Csv;
    QString path;
    int64_t intervalUs = 1'000'000;
};

struct PacketsParse
{
    PacketsOptions options;
    QString error; // a usage error
};

// True when the arguments ask for --packets or --bitrate.
bool isPacketsRun(const QStringList& arguments);
PacketsParse parsePacketsOptions(const QStringList& arguments);
QString packetsUsageText();

// The whole run, from the arguments (without the program name) to the exit status: 0 when
// every packet was read, 1 when the file could not be opened or reading stopped early (the
// packets before the fault are written, the fault is named on `err`), 2 for a usage error.
int runPackets(const QStringList& arguments, std::FILE* out, QTextStream& err);

} // namespace perspix::cli
