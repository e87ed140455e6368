// A shared library opened at its first use instead of at start-up. The film and HEIF
// decoders pull in whole codec stacks (over a hundred libraries, a quarter of a second of
// loading) that a run over sound files or JPEGs never touches.
#pragma once

#include <mutex>

namespace perspix {

class LoadedLibrary
{
public:
    // The library by its run-time name (its SONAME, such as "libheif.so.1"). A lazy library
    // binds each function at its first call instead of all at once: for a library whose
    // dependencies bring thousands of functions that are never called.
    explicit constexpr LoadedLibrary(const char* soname, bool lazy = false)
        : m_soname(soname), m_lazy(lazy)
    {
    }
    LoadedLibrary(const LoadedLibrary&) = delete;
    LoadedLibrary& operator=(const LoadedLibrary&) = delete;

    // The address of a symbol, or null when the library or the symbol is missing; the first
    // failure to open the library is logged once. Safe on any thread.
    void* symbol(const char* name);

    template <typename Function> Function* function(const char* name)
    {
        return reinterpret_cast<Function*>(symbol(name));
    }

private:
    const char* m_soname;
    bool m_lazy;
    std::once_flag m_opened;
    void* m_handle = nullptr;
};

} // namespace perspix

// Defines the C function NAME of the library returned by LIBRARY() as a forwarder to the
// library's own, resolved at its first call; FALLBACK is returned when it cannot be loaded.
// The signature is the library header's, so callers include that header and change nothing.
#define PERSPIX_FORWARD(LIBRARY, RET, NAME, PARAMS, ARGS, FALLBACK)                                \
    extern "C" RET NAME PARAMS                                                                     \
    {                                                                                              \
        static auto* const forwarded = LIBRARY().function<RET PARAMS>(#NAME);                      \
        if (!forwarded)                                                                            \
            return FALLBACK;                                                                       \
        return forwarded ARGS;                                                                     \
    }
