// Image operations shared by the image path and the views: the two thumbnail makers that
// produce an image's cover picture. Decoding scales in the decoder where the format
// allows it, so that a large photo is never decoded at full size to be thrown away.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QImageIOHandler>
#include <QString>
#include <optional>

namespace perspix {

class ImageUtilities
{
public:
    // An upright picture whose longer edge is at most maxEdge (smaller pictures keep their
    // size). When the bytes carry no orientation of their own, `orientation` is applied:
    // an embedded preview is stored like the full image, whose orientation tag describes
    // both. Nothing for bytes no image reader can decode.
    static std::optional<QImage> thumbnailedImageFromData(
        const QByteArray& data, int maxEdge,
        QImageIOHandler::Transformations orientation = QImageIOHandler::TransformationNone);

    // The same for a file; HEIF files, which Qt cannot read, are decoded with libheif.
    static std::optional<QImage> thumbnailedImageFromURL(const QString& path, int maxEdge);

    // The transformation that makes an image with this Exif orientation (1 to 8) upright.
    static QImageIOHandler::Transformations transformationForOrientation(int orientation);
};

} // namespace perspix
