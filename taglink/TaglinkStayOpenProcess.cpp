// The ExifTool stay-open process: start, requests, answers, and shutdown.
#include "taglink/TaglinkStayOpenProcess.h"

#include <functional>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include "taglink/AnswerFrame.h"
#include "taglink/AuxiliaryPrograms.h"
#include "taglink/ChildProcess.h"
#include "taglink/JSON/Json5ParserHandler.h"
#include "taglink/JSON/JsonStreamParser.h"
#include "taglink/TaglinkLog.h"

namespace taglink {

namespace {
constexpr const char* kRequestTrailer = "-echo4\n{ready}\n-execute\n";
constexpr const char* kTagListOptions = "-json\n-l\n-G:0:1:2:4\n-D\n-a\n";
constexpr const char* kPlainTagOptions = "-json\n-G0:1\n-a\n";
constexpr const char* kEmbeddedDataOptions = "-json\n-G:0:1:2:4\n-b\n-a\n";
constexpr const char* kClosingRequest = "-stay_open\nfalse\n";
// The waiting loop looks at the buffers and at the child at least this often.
constexpr int kPollMilliseconds = 1;
// How long ExifTool may take to exit after the closing request before it is stopped.
constexpr std::chrono::milliseconds kExitGrace{3000};

void closeFd(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}
} // namespace

TaglinkStayOpenProcess::TaglinkStayOpenProcess(StartToken) {}

std::unique_ptr<TaglinkStayOpenProcess> TaglinkStayOpenProcess::init()
{
    auto process = std::make_unique<TaglinkStayOpenProcess>(StartToken{});
    if (!process->start())
        return nullptr;
    return process;
}

std::unique_ptr<TaglinkStayOpenProcess> TaglinkStayOpenProcess::relayTo(Relay relay)
{
    auto process = std::make_unique<TaglinkStayOpenProcess>(StartToken{});
    process->m_relay = std::move(relay);
    return process;
}

std::optional<std::string> TaglinkStayOpenProcess::answerRelayed(const std::string& path,
                                                                 const std::string& options)
{
    return request(path, options.c_str());
}

bool TaglinkStayOpenProcess::start()
{
    Pipe in;
    Pipe out;
    Pipe err;
    if (!in.open() || !out.open() || !err.open()) {
        log(std::string("Taglink exception while init(): ") + std::strerror(errno));
        return false;
    }
    std::string error;
    ChildProcess::Stdio stdio;
    stdio.in = in.read.get();
    stdio.out = out.write.get();
    stdio.err = err.write.get();
    auto task = ChildProcess::spawn(auxiliaryProgram("exiftool/exiftool"),
                                    {"-stay_open", "true", "-@", "-"}, stdio, error);
    if (!task) {
        log("Taglink exception while init(): " + error);
        return false;
    }
    m_processId = task->pid();
    m_task = std::make_unique<ChildProcess>(std::move(*task));
    m_infile = in.write.release();
    m_outfile = out.read.release();
    m_errfile = err.read.release();
    setNonBlocking(m_outfile);
    setNonBlocking(m_errfile);
    // The child's ends close here (the pipes go out of scope); ExifTool holds its own.

    // The watchdog's parent is this program, which is what it watches. It is also told
    // which process that is, so that it acts even when this program dies before the
    // watchdog has looked at its parent.
    ChildProcess::Stdio watchdogStdio;
    watchdogStdio.environment.push_back("ORPHANGUARD_PARENT=" + std::to_string(::getpid()));
    auto watchdog = ChildProcess::spawn(auxiliaryProgram("orphanguard"),
                                        {std::to_string(m_processId)}, watchdogStdio, error);
    if (!watchdog) {
        log("Taglink exception while init(): " + error);
        shutDown(); // the ExifTool that did start
        return false;
    }
    m_watchdog = std::make_unique<ChildProcess>(std::move(*watchdog));
    return true;
}

TaglinkStayOpenProcess::~TaglinkStayOpenProcess()
{
    shutDown();
}

void TaglinkStayOpenProcess::shutDown()
{
    if (m_task) {
        if (m_task->isRunning())
            closeProcess();
        // End of input as well: ExifTool reads no further request.
        closeFd(m_infile);
        // Keep reading while it exits, so that it never blocks on a full pipe.
        const auto deadline = std::chrono::steady_clock::now() + kExitGrace;
        while (m_task->isRunning() && std::chrono::steady_clock::now() < deadline) {
            pollfd fds[2] = {{m_outfile, POLLIN, 0}, {m_errfile, POLLIN, 0}};
            if (::poll(fds, 2, kPollMilliseconds) > 0) {
                std::string discard;
                for (pollfd& p : fds) {
                    if (p.fd >= 0 && p.revents && !readAvailable(p.fd, discard)) {
                        // The stream is at its end; stop watching it.
                        if (p.fd == m_outfile)
                            closeFd(m_outfile);
                        else
                            closeFd(m_errfile);
                    }
                    discard.clear();
                }
            }
        }
        m_task->stop(std::chrono::milliseconds(500));
    }
    closeFd(m_infile);
    closeFd(m_outfile);
    closeFd(m_errfile);
    if (m_watchdog)
        m_watchdog->stop(std::chrono::milliseconds(500));
}

void TaglinkStayOpenProcess::kill()
{
    if (m_task && m_task->isRunning()) {
        m_killed = true;
        m_task->signal(SIGKILL);
        m_task->wait();
    }
    closeFd(m_infile);
    closeFd(m_outfile);
    closeFd(m_errfile);
    m_owedOut.reset();
    m_owedErr.reset();
    if (m_watchdog)
        m_watchdog->stop(std::chrono::milliseconds(500));
}

bool TaglinkStayOpenProcess::ensureRunning()
{
    if (isRunning())
        return true;
    if (m_gaveUp) {
        m_lastFailure = Failure::GaveUp;
        return false;
    }
    // An ExifTool killed on purpose is simply replaced; one that keeps ending on its own
    // before it has answered anything is given up, so that a worker never spins on it.
    if (!m_killed && ++m_restartsWithoutAnswer > kMaxRestarts) {
        m_gaveUp = true;
        m_lastFailure = Failure::GaveUp;
        log("Taglink: exiftool ended " + std::to_string(kMaxRestarts + 1) +
            " times in a row without answering; it is not started again");
        kill();
        return false;
    }
    kill();
    m_task.reset();
    m_watchdog.reset();
    m_killed = false;
    if (!start()) {
        m_lastFailure = Failure::Died;
        return false;
    }
    log("Taglink: exiftool started anew as task " + std::to_string(m_processId));
    return true;
}

pid_t TaglinkStayOpenProcess::watchdogProcessId() const
{
    return m_watchdog ? m_watchdog->pid() : 0;
}

bool TaglinkStayOpenProcess::isRunning()
{
    return m_task && m_task->isRunning();
}

void TaglinkStayOpenProcess::closeProcess()
{
    const std::string text = std::string(kClosingRequest) + kRequestTrailer;
    if (m_infile < 0 || !writeAll(m_infile, text.data(), text.size()))
        log(std::string("Taglink exception while command(): ") + std::strerror(errno));
}

bool TaglinkStayOpenProcess::command(const std::string& text)
{
    drainAbandonedAnswer();
    const std::string request = text + kRequestTrailer;
    if (m_infile < 0) {
        log("Taglink exception while command(): no input pipe");
        return false;
    }
    if (!writeAll(m_infile, request.data(), request.size())) {
        log(std::string("Taglink exception while command(): ") + std::strerror(errno));
        return false;
    }
    return true;
}

std::chrono::steady_clock::time_point TaglinkStayOpenProcess::requestDeadline() const
{
    if (m_timeout.count() <= 0)
        return std::chrono::steady_clock::time_point::max();
    return std::chrono::steady_clock::now() + m_timeout;
}

void TaglinkStayOpenProcess::abandonRequest(Failure why)
{
    m_lastFailure = why;
    const std::string file = m_requestPath.empty() ? std::string("a request") : m_requestPath;
    if (why == Failure::TimedOut) {
        const auto ms = m_timeout.count();
        const std::string limit =
            ms % 1000 == 0 ? std::to_string(ms / 1000) + " s" : std::to_string(ms) + " ms";
        log("Taglink: exiftool gave no answer for " + file + " within the time limit of " + limit +
            "; task " + std::to_string(m_processId) + " was stopped");
    }
    kill();
}

void TaglinkStayOpenProcess::drainAbandonedAnswer()
{
    const auto deadline = requestDeadline();
    while (m_owedOut || m_owedErr) {
        if (stopRequested() || std::chrono::steady_clock::now() >= deadline) {
            kill();
            return;
        }
        pollfd fds[2];
        nfds_t count = 0;
        if (m_owedOut)
            fds[count++] = {m_outfile, POLLIN, 0};
        if (m_owedErr)
            fds[count++] = {m_errfile, POLLIN, 0};
        const int ready = ::poll(fds, count, kPollMilliseconds);
        for (nfds_t i = 0; ready > 0 && i < count; ++i) {
            if (!fds[i].revents)
                continue;
            std::string bytes;
            const bool open = readAvailable(fds[i].fd, bytes);
            std::unique_ptr<MarkerScanner>& owed = fds[i].fd == m_outfile ? m_owedOut : m_owedErr;
            if (owed->add(bytes) || !open)
                owed.reset();
        }
        if (ready == 0 && !isRunning()) {
            m_owedOut.reset();
            m_owedErr.reset();
        }
    }
}

std::optional<std::string> TaglinkStayOpenProcess::complete()
{
    AnswerFrame frame;
    const auto deadline = requestDeadline();
    bool outOpen = m_outfile >= 0;
    bool errOpen = m_errfile >= 0;
    const auto oweRest = [this, &frame] {
        if (!frame.outputMarkerSeen()) {
            m_owedOut = std::make_unique<MarkerScanner>();
            m_owedOut->add(frame.output());
        }
        if (!frame.errorMarkerSeen()) {
            m_owedErr = std::make_unique<MarkerScanner>();
            m_owedErr->add(frame.errorText());
        }
    };
    const auto failed = [&] {
        log("we have unknown error data of length " + std::to_string(frame.errorText().size()) +
            ": " + frame.errorText());
        oweRest();
        return std::nullopt;
    };
    for (;;) {
        if (stopRequested()) {
            abandonRequest(Failure::Cancelled);
            return std::nullopt;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            abandonRequest(Failure::TimedOut);
            return std::nullopt;
        }
        pollfd fds[2];
        nfds_t count = 0;
        int outIndex = -1;
        int errIndex = -1;
        if (outOpen) {
            outIndex = static_cast<int>(count);
            fds[count++] = {m_outfile, POLLIN, 0};
        }
        if (errOpen && !frame.errorSettled()) {
            errIndex = static_cast<int>(count);
            fds[count++] = {m_errfile, POLLIN, 0};
        }
        const int ready = ::poll(fds, count, kPollMilliseconds);
        if (ready > 0) {
            std::string bytes;
            if (errIndex >= 0 && fds[errIndex].revents) {
                errOpen = readAvailable(m_errfile, bytes);
                frame.addError(bytes);
                bytes.clear();
            }
            if (outIndex >= 0 && fds[outIndex].revents) {
                outOpen = readAvailable(m_outfile, bytes);
                frame.addOutput(bytes);
            }
        }
        switch (frame.status()) {
        case AnswerFrame::Status::Failed:
            return failed();
        case AnswerFrame::Status::Complete: {
            // ExifTool writes standard error's marker before standard output's, so it is
            // normally here already; if not, it is drained before the next request.
            if (errOpen && !frame.errorSettled()) {
                std::string bytes;
                readAvailable(m_errfile, bytes);
                frame.addError(bytes);
                if (frame.status() == AnswerFrame::Status::Failed)
                    return failed();
            }
            oweRest();
            return frame.output();
        }
        case AnswerFrame::Status::Waiting:
            break;
        }
        const bool nothingToWatch = !outOpen && (!errOpen || frame.errorSettled());
        if ((ready <= 0 || nothingToWatch) && !isRunning()) {
            std::string bytes;
            if (outOpen)
                readAvailable(m_outfile, bytes);
            frame.addOutput(bytes);
            log("task " + std::to_string(m_processId) + " is dead");
            m_lastFailure = Failure::Died;
            return frame.output();
        }
    }
}

std::optional<std::string> TaglinkStayOpenProcess::pathArgumentLine(const std::string& path)
{
    // ExifTool drops leading blanks of an argument line and reads a line starting with "#"
    // as a comment; a relative path gets "./" so that neither can start it (nor "-").
    const std::string argument = !path.empty() && path[0] == '/' ? path : "./" + path;
    if (argument.find_first_of("\r\n") == std::string::npos)
        return argument + "\n";
    // A line break would split the path into several arguments, so such a path goes as
    // a C string. ExifTool's C-string reading turns "$" and "@" into "\$" and "\@",
    // which would name another file: such a path cannot be passed at all.
    if (argument.find_first_of("$@") != std::string::npos)
        return std::nullopt;
    std::string line = "#[CSTR]";
    for (const char c : argument) {
        switch (c) {
        case '\\':
            line += "\\\\";
            break;
        case '\n':
            line += "\\n";
            break;
        case '\r':
            line += "\\r";
            break;
        default:
            line += c;
        }
    }
    line += '\n';
    return line;
}

std::optional<std::string> TaglinkStayOpenProcess::request(const std::string& path,
                                                           const char* options)
{
    m_lastFailure = Failure::None;
    m_requestPath = path;
    if (m_relay) {
        auto answer = m_relay(path, options, m_lastFailure);
        if (!answer || answer->empty() || m_lastFailure != Failure::None)
            return std::nullopt;
        return answer;
    }
    if (!ensureRunning())
        return std::nullopt;
    // A pipe or a device could keep ExifTool reading for ever.
    struct stat st;
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        log("Taglink: not a regular file: " + path);
        return std::nullopt;
    }
    const auto line = pathArgumentLine(path);
    if (!line) {
        log("Taglink: the path cannot be passed to exiftool: " + path);
        return std::nullopt;
    }
    if (!command(*line + options)) {
        if (!isRunning())
            m_lastFailure = Failure::Died;
        return std::nullopt;
    }
    auto answer = complete();
    if (m_lastFailure == Failure::None)
        m_restartsWithoutAnswer = 0; // this ExifTool works
    if (!answer || answer->empty() || m_lastFailure != Failure::None)
        return std::nullopt;
    return answer;
}

