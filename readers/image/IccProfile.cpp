// ICC profiles read with Little CMS (see IccProfile.h).
#include "readers/image/IccProfile.h"

#include <lcms2.h>
#include <vector>

namespace perspix {

namespace {

std::optional<QString> modelName(cmsColorSpaceSignature space)
{
    switch (space) {
    case cmsSigGrayData:
        return QStringLiteral("Gray");
    case cmsSigRgbData:
        return QStringLiteral("RGB");
    case cmsSigCmykData:
        return QStringLiteral("CMYK");
    case cmsSigLabData:
        return QStringLiteral("LAB");
    default:
        return std::nullopt;
    }
}

std::optional<QString> description(cmsHPROFILE profile)
{
    // Little CMS 2.14 hands out profile texts only as wide characters.
    const cmsUInt32Number bytes =
        cmsGetProfileInfo(profile, cmsInfoDescription, "en", "US", nullptr, 0);
    if (bytes < sizeof(wchar_t))
        return std::nullopt;
    std::vector<wchar_t> text(bytes / sizeof(wchar_t) + 1, L'\0');
    cmsGetProfileInfo(profile, cmsInfoDescription, "en", "US", text.data(), bytes);
    const QString name = QString::fromWCharArray(text.data()).trimmed();
    if (name.isEmpty())
        return std::nullopt;
    return name;
}

} // namespace

std::optional<IccProfile::ColorSpace> IccProfile::colorSpaceFromData(const QByteArray& icc)
{
    if (icc.isEmpty())
        return std::nullopt;
    cmsHPROFILE profile =
        cmsOpenProfileFromMem(icc.constData(), static_cast<cmsUInt32Number>(icc.size()));
    if (!profile)
        return std::nullopt;
    ColorSpace space;
    space.model = modelName(cmsGetColorSpace(profile));
    space.name = description(profile);
    cmsCloseProfile(profile);
    return space;
}

} // namespace perspix
