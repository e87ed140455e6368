// Where Taglink finds its auxiliary programs (ExifTool and the watchdog). Nothing
// searches PATH: the folder is $TAGLINK_LIBEXEC when set, else libexec/taglink of the
// prefix the library is installed in, else the build tree's folder.
#pragma once

#include <string>
#include <string_view>

namespace taglink {

std::string auxiliaryFolder();
// The full path of a program in the auxiliary folder ("exiftool/exiftool", "orphanguard").
std::string auxiliaryProgram(std::string_view relativeName);

} // namespace taglink
