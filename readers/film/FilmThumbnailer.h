// A frame of a film as a picture, for films that carry no cover of their own. The
// program's only door to libffmpegthumbnailer; safe on any thread, one call per file.
#pragma once

#include <QImage>
#include <QString>

namespace perspix {

class FilmThumbnailer
{
public:
    // The frame at about a tenth of the duration, scaled while decoding so that its largest
    // edge is at most the given size; a null image when the file cannot be decoded.
    static QImage frameOfFile(const QString& path, int size);

    static constexpr int kSeekPercentage = 10;
};

} // namespace perspix
