// The --packets and --bitrate runs (see PacketsRun.h). Lines are formatted by hand into one
// buffer: a film has millions of packets, and the run is meant to keep up with ffprobe.
#include "cli/PacketsRun.h"

#include <cmath>
#include <string>

#include "cli/CommandLine.h"
#include "export/JsonWriter.h"
#include "model/NativePath.h"
#include "readers/packets/PacketFigures.h"
#include "readers/packets/PacketReader.h"
#include "readers/packets/PacketText.h"

namespace perspix::cli {

namespace {

const QString kPackets = QStringLiteral("--packets");
const QString kBitrate = QStringLiteral("--bitrate");
const QString kInterval = QStringLiteral("--interval");
const QString kFormat = QStringLiteral("--format");
constexpr size_t kFlushBytes = 1 << 16;

// Output gathered in a buffer and written in large pieces.
class Output
{
public:
    explicit Output(std::FILE* file) : m_file(file) { m_buffer.reserve(kFlushBytes * 2); }
    ~Output() { flush(); }
    void text(const char* s, size_t n) { m_buffer.append(s, n); }
    void text(const char* s) { m_buffer.append(s); }
    void text(const std::string& s) { m_buffer.append(s); }
    void character(char c) { m_buffer.push_back(c); }
    void integer(int64_t value) { PacketText::appendInteger(m_buffer, value); }
    void seconds(double value) { PacketText::appendSeconds(m_buffer, value); }
    std::string& buffer() { return m_buffer; }
    void lineEnd()
    {
        m_buffer.push_back('\n');
        check();
    }
    void check()
    {
        if (m_buffer.size() >= kFlushBytes)
            flush();
    }
    void flush()
    {
        if (!m_buffer.empty())
            std::fwrite(m_buffer.data(), 1, m_buffer.size(), m_file);
        m_buffer.clear();
    }

private:
    std::FILE* m_file;
    std::string m_buffer;
};

std::string jsonString(const QString& text)
{
    return JsonWriter::quotedString(text).toStdString();
}

// Writes each packet as it is read, so that memory stays the same for any film.
class PacketLines : public PacketSink
{
public:
    PacketLines(Output& out, PacketsOptions::Format format) : m_out(out), m_format(format) {}

    void streamFound(const PacketStream& stream) override
    {
        if (size_t(stream.index) >= m_streams.size())
            m_streams.resize(size_t(stream.index) + 1);
        m_streams[size_t(stream.index)] = stream;
    }

    void packetRead(const PacketRecord& p) override
    {
        const PacketStream& stream = m_streams[p.stream];
        if (m_format == PacketsOptions::Format::Csv) {
            PacketText::appendCsvLine(m_out.buffer(), p, stream);
            m_out.check();
            return;
        }
        auto time = [&](int64_t ticks, bool isDuration) {
            PacketText::appendTime(m_out.buffer(), ticks, stream, isDuration, "null");
        };
        const char* flags = PacketText::flags(p);
        if (m_format == PacketsOptions::Format::Json)
            m_out.text(m_count == 0 ? "\n    " : ",\n    ");
        m_out.text("{\"stream\":");
        m_out.integer(p.stream);
        m_out.text(",\"pts_time\":");
        time(p.pts, false);
        m_out.text(",\"dts_time\":");
        time(p.dts, false);
        m_out.text(",\"duration_time\":");
        time(p.duration, true);
        m_out.text(",\"size\":");
        m_out.integer(p.size);
        m_out.text(",\"flags\":\"");
        m_out.text(flags, 2);
        m_out.text("\"}");
        if (m_format == PacketsOptions::Format::JsonLines)
            m_out.lineEnd();
        else
            m_out.check();
        ++m_count;
    }

