// The colour space of an ICC profile: its model and its name. The one file that reads
// profiles with Little CMS; the image readers hand it the profile's bytes.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace perspix {

class IccProfile
{
public:
    struct ColorSpace
    {
        std::optional<QString> model; // "Gray", "RGB", "CMYK" or "LAB"
        std::optional<QString> name;  // the profile's description
    };

    // Nothing when the bytes are not an ICC profile.
    static std::optional<ColorSpace> colorSpaceFromData(const QByteArray& icc);
};

} // namespace perspix
