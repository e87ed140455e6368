// Erasing metadata parts from an image file in place (oEXIV2::removeMetadata). Only the
// copies that the metadata remover made are handed here; nothing else in the program writes
// image metadata.
#include <QFile>
#include <QFileInfo>
#include <exiv2/exiv2.hpp>
#include <string>
#include <vector>

#include "model/Log.h"
#include "model/NativePath.h"
#include "readers/image/oEXIV2.h"

namespace perspix {

namespace {

// Tags of the first IFD that tell who made the picture, when and with what.
constexpr const char* kExifDateKeys[] = {"Exif.Image.DateTime", "Exif.Image.ImageDescription"};
// NEF files keep these two.
constexpr const char* kExifMakeKey = "Exif.Image.Make";
constexpr const char* kExifModelKey = "Exif.Image.Model";
constexpr const char* kExifAuthorKeys[] = {"Exif.Image.Software", "Exif.Image.Artist",
                                           "Exif.Image.Copyright", "Exif.Image.DateTimeOriginal"};
constexpr const char* kMakerNoteKeys[] = {"Exif.Photo.MakerNote", "Exif.Image.DNGPrivateData"};

void collectByIfd(const Exiv2::ExifData& exif, const char* ifd, const char* except,
                  std::vector<std::string>& keys)
{
    for (const Exiv2::Exifdatum& datum : exif) {
        if (std::string(datum.ifdName()) != ifd)
            continue;
        std::string key = datum.key();
        if (key != except)
            keys.push_back(std::move(key));
    }
}

bool hasMakernote(const Exiv2::ExifData& exif)
{
    for (const Exiv2::Exifdatum& datum : exif) {
        if (std::string(datum.ifdName()) == "Makernote" || datum.key() == "Exif.Photo.MakerNote")
            return true;
    }
    return false;
}

} // namespace

bool oEXIV2::removeMetadata(const oEXIV2Metadata& parts, const QString& path)
{
    try {
        std::unique_ptr<Exiv2::Image> image(
            Exiv2::ImageFactory::open(NativePath::encoded(path).toStdString()).release());
        if (!image)
            return false;
        readMetadataGuarded(*image);

        Exiv2::ExifData& exif = image->exifData();
        std::vector<std::string> exifKeys;
        if (!exif.empty()) {
            const QString mimeType = QString::fromStdString(image->mimeType());
            // Raw converters read the maker's notes to develop a raw file: raw files keep them.
            const bool dng = exif.findKey(Exiv2::ExifKey("Exif.Image.DNGVersion")) != exif.end();
            const bool eraseMakernote =
                parts.makernote && !rawInfoFromMimeType(mimeType, dng).isRaw;
            if (parts.exif) {
                exifKeys.insert(exifKeys.end(), std::begin(kExifDateKeys), std::end(kExifDateKeys));
                if (mimeType != QLatin1String("image/x-nikon-nef")) {
                    // The library writes a maker's note back only for a known Make: without
                    // it a note that is to stay would silently go with the copy.
                    if (eraseMakernote || !hasMakernote(exif))
                        exifKeys.emplace_back(kExifMakeKey);
                    exifKeys.emplace_back(kExifModelKey);
                }
                exifKeys.insert(exifKeys.end(), std::begin(kExifAuthorKeys),
                                std::end(kExifAuthorKeys));
                collectByIfd(exif, "Exif", "Exif.Photo.MakerNote", exifKeys);
            }
            if (parts.gps)
                collectByIfd(exif, "GPSInfo", "Exif.GPSInfo.GPSVersionID", exifKeys);
            if (eraseMakernote) {
                exifKeys.insert(exifKeys.end(), std::begin(kMakerNoteKeys),
                                std::end(kMakerNoteKeys));
                collectByIfd(exif, "Makernote", "", exifKeys);
            }
        }

        Exiv2::XmpData& xmp = image->xmpData();
        std::vector<std::string> xmpKeys;
        if (parts.gps && !parts.xmp && !xmp.empty()) {
            for (const Exiv2::Xmpdatum& datum : xmp) {
                std::string key = datum.key();
                if (key.rfind("Xmp.exif.GPS", 0) == 0)
                    xmpKeys.push_back(std::move(key));
            }
        }

        for (const std::string& key : exifKeys) {
            const auto it = exif.findKey(Exiv2::ExifKey(key));
            if (it != exif.end())
                exif.erase(it);
        }
        for (const std::string& key : xmpKeys) {
            const auto it = xmp.findKey(Exiv2::XmpKey(key));
            if (it != xmp.end())
                xmp.erase(it);
        }

        bool changed = !exifKeys.empty() || !xmpKeys.empty();
        Exiv2::IptcData& iptc = image->iptcData();
        if (parts.iptc && !iptc.empty()) {
            iptc.clear();
            changed = true;
        }
        // A packet the library could not parse has no entries but still carries XMP.
        if (parts.xmp && (!xmp.empty() || !image->xmpPacket().empty())) {
            xmp.clear();
            image->clearXmpPacket();
            changed = true;
        }
        if (changed)
            writeMetadataGuarded(*image);
        return true;
    } catch (const std::exception& e) {
        logLine(QStringLiteral("exception in removeMetadata(): %1, file: %2")
                    .arg(QString::fromUtf8(e.what()), QFileInfo(path).fileName()));
        return false;
    } catch (...) {
        logLine(QStringLiteral("exception in removeMetadata(): unknown error, file: %1")
                    .arg(QFileInfo(path).fileName()));
        return false;
    }
}

} // namespace perspix
