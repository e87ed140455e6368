// Packets through libavformat (see PacketReader.h). The demuxing follows ffprobe's: the same
// opening options and stream probing, so that packets, times and flags are the same.
#include "readers/packets/PacketReader.h"

#include <QScopeGuard>
#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <memory>
#include <mutex>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
}

#include "model/NativePath.h"
#include "readers/LoadedLibrary.h"

// libavformat brings the codec libraries and their own dependencies, over a hundred
// libraries: it is opened at the first file whose packets are asked for, and binds only the
// few functions that demuxing calls (binding them all costs a fifth of a quick run).
namespace {

perspix::LoadedLibrary& library()
{
    static perspix::LoadedLibrary avformat(LIBAVFORMAT_SONAME, true);
    return avformat;
}

// The FFmpeg functions used here, with the headers' own signatures. The ones of libavcodec
// and libavutil are found through libavformat, which depends on both.
struct Av
{
#define PERSPIX_AV(name) decltype(&::name) name = nullptr
    PERSPIX_AV(avformat_alloc_context);
    PERSPIX_AV(avformat_open_input);
    PERSPIX_AV(avformat_find_stream_info);
    PERSPIX_AV(avformat_close_input);
    PERSPIX_AV(av_read_frame);
    PERSPIX_AV(avio_seek);
    PERSPIX_AV(avio_size);
    PERSPIX_AV(av_packet_alloc);
    PERSPIX_AV(av_packet_free);
    PERSPIX_AV(av_packet_unref);
    PERSPIX_AV(avcodec_get_name);
    PERSPIX_AV(av_dict_set);
    PERSPIX_AV(av_dict_free);
    PERSPIX_AV(av_strerror);
    PERSPIX_AV(av_log_set_callback);
    PERSPIX_AV(av_log_format_line2);
#undef PERSPIX_AV
    bool loaded = false;
};

const Av& av();

// FFmpeg's messages are global; each reading thread keeps the last error that its own
// demuxer reports (the parsers' complaints about a frame's contents are left aside). It
// names the fault better than the error code does, and a demuxer that meets a cut or damaged
// part often reports it and then ends as if at the file's end.
struct DemuxerErrors
{
    const void* context = nullptr;
    QString last;
};
thread_local DemuxerErrors* t_errors = nullptr;

void logCallback(void* object, int level, const char* format, va_list arguments)
{
    if (level > AV_LOG_ERROR || !t_errors || !object || object != t_errors->context)
        return;
    char line[512];
    int prefix = 0;
    va_list copy;
    va_copy(copy, arguments);
    av().av_log_format_line2(nullptr, level, format, copy, line, sizeof line, &prefix);
    va_end(copy);
    const QString text = QString::fromUtf8(line).trimmed();
    if (!text.isEmpty())
        t_errors->last = text;
}

const Av& av()
{
    static const Av functions = [] {
        Av f;
        auto& lib = library();
        bool all = true;
        auto get = [&](auto& pointer, const char* name) {
            pointer =
                reinterpret_cast<std::remove_reference_t<decltype(pointer)>>(lib.symbol(name));
            all = all && pointer;
        };
#define PERSPIX_AV(name) get(f.name, #name)
        PERSPIX_AV(avformat_alloc_context);
        PERSPIX_AV(avformat_open_input);
        PERSPIX_AV(avformat_find_stream_info);
        PERSPIX_AV(avformat_close_input);
        PERSPIX_AV(av_read_frame);
        PERSPIX_AV(avio_seek);
        PERSPIX_AV(avio_size);
        PERSPIX_AV(av_packet_alloc);
        PERSPIX_AV(av_packet_free);
        PERSPIX_AV(av_packet_unref);
        PERSPIX_AV(avcodec_get_name);
        PERSPIX_AV(av_dict_set);
        PERSPIX_AV(av_dict_free);
        PERSPIX_AV(av_strerror);
        PERSPIX_AV(av_log_set_callback);
        PERSPIX_AV(av_log_format_line2);
#undef PERSPIX_AV
        f.loaded = all;
        if (all)
            f.av_log_set_callback(&logCallback);
        return f;
    }();
    return functions;
}

QString errorText(int code)
{
    char text[256] = {};
    if (av().av_strerror(code, text, sizeof text) < 0)
        std::snprintf(text, sizeof text, "error %d", code);
    return QString::fromUtf8(text);
}

perspix::PacketStream::Kind kindOf(AVMediaType type)
{
    using Kind = perspix::PacketStream::Kind;
    switch (type) {
    case AVMEDIA_TYPE_VIDEO:
        return Kind::Video;
    case AVMEDIA_TYPE_AUDIO:
        return Kind::Audio;
    case AVMEDIA_TYPE_SUBTITLE:
        return Kind::Subtitle;
    case AVMEDIA_TYPE_DATA:
    case AVMEDIA_TYPE_ATTACHMENT:
        return Kind::Data;
    default:
        return Kind::Other;
    }
}

struct ContextCloser
{
    void operator()(AVFormatContext* context) const { av().avformat_close_input(&context); }
};
struct PacketFreer
{
    void operator()(AVPacket* packet) const { av().av_packet_free(&packet); }
};

} // namespace

