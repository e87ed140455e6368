// libheif, opened at the first HEIF file: every libheif function the program calls is
// defined here as a forwarder, so that the codec libraries behind libheif are loaded only
// by runs that meet a HEIF image.
#include <libheif/heif.h>

#include "readers/LoadedLibrary.h"

namespace {

perspix::LoadedLibrary& library()
{
    static perspix::LoadedLibrary heif(HEIF_SONAME);
    return heif;
}

constexpr heif_error kNotLoaded = {heif_error_Unsupported_feature, heif_suberror_Unspecified,
                                   "libheif cannot be loaded"};

} // namespace

#define HEIF_FORWARD(RET, NAME, PARAMS, ARGS, FALLBACK)                                            \
    PERSPIX_FORWARD(library, RET, NAME, PARAMS, ARGS, FALLBACK)

using Handle = const heif_image_handle*;

HEIF_FORWARD(heif_error, heif_init, (heif_init_params * params), (params), kNotLoaded)
HEIF_FORWARD(heif_context*, heif_context_alloc, (void), (), nullptr)
HEIF_FORWARD(void, heif_context_free, (heif_context * context), (context), )
HEIF_FORWARD(heif_error, heif_context_read_from_file,
             (heif_context * context, const char* name, const heif_reading_options* options),
             (context, name, options), kNotLoaded)
HEIF_FORWARD(heif_error, heif_context_read_from_memory_without_copy,
             (heif_context * context, const void* bytes, size_t size,
              const heif_reading_options* options),
             (context, bytes, size, options), kNotLoaded)
HEIF_FORWARD(int, heif_context_get_number_of_top_level_images, (heif_context * context), (context),
             0)
HEIF_FORWARD(heif_error, heif_context_get_primary_image_handle,
             (heif_context * context, heif_image_handle** handle), (context, handle), kNotLoaded)
HEIF_FORWARD(void, heif_image_handle_release, (Handle handle), (handle), )
HEIF_FORWARD(int, heif_image_handle_get_width, (Handle handle), (handle), 0)
HEIF_FORWARD(int, heif_image_handle_get_height, (Handle handle), (handle), 0)
HEIF_FORWARD(int, heif_image_handle_has_alpha_channel, (Handle handle), (handle), 0)
HEIF_FORWARD(int, heif_image_handle_get_number_of_thumbnails, (Handle handle), (handle), 0)
HEIF_FORWARD(int, heif_image_handle_get_list_of_thumbnail_IDs,
             (Handle handle, heif_item_id* ids, int count), (handle, ids, count), 0)
HEIF_FORWARD(heif_error, heif_image_handle_get_thumbnail,
             (Handle handle, heif_item_id id, heif_image_handle** thumbnail),
             (handle, id, thumbnail), kNotLoaded)
HEIF_FORWARD(int, heif_image_handle_get_number_of_metadata_blocks,
             (Handle handle, const char* filter), (handle, filter), 0)
HEIF_FORWARD(int, heif_image_handle_get_list_of_metadata_block_IDs,
             (Handle handle, const char* filter, heif_item_id* ids, int count),
             (handle, filter, ids, count), 0)
HEIF_FORWARD(const char*, heif_image_handle_get_metadata_type, (Handle handle, heif_item_id id),
             (handle, id), nullptr)
HEIF_FORWARD(size_t, heif_image_handle_get_metadata_size, (Handle handle, heif_item_id id),
             (handle, id), 0)
HEIF_FORWARD(heif_error, heif_image_handle_get_metadata,
             (Handle handle, heif_item_id id, void* bytes), (handle, id, bytes), kNotLoaded)
HEIF_FORWARD(heif_color_profile_type, heif_image_handle_get_color_profile_type, (Handle handle),
             (handle), heif_color_profile_type_not_present)
HEIF_FORWARD(size_t, heif_image_handle_get_raw_color_profile_size, (Handle handle), (handle), 0)
HEIF_FORWARD(heif_error, heif_image_handle_get_raw_color_profile, (Handle handle, void* bytes),
             (handle, bytes), kNotLoaded)
HEIF_FORWARD(heif_error, heif_decode_image,
             (Handle handle, heif_image** image, heif_colorspace colorspace, heif_chroma chroma,
              const heif_decoding_options* options),
             (handle, image, colorspace, chroma, options), kNotLoaded)
HEIF_FORWARD(void, heif_image_release, (const heif_image* image), (image), )
HEIF_FORWARD(int, heif_image_get_width, (const heif_image* image, heif_channel channel),
             (image, channel), 0)
HEIF_FORWARD(int, heif_image_get_height, (const heif_image* image, heif_channel channel),
             (image, channel), 0)
HEIF_FORWARD(const uint8_t*, heif_image_get_plane_readonly,
             (const heif_image* image, heif_channel channel, int* stride), (image, channel, stride),
             nullptr)
