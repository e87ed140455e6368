// perspix-analyser: the helper that reads files for Perspix, one at a time, in a process of
// its own under a seccomp filter. Requests come on standard input and answers go out on
// standard output (batch/AnalyserChannel.h); a fault of a reader ends only this process.
// Not for running by hand, except with --check-sandbox.
#include <QCborArray>
#include <QCborValue>
#include <QCoreApplication>
#include <QImage>
#include <QTextStream>
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>
#include <unistd.h>

#include "analyser/Sandbox.h"
#include "batch/AnalyserChannel.h"
#include "batch/CoreSetup.h"
#include "batch/ResultCoding.h"
#include "model/HelperKeys.h"
#include "model/Keys.h"
#include "model/Log.h"
#include "model/PerspixData.h"
#include "readers/mediainfo/oMediaInfo.h"
#include "taglink/TaglinkStayOpenProcess.h"

using namespace perspix;
using namespace perspix::analyser;

namespace {

const QString kExiftoolRelayOption = QStringLiteral("analyserExiftoolRelay");
const QString kTextPathOption = QStringLiteral("analyserTextPath");
constexpr int kOutOfMemoryExit = 3;

// An allocation refused under the memory limit ends the helper with a message that says
// so; nothing is allocated on the way out.
void outOfMemory()
{
    static const char message[kHeaderSize] = {static_cast<char>(Kind::OutOfMemory), 0, 0, 0, 0};
    [[maybe_unused]] const ssize_t n = ::write(STDOUT_FILENO, message, sizeof message);
    ::_exit(kOutOfMemoryExit);
}

// ExifTool requests go to the program that owns ExifTool, over the same channel.
std::optional<std::string> relayToProgram(const std::string& path, const std::string& options,
                                          taglink::TaglinkStayOpenProcess::Failure& failure)
{
    failure = taglink::TaglinkStayOpenProcess::Failure::Died;
    if (!writeMessage(
            STDOUT_FILENO, Kind::ExiftoolRequest,
            encodePair(QByteArray::fromStdString(path), QByteArray::fromStdString(options))))
        ::_exit(0);
    const std::optional<Message> reply = readMessage(STDIN_FILENO);
    if (!reply)
        ::_exit(0); // the program has gone
    const QCborArray answer = QCborValue::fromCbor(reply->payload).toArray();
    if (reply->kind != Kind::ExiftoolAnswer || answer.size() != 3)
        return std::nullopt;
    failure = static_cast<taglink::TaglinkStayOpenProcess::Failure>(answer.at(2).toInteger());
    if (!answer.at(0).toBool())
        return std::nullopt;
    return answer.at(1).toByteArray().toStdString();
}

void sendLines(const QStringList& lines)
{
    for (const QString& line : lines)
        writeMessage(STDOUT_FILENO, Kind::Log, line.toUtf8());
}

void analyse(const QByteArray& payload, taglink::TaglinkStayOpenProcess* exiftool)
{
    QString path;
    QVariantMap options;
    if (!decodeAnalyse(payload, &path, &options)) {
        writeMessage(STDOUT_FILENO, Kind::NoResult, {});
        return;
    }
    const bool relay = options.take(kExiftoolRelayOption).toBool();
    // Made by the program for a name that is no text, since this process may make no link.
    oMediaInfo::setPreparedTextPath(path, options.take(kTextPathOption).toString());
    PerspixDataPtr data;
    std::optional<ResultCoding::Coded> coded;
    QStringList lines;
    {
        LogCapture log;
        try {
            data = PerspixData::dataAboutFile(path, options, relay ? exiftool : nullptr);
        } catch (const std::exception& e) {
            logLine(QStringLiteral("Analysis of %1 failed: %2")
                        .arg(path, QString::fromLocal8Bit(e.what())));
            data.reset();
        }
        if (data && options.value(keys::kOptSummaryOnly).toBool() && data->dict()) {
            ResultRecord general;
            general.general = data->dict()->general;
            general.general.values.remove(keys::kCoverData);
            general.general.values.remove(keys::kFrameThumbnail);
            data = std::make_shared<PerspixData>(data->filename, std::move(general));
        }
        if (data) {
            coded = ResultCoding::encode(*data);
            if (!coded)
                logLine(QStringLiteral("The result of %1 cannot be passed on").arg(path));
        }
        lines = log.lines();
    }
    sendLines(lines);
    if (coded)
        writeMessage(STDOUT_FILENO, Kind::Result, encodePair(coded->value, coded->cover));
    else
        writeMessage(STDOUT_FILENO, Kind::NoResult, {});
}

void makeCover(const QByteArray& payload)
{
    QByteArray path;
    QByteArray what;
    QByteArray answer;
    QStringList lines;
    if (decodePair(payload, &path, &what)) {
        LogCapture log;
        const QImage image =
            PerspixData::makeDeferredCover(decodePath(path), QString::fromUtf8(what));
        if (!image.isNull()) {
            if (const std::optional<QCborValue> value =
                    ResultCoding::encodeVariant(QVariant::fromValue(image)))
                answer = value->toCbor();
        }
        lines = log.lines();
    }
    sendLines(lines);
    writeMessage(STDOUT_FILENO, Kind::Cover, answer);
}

} // namespace

int main(int argc, char** argv)
{
    std::set_new_handler(outOfMemory);
    if (argc == 2 && std::strcmp(argv[1], "--check-sandbox") == 0) {
        QTextStream out(stdout);
        return checkSandbox(out);
    }
    if (argc != 1 || ::isatty(STDIN_FILENO)) {
        std::fputs("perspix-analyser reads files for Perspix and is started by it; by hand it "
                   "takes only --check-sandbox\n",
                   stderr);
        return 2;
    }
    // Qt's image plugins are found through the application object.
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Perspix"));
    setupCore();
    const auto exiftool = taglink::TaglinkStayOpenProcess::relayTo(relayToProgram);

    QString reason;
    if (!enterSandbox(&reason)) {
        std::fprintf(stderr, "perspix-analyser: runs without a sandbox (%s)\n",
                     reason.toLocal8Bit().constData());
    }
    while (const std::optional<Message> request = readMessage(STDIN_FILENO)) {
        switch (request->kind) {
        case Kind::Analyse:
            analyse(request->payload, exiftool.get());
            break;
        case Kind::MakeCover:
            makeCover(request->payload);
            break;
        default:
            return 1;
        }
    }
    return 0;
}
