// Logging of the Taglink library.
#include "taglink/TaglinkLog.h"

#include <atomic>
#include <cstdio>
#include <string>

namespace taglink {

namespace {
std::atomic<LogHandler> g_handler{nullptr};
}

void setLogHandler(LogHandler handler)
{
    g_handler.store(handler);
}

void log(std::string_view line)
{
    if (const LogHandler handler = g_handler.load()) {
        handler(line);
        return;
    }
    std::string text(line);
    text += '\n';
    std::fwrite(text.data(), 1, text.size(), stderr);
}

} // namespace taglink
