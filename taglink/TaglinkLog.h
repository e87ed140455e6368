// Taglink's one logging call. By default a line goes to standard error; the program that
// loads the library may route the lines into its own log.
#pragma once

#include <string_view>

namespace taglink {

using LogHandler = void (*)(std::string_view line);

// Set once at start, before any thread uses the library; nullptr restores the default.
void setLogHandler(LogHandler handler);
void log(std::string_view line);

} // namespace taglink