    const std::vector<PacketStream>& streams() const { return m_streams; }
    uint64_t count() const { return m_count; }

private:
    Output& m_out;
    PacketsOptions::Format m_format;
    std::vector<PacketStream> m_streams;
    uint64_t m_count = 0;
};

class BitrateSums : public PacketSink
{
public:
    explicit BitrateSums(int64_t intervalUs) : m_counter(intervalUs) {}
    void streamFound(const PacketStream& stream) override
    {
        if (size_t(stream.index) >= m_streams.size())
            m_streams.resize(size_t(stream.index) + 1);
        m_streams[size_t(stream.index)] = stream;
    }
    void packetRead(const PacketRecord& packet) override
    {
        m_counter.add(packet, m_streams[packet.stream]);
    }
    const std::vector<PacketStream>& streams() const { return m_streams; }
    const BitrateCounter& counter() const { return m_counter; }

private:
    BitrateCounter m_counter;
    std::vector<PacketStream> m_streams;
};

void writeStreams(Output& out, const std::vector<PacketStream>& streams)
{
    out.text("  \"streams\": [");
    bool first = true;
    for (const PacketStream& s : streams) {
        if (s.timeBaseDen <= 0 || (s.timeBaseNum == 0 && s.codec.isEmpty()))
            continue;
        out.text(first ? "\n    " : ",\n    ");
        first = false;
        out.text("{\"index\":");
        out.integer(s.index);
        out.text(",\"kind\":");
        out.text(jsonString(s.kindName()));
        out.text(",\"codec\":");
        out.text(jsonString(s.codec));
        out.text(",\"time_base\":\"");
        out.integer(s.timeBaseNum);
        out.character('/');
        out.integer(s.timeBaseDen);
        out.text("\"}");
    }
    out.text(first ? "]" : "\n  ]");
}

void writeEnd(Output& out, const PacketReadOutcome& outcome)
{
    out.text(",\n  \"complete\": ");
    out.text(outcome.ok() ? "true" : "false");
    if (!outcome.ok()) {
        out.text(",\n  \"error\": ");
        out.text(jsonString(outcome.message));
    }
    out.text("\n}\n");
}

void writeIntervals(Output& out, const PacketsOptions& options,
                    const std::vector<BitrateInterval>& intervals)
{
    bool first = true;
    for (const BitrateInterval& i : intervals) {
        const double rate = std::round(i.bitrate());
        if (options.format == PacketsOptions::Format::Csv) {
            out.integer(i.stream);
            out.character(',');
            out.seconds(double(i.startUs) / 1e6);
            out.character(',');
            out.seconds(double(i.endUs) / 1e6);
            out.character(',');
            out.integer(i.bits);
            out.character(',');
            out.integer(int64_t(rate));
            out.lineEnd();
            continue;
        }
        if (options.format == PacketsOptions::Format::Json)
            out.text(first ? "\n    " : ",\n    ");
        first = false;
        out.text("{\"stream\":");
        out.integer(i.stream);
        out.text(",\"start_time\":");
        out.seconds(double(i.startUs) / 1e6);
        out.text(",\"end_time\":");
        out.seconds(double(i.endUs) / 1e6);
        out.text(",\"bits\":");
        out.integer(i.bits);
        out.text(",\"bitrate\":");
        out.integer(int64_t(rate));
        out.character('}');
        if (options.format == PacketsOptions::Format::JsonLines)
            out.lineEnd();
        else
            out.check();
    }
    if (options.format == PacketsOptions::Format::Json)
        out.text(first ? "]" : "\n  ]");
}

} // namespace

bool isPacketsRun(const QStringList& arguments)
{
    return arguments.contains(kPackets) || arguments.contains(kBitrate);
}

PacketsParse parsePacketsOptions(const QStringList& arguments)
{
    PacketsParse parse;
    PacketsOptions& o = parse.options;
    bool runGiven = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        const bool hasValue = i + 1 < arguments.size();
        if (a == kPackets || a == kBitrate) {
            if (runGiven) {
                parse.error = QStringLiteral("give one of --packets and --bitrate, once");
                return parse;
            }
            if (!hasValue) {
                parse.error = QStringLiteral("%1 needs a file").arg(a);
                return parse;
            }
            runGiven = true;
            o.run = a == kPackets ? PacketsOptions::Run::Packets : PacketsOptions::Run::Bitrate;
            o.path = arguments[++i];
        } else if (a == kInterval) {
            bool ok = false;
            const double seconds = hasValue ? arguments[i + 1].toDouble(&ok) : 0;
            const double us = seconds * 1e6;
            if (!ok || !(seconds >= 0.001) || seconds > 86400 ||
                std::fabs(us - std::round(us)) > 1e-6) {
                parse.error = QStringLiteral("--interval takes seconds from 0.001 to 86400, in "
                                             "whole microseconds, not \"%1\"")
                                  .arg(hasValue ? arguments[i + 1] : QString());
                return parse;
            }
            o.intervalUs = std::llround(us);
            ++i;
        } else if (a == kFormat) {
            const QString name = hasValue ? arguments[i + 1] : QString();
            if (name == QLatin1String("csv"))
                o.format = PacketsOptions::Format::Csv;
            else if (name == QLatin1String("json"))
                o.format = PacketsOptions::Format::Json;
            else if (name == QLatin1String("jsonl"))
                o.format = PacketsOptions::Format::JsonLines;
            else {
                parse.error = QStringLiteral("--format with --packets or --bitrate takes csv, "
                                             "json or jsonl, not \"%1\"")
                                  .arg(name);
                return parse;
            }
            ++i;
        } else {
            parse.error = QStringLiteral("\"%1\" does not go with --packets or --bitrate").arg(a);
            return parse;
        }
    }
    if (o.path.isEmpty())
        parse.error = QStringLiteral("--packets and --bitrate need a file");
    else if (o.run == PacketsOptions::Run::Packets && arguments.contains(kInterval))
        parse.error = QStringLiteral("--interval goes with --bitrate");
    return parse;
}

