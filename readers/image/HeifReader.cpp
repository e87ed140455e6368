// HEIF images read with libheif (see HeifReader.h). The context and every handle are
// released on every path; libheif's error status ends the reading with its message.
#include "readers/image/HeifReader.h"

#include <QByteArray>
#include <QFile>
#include <cstring>
#include <libheif/heif.h>
#include <mutex>
#include <new>
#include <vector>

#include "model/Log.h"
#include "model/NativePath.h"
#include "readers/image/oEXIV2.h"

namespace perspix {

namespace {

struct ContextFree
{
    void operator()(heif_context* context) const { heif_context_free(context); }
};
struct HandleRelease
{
    void operator()(heif_image_handle* handle) const { heif_image_handle_release(handle); }
};
struct ImageRelease
{
    void operator()(heif_image* image) const { heif_image_release(image); }
};
using ContextPtr = std::unique_ptr<heif_context, ContextFree>;
using HandlePtr = std::unique_ptr<heif_image_handle, HandleRelease>;
using ImagePtr = std::unique_ptr<heif_image, ImageRelease>;

// libheif reports failures as values; the first one ends the reading.
struct HeifFailure
{
    QString message;
};

void check(const heif_error& error)
{
    if (error.code != heif_error_Ok)
        throw HeifFailure{QString::fromUtf8(error.message ? error.message : "")};
}

// libheif reads a file box by box through a stream that seeks before every read; a file
// of ordinary size is read whole into memory instead: one call instead of thousands.
constexpr qint64 kReadWholeLimit = 64 * 1024 * 1024;

struct OpenedFile
{
    QByteArray bytes; // what the context reads from: destroyed after it
    ContextPtr context;
};

OpenedFile openContext(const QString& path)
{
    // The library (and its plug-ins) is set up by the first HEIF file a run meets, so that
    // runs without one never load it.
    static std::once_flag initialized;
    std::call_once(initialized, [] { heif_init(nullptr); });
    OpenedFile opened;
    opened.context.reset(heif_context_alloc());
    if (!opened.context)
        throw HeifFailure{QStringLiteral("cannot allocate a context")};
    if (!NativePath::isRegularFile(path))
        throw HeifFailure{QStringLiteral("not a regular file")};
    QFile file;
    if (NativePath::open(file, path, QIODevice::ReadOnly) && file.size() <= kReadWholeLimit) {
        opened.bytes = file.readAll();
        check(heif_context_read_from_memory_without_copy(
            opened.context.get(), opened.bytes.constData(),
            static_cast<size_t>(opened.bytes.size()), nullptr));
        return opened;
    }
    check(heif_context_read_from_file(opened.context.get(), NativePath::encoded(path).constData(),
                                      nullptr));
    return opened;
}

HandlePtr primaryHandle(heif_context* context)
{
    heif_image_handle* handle = nullptr;
    check(heif_context_get_primary_image_handle(context, &handle));
    return HandlePtr(handle);
}

// An Exif block starts with the offset of its TIFF header (and often an "Exif" marker);
// the header itself is found by its byte-order mark.
qsizetype tiffHeaderOffset(const QByteArray& block)
{
    static const char bigEndian[] = {'M', 'M', 0x00, 0x2A};
    static const char littleEndian[] = {'I', 'I', 0x2A, 0x00};
    for (qsizetype i = 0; i + 4 <= block.size(); ++i) {
        const char* at = block.constData() + i;
        if (std::memcmp(at, bigEndian, 4) == 0 || std::memcmp(at, littleEndian, 4) == 0)
            return i;
    }
    return -1;
}

std::vector<heif_item_id> idList(int count)
{
    return std::vector<heif_item_id>(static_cast<size_t>(count > 0 ? count : 0));
}

} // namespace

std::unique_ptr<oEXIV2> HeifReader::read(const QString& path)
{
    try {
        const OpenedFile file = openContext(path);
        heif_context* context = file.context.get();
        std::unique_ptr<oEXIV2> adapter(new oEXIV2);
        HeifRecord heif;
        heif.format = QStringLiteral("HEIF");
        adapter->m_isImage = true;
        heif.imageCount = heif_context_get_number_of_top_level_images(context);

        HandlePtr primary = primaryHandle(context);
        heif.width = heif_image_handle_get_width(primary.get());
        heif.height = heif_image_handle_get_height(primary.get());
        heif.thumbCount = heif_image_handle_get_number_of_thumbnails(primary.get());
        ImageDataRecord result;

        const int blockCount =
            heif_image_handle_get_number_of_metadata_blocks(primary.get(), nullptr);
        std::vector<heif_item_id> blocks = idList(blockCount);
        const int listed = blocks.empty() ? 0
                                          : heif_image_handle_get_list_of_metadata_block_IDs(
                                                primary.get(), nullptr, blocks.data(),
                                                static_cast<int>(blocks.size()));
        for (int i = 0; i < listed; ++i) {
            const heif_item_id id = blocks[static_cast<size_t>(i)];
            const char* type = heif_image_handle_get_metadata_type(primary.get(), id);
            const bool exif = type && std::strcmp(type, "Exif") == 0;
            const bool mime = type && std::strcmp(type, "mime") == 0;
            if (!exif && !mime)
                continue;
            const size_t size = heif_image_handle_get_metadata_size(primary.get(), id);
            QByteArray bytes(static_cast<qsizetype>(size), Qt::Uninitialized);
            check(heif_image_handle_get_metadata(primary.get(), id, bytes.data()));
            if (exif) {
                const qsizetype offset = tiffHeaderOffset(bytes);
                if (offset < 0) {
                    logLine(QStringLiteral(
                        "HEIF: Could not find location of TIFF header in Exif metadata"));
                    continue;
                }
                if (adapter->prepareExifFromMemory(bytes.mid(offset), result) ==
                    oEXIV2::BlockResult::Failed)
                    logLine(QStringLiteral("HEIF: failed to decode Exif"));
            } else if (adapter->prepareXmpFromMemory(bytes, result) ==
                       oEXIV2::BlockResult::Failed) {
                logLine(QStringLiteral("HEIF: failed to decode XMP"));
            }
        }

        if (*heif.thumbCount >= 1) {
            std::vector<heif_item_id> thumbs = idList(*heif.thumbCount);
            const int count = heif_image_handle_get_list_of_thumbnail_IDs(
                primary.get(), thumbs.data(), static_cast<int>(thumbs.size()));
            for (int i = 0; i < count; ++i) {
                heif_image_handle* raw = nullptr;
                check(heif_image_handle_get_thumbnail(primary.get(), thumbs[static_cast<size_t>(i)],
                                                      &raw));
                HandlePtr thumb(raw);
                heif.previews.append(QString::asprintf("%u x %u",
                                                       heif_image_handle_get_width(thumb.get()),
                                                       heif_image_handle_get_height(thumb.get())));
            }
        }

        if (heif_image_handle_get_color_profile_type(primary.get()) !=
            heif_color_profile_type_not_present) {
            const size_t size = heif_image_handle_get_raw_color_profile_size(primary.get());
            if (size > 0) {
                QByteArray icc(static_cast<qsizetype>(size), Qt::Uninitialized);
                const heif_error error =
                    heif_image_handle_get_raw_color_profile(primary.get(), icc.data());
                // A colour description without ICC bytes (nclx) has no raw profile.
                if (error.code == heif_error_Ok)
                    oEXIV2::prepareColorProfileWithData(icc, result);
            }
        }

        heif.result = result;
        adapter->m_data = adapter->prepareData(nullptr, &heif);
        return adapter;
    } catch (const HeifFailure& failure) {
        logLine(QStringLiteral("libheif: %1").arg(failure.message));
    } catch (const std::bad_alloc&) {
        logLine(QStringLiteral("libheif: a block of the file is too large to read"));
    }
    return nullptr;
}

std::optional<QImage> HeifReader::thumbnail(const QString& path, int maxEdge)
{
    try {
        const OpenedFile file = openContext(path);
        HandlePtr primary = primaryHandle(file.context.get());

        // A stored thumbnail that is at least as large as asked for decodes far faster
        // than the full image.
        HandlePtr source;
        const int thumbCount = heif_image_handle_get_number_of_thumbnails(primary.get());
        std::vector<heif_item_id> thumbs = idList(thumbCount);
        const int count = thumbs.empty() ? 0
                                         : heif_image_handle_get_list_of_thumbnail_IDs(
                                               primary.get(), thumbs.data(), thumbCount);
        for (int i = 0; i < count; ++i) {
            heif_image_handle* raw = nullptr;
            if (heif_image_handle_get_thumbnail(primary.get(), thumbs[static_cast<size_t>(i)], &raw)
                    .code != heif_error_Ok)
                continue;
            HandlePtr thumb(raw);
            const int edge = std::max(heif_image_handle_get_width(thumb.get()),
                                      heif_image_handle_get_height(thumb.get()));
            if (edge < maxEdge)
                continue;
            if (!source || edge < std::max(heif_image_handle_get_width(source.get()),
                                           heif_image_handle_get_height(source.get())))
                source = std::move(thumb);
        }
        heif_image_handle* handle = source ? source.get() : primary.get();

        const bool alpha = heif_image_handle_has_alpha_channel(handle) != 0;
        heif_image* raw = nullptr;
        check(heif_decode_image(handle, &raw, heif_colorspace_RGB,
                                alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB,
                                nullptr));
        ImagePtr decoded(raw);
        int stride = 0;
        const uint8_t* pixels =
            heif_image_get_plane_readonly(decoded.get(), heif_channel_interleaved, &stride);
        const int width = heif_image_get_width(decoded.get(), heif_channel_interleaved);
        const int height = heif_image_get_height(decoded.get(), heif_channel_interleaved);
        if (!pixels || width <= 0 || height <= 0)
            return std::nullopt;
        const QImage view(pixels, width, height, stride,
                          alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
        // Both forms copy the pixels out of libheif's buffer before it is released.
        if (std::max(width, height) > maxEdge)
            return view.scaled(maxEdge, maxEdge, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        return view.copy();
    } catch (const HeifFailure&) {
        return std::nullopt;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

} // namespace perspix
