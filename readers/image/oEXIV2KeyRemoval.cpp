// Erasing single metadata keys from an image file in place (oEXIV2::removeKeys), for the
// privacy removal. Only copies are handed here.
#include <QFile>
#include <QFileInfo>
#include <exiv2/exiv2.hpp>

#include "model/Log.h"
#include "readers/image/oEXIV2.h"

namespace perspix {

bool oEXIV2::removeKeys(const QString& path, const QStringList& exifKeys,
                        const QStringList& iptcKeys, const QStringList& xmpKeys, bool thumbnail)
{
    try {
        std::unique_ptr<Exiv2::Image> image(
            Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString()).release());
        if (!image)
            return false;
        readMetadataGuarded(*image);
        bool changed = false;

        Exiv2::ExifData& exif = image->exifData();
        for (const QString& key : exifKeys) {
            const std::string name = key.toStdString();
            for (auto it = exif.begin(); it != exif.end();) {
                if (it->key() == name) {
                    it = exif.erase(it);
                    changed = true;
                } else {
                    ++it;
                }
            }
        }
        if (thumbnail) {
            Exiv2::ExifThumb thumb(exif);
            thumb.erase();
            changed = true;
        }

        Exiv2::IptcData& iptc = image->iptcData();
        for (const QString& key : iptcKeys) {
            const std::string name = key.toStdString();
            for (auto it = iptc.begin(); it != iptc.end();) {
                if (it->key() == name) {
                    it = iptc.erase(it);
                    changed = true;
                } else {
                    ++it;
                }
            }
        }

        // A structure or array goes with everything inside it.
        Exiv2::XmpData& xmp = image->xmpData();
        for (const QString& key : xmpKeys) {
            const std::string name = key.toStdString();
            for (auto it = xmp.begin(); it != xmp.end();) {
                const std::string current = it->key();
                const bool inside = current.size() > name.size() &&
                                    current.compare(0, name.size(), name) == 0 &&
                                    (current[name.size()] == '/' || current[name.size()] == '[');
                if (current == name || inside) {
                    it = xmp.erase(it);
                    changed = true;
                } else {
                    ++it;
                }
            }
        }

        if (changed)
            writeMetadataGuarded(*image);
        return true;
    } catch (const std::exception& e) {
        logLine(QStringLiteral("exception in removeKeys(): %1, file: %2")
                    .arg(QString::fromUtf8(e.what()), QFileInfo(path).fileName()));
        return false;
    } catch (...) {
        logLine(QStringLiteral("exception in removeKeys(): unknown error, file: %1")
                    .arg(QFileInfo(path).fileName()));
        return false;
    }
}

} // namespace perspix
