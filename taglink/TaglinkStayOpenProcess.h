// One ExifTool process kept running for the life of the object, answering one request
// after another over its standard streams, and watched by an orphanguard process that
// stops it if the program dies without closing it. A request has a time limit; an ExifTool
// that took too long is killed, and one that is gone is started anew for the next request.
// Used by the one thread that made it (the stop flag may be set by any thread).
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

#include "taglink/JSON/JsonValue.h"

namespace taglink {

class ChildProcess;
class MarkerScanner;

class TaglinkStayOpenProcess
{
public:
    // Starts ExifTool and its watchdog; nothing (and a log line) when either cannot start.
    static std::unique_ptr<TaglinkStayOpenProcess> init();
    // Closes ExifTool, stops the watchdog and reaps both.
    ~TaglinkStayOpenProcess();
    TaglinkStayOpenProcess(const TaglinkStayOpenProcess&) = delete;
    TaglinkStayOpenProcess& operator=(const TaglinkStayOpenProcess&) = delete;

    // The tag records of a file in ExifTool's order, each ExifTool's long-form record of
    // one tag with "key" set to the tag key; nothing when ExifTool gives no usable answer.
    std::optional<std::vector<JsonObject>> imageInfo(const std::string& path);
    // The file's tags as "Family0:Family1:Tag" and their printed value, in ExifTool's
    // order: the short form, without descriptions, numbers and tag ids, which ExifTool gives
    // about a fifth faster.
    std::optional<std::vector<std::pair<std::string, JsonValue>>> plainTags(const std::string& path);
    // ExifTool's JSON answer with embedded data, unparsed.
    std::optional<std::string> binaryUnparsedInfo(const std::string& path);

    // One request (argument lines, each ending with a line feed) and its answer.
    bool command(const std::string& text);
    std::optional<std::string> complete();

    // How a request without a usable answer ended.
    enum class Failure {
        None,      // the last request was answered (or ExifTool said it could not)
        TimedOut,  // no answer within the time limit: ExifTool was killed
        Died,      // ExifTool ended during the request
        Cancelled, // the stop flag was set: ExifTool was killed
        GaveUp,    // ExifTool kept dying as soon as it started: no more restarts
    };
    Failure lastFailure() const { return m_lastFailure; }

    // A process that starts nothing: each request (the file's path and the request's option
    // lines) goes to the relay, which has it answered by a real process elsewhere, for a
    // program that may not start processes of its own.
    using Relay = std::function<std::optional<std::string>(
        const std::string& path, const std::string& options, Failure& failure)>;
    static std::unique_ptr<TaglinkStayOpenProcess> relayTo(Relay relay);
    // Answers a request that a relay passed on, as the relayed object would have.
    std::optional<std::string> answerRelayed(const std::string& path, const std::string& options);

    static constexpr std::chrono::seconds kDefaultTimeout{60};
    // The longest a request may wait for its answer; zero or less waits without a limit.
    void setTimeout(std::chrono::milliseconds timeout) { m_timeout = timeout; }
    std::chrono::milliseconds timeout() const { return m_timeout; }
    // A flag that, once set (from any thread), ends a running request at once and kills
    // ExifTool. It must outlive this object, or be unset first with nullptr.
    void setStopFlag(const std::atomic<bool>* flag) { m_stopFlag = flag; }
    // How many times in a row ExifTool may be started anew after dying on its own without
    // answering a request in between.
    static constexpr int kMaxRestarts = 3;

    pid_t processId() const { return m_processId; }
    pid_t watchdogProcessId() const;
    bool isRunning();

    // The argument line for a path: the path as it is, or, when it holds a line break, a
    // C-string line. Nothing for a path that cannot be one argument line.
    static std::optional<std::string> pathArgumentLine(const std::string& path);

    // Only init() makes one.
    struct StartToken
    {
        explicit StartToken() = default;
    };
    explicit TaglinkStayOpenProcess(StartToken);

private:
    // Starts ExifTool and its watchdog into this object; false (and a log line) when either
    // cannot start.
    bool start();
    // Kills ExifTool and its watchdog at once and forgets the streams.
    void kill();
    // Starts a new ExifTool when the old one is gone; false when none can be had.
    bool ensureRunning();
    bool stopRequested() const { return m_stopFlag && m_stopFlag->load(); }
    // Asks ExifTool to close, waits a little while for it, then stops it and the watchdog.
    void shutDown();
    // Ends a request whose time is up or that was stopped: kills ExifTool, says why.
    void abandonRequest(Failure why);
    std::chrono::steady_clock::time_point requestDeadline() const;
    void closeProcess();
    // Reads and drops the rest of an answer that was abandoned, up to its markers.
    void drainAbandonedAnswer();
    std::optional<std::string> request(const std::string& path, const char* options);

    Relay m_relay;
    std::unique_ptr<ChildProcess> m_task;
    std::unique_ptr<ChildProcess> m_watchdog;
    int m_infile = -1;
    int m_outfile = -1;
    int m_errfile = -1;
    pid_t m_processId = 0;
    // Markers still owed by an abandoned answer.
    std::unique_ptr<MarkerScanner> m_owedOut;
    std::unique_ptr<MarkerScanner> m_owedErr;
    std::chrono::milliseconds m_timeout = kDefaultTimeout;
    const std::atomic<bool>* m_stopFlag = nullptr;
    Failure m_lastFailure = Failure::None;
    // The path of the request under way, for the log lines.
    std::string m_requestPath;
    // True once ExifTool was killed on purpose, so that its end is no death to count.
    bool m_killed = false;
    int m_restartsWithoutAnswer = 0;
    bool m_gaveUp = false;
};

} // namespace taglink
