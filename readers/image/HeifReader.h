// HEIF images read with libheif: the file's own facts (image count, primary size,
// thumbnails, colour profile) and its Exif and XMP blocks, which oEXIV2 decodes. Also the
// slow cover of a HEIF image, which Qt cannot decode. The one file that includes libheif.
#pragma once

#include <QImage>
#include <QString>
#include <memory>
#include <optional>

namespace perspix {

class oEXIV2;

class HeifReader
{
public:
    // An image adapter holding the file's image data record; nothing (and the line
    // "libheif: <message>" in the log) when libheif cannot read the file.
    static std::unique_ptr<oEXIV2> read(const QString& path);

    // The primary image, upright, scaled so that its longer edge is at most maxEdge.
    // Decodes the smallest stored thumbnail that is large enough instead of the full
    // image when the file has one. Nothing when it cannot be decoded.
    static std::optional<QImage> thumbnail(const QString& path, int maxEdge);
};

} // namespace perspix