namespace perspix {

PacketReadOutcome PacketReader::read(const QString& path, PacketSink& sink)
{
    using End = PacketReadOutcome::End;
    PacketReadOutcome outcome;
    if (!NativePath::isRegularFile(path)) {
        outcome.message = NativePath::exists(path) ? QStringLiteral("not a regular file")
                                                   : QStringLiteral("no such file");
        return outcome;
    }
    const Av& f = av();
    if (!f.loaded) {
        outcome.message = QStringLiteral("FFmpeg's libavformat cannot be loaded");
        return outcome;
    }
    DemuxerErrors errors;
    t_errors = &errors;
    const auto unhook = qScopeGuard([] { t_errors = nullptr; });

    AVFormatContext* opened = f.avformat_alloc_context();
    if (!opened) {
        outcome.message = QStringLiteral("out of memory");
        return outcome;
    }
    errors.context = opened;
    // Other users of FFmpeg in the program may have put their own handler in place.
    f.av_log_set_callback(&logCallback);
    AVDictionary* options = nullptr;
    f.av_dict_set(&options, "scan_all_pmts", "1", AV_DICT_DONT_OVERWRITE);
    // A playlist or reference file names other files and addresses: only files are opened.
    f.av_dict_set(&options, "protocol_whitelist", "file", 0);
    // The "file:" prefix keeps a name such as "a:b.mp4" from being read as an address.
    const QByteArray url = "file:" + NativePath::encoded(path);
    int status = f.avformat_open_input(&opened, url.constData(), nullptr, &options);
    f.av_dict_free(&options);
    if (status < 0) {
        outcome.message = errors.last.isEmpty() ? errorText(status) : errors.last;
        return outcome;
    }
    const std::unique_ptr<AVFormatContext, ContextCloser> context(opened);
    status = f.avformat_find_stream_info(context.get(), nullptr);
    if (status < 0) {
        outcome.message = errors.last.isEmpty() ? errorText(status) : errors.last;
        return outcome;
    }

    unsigned announced = 0;
    auto announce = [&] {
        for (; announced < context->nb_streams; ++announced) {
            const AVStream* st = context->streams[announced];
            PacketStream stream;
            stream.index = int(announced);
            stream.kind = kindOf(st->codecpar->codec_type);
            stream.codec = QString::fromUtf8(f.avcodec_get_name(st->codecpar->codec_id));
            stream.timeBaseNum = st->time_base.num;
            stream.timeBaseDen = st->time_base.den > 0 ? st->time_base.den : 1;
            sink.streamFound(stream);
        }
    };
    announce();

    AVIOContext* io = context->pb;
    const qint64 total = io ? f.avio_size(io) : -1;
    const std::unique_ptr<AVPacket, PacketFreer> packet(f.av_packet_alloc());
    if (!packet) {
        outcome.message = QStringLiteral("out of memory");
        return outcome;
    }
    qint64 lastEnd = 0; // the byte after the last packet read
    PacketRecord last;
    uint64_t count = 0;
    for (;;) {
        status = f.av_read_frame(context.get(), packet.get());
        if (status < 0)
            break;
        if (packet->stream_index < 0 || unsigned(packet->stream_index) >= context->nb_streams ||
            packet->stream_index > 0xffff) {
            f.av_packet_unref(packet.get());
            continue;
        }
        if (unsigned(packet->stream_index) >= announced)
            announce();
        PacketRecord record;
        record.pts = packet->pts == AV_NOPTS_VALUE ? PacketRecord::kNoTime : packet->pts;
        record.dts = packet->dts == AV_NOPTS_VALUE ? PacketRecord::kNoTime : packet->dts;
        record.duration = packet->duration;
        record.size = packet->size;
        record.stream = uint16_t(packet->stream_index);
        record.flags =
            uint16_t(((packet->flags & AV_PKT_FLAG_KEY) ? PacketRecord::kKey : 0) |
                     ((packet->flags & AV_PKT_FLAG_DISCARD) ? PacketRecord::kDiscard : 0));
        if (packet->pos >= 0)
            lastEnd = std::max<qint64>(lastEnd, packet->pos + packet->size);
        last = record;
        f.av_packet_unref(packet.get());
        sink.packetRead(record);
        if ((++count & 63) == 0 && io) {
            if (!sink.progress(f.avio_seek(io, 0, SEEK_CUR), total)) {
                outcome.end = End::Cancelled;
                return outcome;
            }
        }
    }
    if (status == AVERROR_EOF && errors.last.isEmpty()) {
        outcome.end = End::Complete;
        if (io)
            sink.progress(total, total);
        return outcome;
    }
    // Damaged or cut short: name the fault and the last place that could be read.
    outcome.end = End::Damaged;
    const QString fault = errors.last.isEmpty() ? errorText(status) : errors.last;
    QString place = QStringLiteral("reading stopped after %1 packets, at byte %2")
                        .arg(count)
                        .arg(io ? std::max<qint64>(lastEnd, 0) : 0);
    if (total > 0)
        place += QStringLiteral(" of %1").arg(total);
    if (count > 0 && last.time() != PacketRecord::kNoTime) {
        for (unsigned i = 0; i < context->nb_streams; ++i)
            if (int(i) == last.stream) {
                const AVStream* st = context->streams[i];
                place += QStringLiteral(" (%1 s)").arg(
                    QString::asprintf("%f", double(last.time()) * av_q2d(st->time_base)));
            }
    }
    outcome.message = place + QStringLiteral(": ") + fault;
    return outcome;
}

PacketFile PacketReader::readFile(const QString& path)
{
    PacketFile file;
    file.path = path;
    PacketCollector collector(file);
    file.outcome = read(path, collector);
    return file;
}

} // namespace perspix
