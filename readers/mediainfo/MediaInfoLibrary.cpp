// libmediainfo, opened at the first film or sound file: every function of its C interface
// that the program calls is defined here as a forwarder, so that runs over images never
// load it (nor the network and TLS libraries it brings).
#include <cstddef>

#include <MediaInfoDLL/MediaInfoDLL_Static.h>

#include "readers/LoadedLibrary.h"

namespace {

perspix::LoadedLibrary& library()
{
    static perspix::LoadedLibrary mediainfo(MEDIAINFO_SONAME);
    return mediainfo;
}

} // namespace

#define MI_FORWARD(RET, NAME, PARAMS, ARGS, FALLBACK)                                              \
    PERSPIX_FORWARD(library, RET, NAME, PARAMS, ARGS, FALLBACK)

MI_FORWARD(void*, MediaInfo_New, (), (), nullptr)
MI_FORWARD(void, MediaInfo_Delete, (void* handle), (handle), )
MI_FORWARD(size_t, MediaInfo_Open, (void* handle, const wchar_t* file), (handle, file), 0)
MI_FORWARD(void, MediaInfo_Close, (void* handle), (handle), )
MI_FORWARD(const wchar_t*, MediaInfo_Inform, (void* handle, size_t reserved), (handle, reserved),
           L"")
MI_FORWARD(const wchar_t*, MediaInfo_GetI,
           (void* handle, MediaInfo_stream_C kind, size_t stream, size_t parameter,
            MediaInfo_info_C info),
           (handle, kind, stream, parameter, info), L"")
MI_FORWARD(const wchar_t*, MediaInfo_Get,
           (void* handle, MediaInfo_stream_C kind, size_t stream, const wchar_t* parameter,
            MediaInfo_info_C info, MediaInfo_info_C search),
           (handle, kind, stream, parameter, info, search), L"")
MI_FORWARD(const wchar_t*, MediaInfo_Option,
           (void* handle, const wchar_t* option, const wchar_t* value), (handle, option, value),
           L"")
MI_FORWARD(size_t, MediaInfo_Count_Get, (void* handle, MediaInfo_stream_C kind, size_t stream),
           (handle, kind, stream), 0)