QString packetsUsageText()
{
    return QStringLiteral(
        "\n"
        "Packets and bitrate of one film or sound file (read with FFmpeg, nothing decoded):\n"
        "  --packets FILE   one line per packet, in the file's order:\n"
        "                   stream,pts_time,dts_time,duration_time,size,flags (flags K_ for\n"
        "                   key frames, N/A for a time the packet lacks), as ffprobe's\n"
        "                   -show_entries packet=... -of csv=p=0 writes them\n"
        "  --bitrate FILE   one line per stream and interval:\n"
        "                   stream,start_time,end_time,bits,bitrate; a packet counts in the\n"
        "                   interval of its presentation time (else its decoding time)\n"
        "  --interval S     length of the intervals in seconds (default 1), counted from 0\n"
        "  --format FMT     csv (default), json or jsonl (one JSON object per line)\n"
        "Exit status 1 when the file cannot be read, or reading stopped early at a damaged\n"
        "or missing part: the packets before it are written and the place is named on\n"
        "standard error.\n");
}

int runPackets(const QStringList& arguments, std::FILE* out, QTextStream& err)
{
    const PacketsParse parse = parsePacketsOptions(arguments);
    if (!parse.error.isEmpty()) {
        err << "perspix-cli: " << parse.error << "\n" << packetsUsageText();
        return kExitUsage;
    }
    const PacketsOptions& o = parse.options;
    const QString path = NativePath::absolute(o.path);
    Output output(out);
    PacketReadOutcome outcome;
    const bool json = o.format == PacketsOptions::Format::Json;
    if (json) {
        output.text("{\n  \"file\": ");
        output.text(jsonString(NativePath::shown(path)));
        output.text(",\n");
        if (o.run == PacketsOptions::Run::Bitrate) {
            output.text("  \"interval\": ");
            output.seconds(double(o.intervalUs) / 1e6);
            output.text(",\n");
        }
        output.text(o.run == PacketsOptions::Run::Packets ? "  \"packets\": ["
                                                          : "  \"intervals\": [");
    }
    if (o.run == PacketsOptions::Run::Packets) {
        PacketLines lines(output, o.format);
        outcome = PacketReader::read(path, lines);
        if (json) {
            output.text(lines.count() ? "\n  ],\n" : "],\n");
            writeStreams(output, lines.streams());
            writeEnd(output, outcome);
        }
    } else {
        BitrateSums sums(o.intervalUs);
        outcome = PacketReader::read(path, sums);
        const std::vector<BitrateInterval> intervals = sums.counter().intervals();
        writeIntervals(output, o, intervals);
        if (json) {
            output.text(",\n");
            writeStreams(output, sums.streams());
            writeEnd(output, outcome);
        }
    }
    output.flush();
    if (outcome.ok())
        return kExitOk;
    err << "perspix-cli: " << NativePath::shown(path) << ": " << outcome.message << "\n";
    return kExitFailedFiles;
}

} // namespace perspix::cli
