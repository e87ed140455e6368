// One ExifTool process kept running for the life of the object, answering one request
// after another over its standard streams, and watched by an orphanguard process that
// stops it if the program dies without closing it. Used by the one thread that made it.
#pragma once

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
    // ExifTool's JSON answer with embedded data, unparsed.
    std::optional<std::string> binaryUnparsedInfo(const std::string& path);

    // One request (argument lines, each ending with a line feed) and its answer.
    bool command(const std::string& text);
    std::optional<std::string> complete();

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
    void closeProcess();
    // Reads and drops the rest of an answer that was abandoned, up to its markers.
    void drainAbandonedAnswer();
    std::optional<std::string> request(const std::string& path, const char* options);

    std::unique_ptr<ChildProcess> m_task;
    std::unique_ptr<ChildProcess> m_watchdog;
    int m_infile = -1;
    int m_outfile = -1;
    int m_errfile = -1;
    pid_t m_processId = 0;
    // Markers still owed by an abandoned answer.
    std::unique_ptr<MarkerScanner> m_owedOut;
    std::unique_ptr<MarkerScanner> m_owedErr;
};

} // namespace taglink