namespace {

// Each tag of ExifTool's JSON answer for one file, in ExifTool's order, SourceFile aside;
// false when the answer is no such list.
bool forEachTag(const std::string& answer,
                const std::function<void(const JsonString&, const JsonValue&)>& tag)
{
    Json5ParserHandler handler;
    JsonStreamParser parser(&handler);
    if (parser.parse(answer) != JsonParserStatus::Complete)
        return false;
    auto& data = handler.data();
    if (!data || !data->isArray() || data->asArray().empty() || !data->asArray()[0].isObject())
        return false;
    const JsonObject& file = data->asArray()[0].asObject();
    for (const JsonString& key : handler.keysOrder()) {
        if (key == "SourceFile")
            continue;
        if (const JsonValue* value = file.find(key))
            tag(key, *value);
    }
    return true;
}

} // namespace

std::optional<std::vector<JsonObject>> TaglinkStayOpenProcess::imageInfo(const std::string& path)
{
    const auto answer = request(path, kTagListOptions);
    if (!answer)
        return std::nullopt;
    std::vector<JsonObject> result;
    const bool read = forEachTag(*answer, [&result](const JsonString& key, const JsonValue& tag) {
        if (!tag.isObject())
            return;
        JsonObject record = tag.asObject();
        record.set("key", JsonValue(std::string_view(key)));
        result.push_back(std::move(record));
    });
    if (!read)
        return std::nullopt;
    return result;
}

std::optional<std::vector<std::pair<std::string, JsonValue>>>
TaglinkStayOpenProcess::plainTags(const std::string& path)
{
    const auto answer = request(path, kPlainTagOptions);
    if (!answer)
        return std::nullopt;
    std::vector<std::pair<std::string, JsonValue>> result;
    if (!forEachTag(*answer, [&result](const JsonString& key, const JsonValue& tag) {
            result.emplace_back(std::string(key), tag);
        }))
        return std::nullopt;
    return result;
}

std::optional<std::string> TaglinkStayOpenProcess::binaryUnparsedInfo(const std::string& path)
{
    return request(path, kEmbeddedDataOptions);
}

} // namespace taglink
