// Film frames through libffmpegthumbnailer (see FilmThumbnailer.h).
#include "readers/film/FilmThumbnailer.h"

#include <QFile>
#include <algorithm>
#include <libffmpegthumbnailer/videothumbnailerc.h>
#include <memory>

#include "model/Keys.h"
#include "model/NativePath.h"
#include "model/PerspixData.h"
#include "readers/LoadedLibrary.h"

// libffmpegthumbnailer brings the whole FFmpeg stack, well over a hundred libraries: it is
// opened at the first frame, and runs that make none never load it.
namespace {

perspix::LoadedLibrary& library()
{
    static perspix::LoadedLibrary thumbnailer(FFMPEGTHUMBNAILER_SONAME);
    return thumbnailer;
}

} // namespace

PERSPIX_FORWARD(library, video_thumbnailer*, video_thumbnailer_create, (void), (), nullptr)
PERSPIX_FORWARD(library, void, video_thumbnailer_destroy, (video_thumbnailer * thumbnailer),
                (thumbnailer), )
PERSPIX_FORWARD(library, image_data*, video_thumbnailer_create_image_data, (void), (), nullptr)
PERSPIX_FORWARD(library, void, video_thumbnailer_destroy_image_data, (image_data * data), (data), )
PERSPIX_FORWARD(library, int, video_thumbnailer_generate_thumbnail_to_buffer,
                (video_thumbnailer * thumbnailer, const char* name, image_data* frame),
                (thumbnailer, name, frame), -1)
PERSPIX_FORWARD(library, void, video_thumbnailer_set_log_callback,
                (video_thumbnailer * thumbnailer, thumbnailer_log_callback callback),
                (thumbnailer, callback), )
PERSPIX_FORWARD(library, int, video_thumbnailer_set_size,
                (video_thumbnailer * thumbnailer, int width, int height),
                (thumbnailer, width, height), -1)

namespace perspix {

QImage FilmThumbnailer::frameOfFile(const QString& path, int size)
{
    if (size <= 0)
        return {};
    const std::unique_ptr<video_thumbnailer, decltype(&video_thumbnailer_destroy)> thumbnailer(
        video_thumbnailer_create(), &video_thumbnailer_destroy);
    const std::unique_ptr<image_data, decltype(&video_thumbnailer_destroy_image_data)> frame(
        video_thumbnailer_create_image_data(), &video_thumbnailer_destroy_image_data);
    if (!thumbnailer || !frame)
        return {};
    thumbnailer->seek_percentage = kSeekPercentage;
    thumbnailer->thumbnail_image_type = Rgb;
    thumbnailer->maintain_aspect_ratio = 1;
    // A cover stored in the film is the caller's business; here only a frame will do.
    thumbnailer->prefer_embedded_metadata = 0;
    video_thumbnailer_set_size(thumbnailer.get(), size, size);
    // The library reports a film it cannot decode through its return value; its messages
    // would only repeat that on standard error.
    video_thumbnailer_set_log_callback(thumbnailer.get(), nullptr);

    const QByteArray name = NativePath::encoded(path);
    if (video_thumbnailer_generate_thumbnail_to_buffer(thumbnailer.get(), name.constData(),
                                                       frame.get()) != 0)
        return {};
    const int width = frame->image_data_width;
    const int height = frame->image_data_height;
    if (!frame->image_data_ptr || width <= 0 || height <= 0 ||
        qint64(frame->image_data_size) < qint64(width) * height * 3)
        return {};
    // The buffer belongs to the image data record: copy before it goes.
    return QImage(frame->image_data_ptr, width, height, width * 3, QImage::Format_RGB888).copy();
}

void PerspixData::addFilmFrame(GeneralRecord& general, qint64 pictureEdge) const
{
    constexpr qint64 kLargest = 256;
    if (!useSlowThumbProcessing || !makeFilmFrames || general.contains(keys::kCoverData))
        return;
    // Small films are not blown up: the frame is at most as large as the picture.
    const int size = int(pictureEdge > 0 ? std::min(pictureEdge, kLargest) : kLargest);
    if (deferSlowCovers) {
        general.insert(keys::kCoverToMake, QStringLiteral("film:%1").arg(size));
        return;
    }
    const QImage frame = FilmThumbnailer::frameOfFile(filename, size);
    if (!frame.isNull())
        general.insert(keys::kFrameThumbnail, frame);
}

} // namespace perspix
