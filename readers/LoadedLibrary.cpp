// Opening a library at its first use (see LoadedLibrary.h).
#include "readers/LoadedLibrary.h"

#include <QString>
#include <dlfcn.h>

#include "model/Log.h"

namespace perspix {

void* LoadedLibrary::symbol(const char* name)
{
    std::call_once(m_opened, [this] {
        m_handle = dlopen(m_soname, (m_lazy ? RTLD_LAZY : RTLD_NOW) | RTLD_LOCAL);
        if (!m_handle)
            logLine(QStringLiteral("Cannot load %1: %2")
                        .arg(QString::fromUtf8(m_soname), QString::fromLocal8Bit(dlerror())));
    });
    return m_handle ? dlsym(m_handle, name) : nullptr;
}

} // namespace perspix
