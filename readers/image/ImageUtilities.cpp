// Thumbnail makers (see ImageUtilities.h).
#include "readers/image/ImageUtilities.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>

#include "model/NativePath.h"
#include "readers/image/HeifReader.h"

namespace perspix {

namespace {

std::optional<QImage> readScaled(QImageReader& reader, int maxEdge,
                                 QImageIOHandler::Transformations fallback)
{
    reader.setAutoTransform(true);
    if (maxEdge <= 0 || !reader.canRead())
        return std::nullopt;
    // The size is the stored one, before any rotation, and so is the scaled size asked
    // for: the longer edge is the same either way.
    const QSize stored = reader.size();
    if (stored.isValid() && (stored.width() > maxEdge || stored.height() > maxEdge)) {
        QSize scaled = stored.scaled(maxEdge, maxEdge, Qt::KeepAspectRatio);
        scaled = scaled.expandedTo(QSize(1, 1));
        reader.setScaledSize(scaled);
    }
    const QImageIOHandler::Transformations own = reader.transformation();
    QImage image = reader.read();
    if (image.isNull())
        return std::nullopt;
    if (std::max(image.width(), image.height()) > maxEdge)
        image = image.scaled(maxEdge, maxEdge, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    if (own == QImageIOHandler::TransformationNone &&
        fallback != QImageIOHandler::TransformationNone) {
        QTransform turn;
        if (fallback & QImageIOHandler::TransformationRotate90)
            turn.rotate(90);
        const bool mirror = fallback & QImageIOHandler::TransformationMirror;
        const bool flip = fallback & QImageIOHandler::TransformationFlip;
        if (mirror || flip)
            image = image.mirrored(mirror, flip);
        if (fallback & QImageIOHandler::TransformationRotate90)
            image = image.transformed(turn);
    }
    return image;
}

} // namespace

std::optional<QImage>
ImageUtilities::thumbnailedImageFromData(const QByteArray& data, int maxEdge,
                                         QImageIOHandler::Transformations orientation)
{
    if (data.isEmpty())
        return std::nullopt;
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    return readScaled(reader, maxEdge, orientation);
}

std::optional<QImage> ImageUtilities::thumbnailedImageFromURL(const QString& path, int maxEdge)
{
    if (!NativePath::isRegularFile(path))
        return std::nullopt;
    {
        QFile file;
        if (!NativePath::open(file, path, QIODevice::ReadOnly))
            return std::nullopt;
        QImageReader reader(&file);
        reader.setDecideFormatFromContent(true);
        if (reader.canRead())
            return readScaled(reader, maxEdge, QImageIOHandler::TransformationNone);
    }
    return HeifReader::thumbnail(path, maxEdge);
}

QImageIOHandler::Transformations ImageUtilities::transformationForOrientation(int orientation)
{
    switch (orientation) {
    case 2:
        return QImageIOHandler::TransformationMirror;
    case 3:
        return QImageIOHandler::TransformationRotate180;
    case 4:
        return QImageIOHandler::TransformationFlip;
    case 5:
        return QImageIOHandler::TransformationFlipAndRotate90;
    case 6:
        return QImageIOHandler::TransformationRotate90;
    case 7:
        return QImageIOHandler::TransformationMirrorAndRotate90;
    case 8:
        return QImageIOHandler::TransformationRotate270;
    default:
        return QImageIOHandler::TransformationNone;
    }
}

} // namespace perspix
