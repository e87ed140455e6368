// Lookup of the auxiliary folder.
#include "taglink/AuxiliaryPrograms.h"

#include <cstdlib>
#include <dlfcn.h>
#include <sys/stat.h>

namespace taglink {

namespace {
// Any object of the library: dladdr names the file it was loaded from.
const char kAnchor = 0;

bool isDirectory(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
} // namespace

std::string auxiliaryFolder()
{
    if (const char* env = std::getenv("TAGLINK_LIBEXEC"); env && *env)
        return env;
    Dl_info info;
    if (::dladdr(&kAnchor, &info) != 0 && info.dli_fname) {
        std::string library = info.dli_fname;
        const auto slash = library.rfind('/');
        const std::string folder = slash == std::string::npos ? "." : library.substr(0, slash);
        const std::string installed = folder + "/" TAGLINK_INSTALL_LIBEXEC_FROM_LIBDIR;
        if (isDirectory(installed))
            return installed;
    }
    return TAGLINK_BUILD_LIBEXEC;
}

std::string auxiliaryProgram(std::string_view relativeName)
{
    std::string path = auxiliaryFolder();
    path += '/';
    path += relativeName;
    return path;
}

} // namespace taglink
