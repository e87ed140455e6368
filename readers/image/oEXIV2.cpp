// The Exiv2 adapter (see oEXIV2.h). Every Exiv2 exception is caught here: a failure while
// opening means "no object", a failure inside one step is logged and the other steps run.
#include "readers/image/oEXIV2.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStringDecoder>
#include <cstring>
#include <exiv2/exiv2.hpp>
#include <sstream>

#include "model/Log.h"
#include "readers/image/HeifReader.h"
#include "readers/image/IccProfile.h"

namespace perspix {

namespace {

// Text from the library: decoded as UTF-8 up to its first NUL, like any C string. Nothing
// when the bytes are not UTF-8, so that the entry can be skipped.
std::optional<QString> fromLibrary(const char* text)
{
    if (!text)
        return std::nullopt;
    const qsizetype size = static_cast<qsizetype>(std::strlen(text));
    bool ascii = true;
    for (qsizetype i = 0; i < size; ++i) {
        if (static_cast<unsigned char>(text[i]) >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii)
        return QString::fromLatin1(text, size);
    QStringDecoder decoder(QStringDecoder::Utf8, QStringConverter::Flag::Stateless |
                                                     QStringConverter::Flag::ConvertInitialBom);
    QString decoded = decoder.decode(QByteArrayView(text, size));
    if (decoder.hasError())
        return std::nullopt;
    return decoded;
}

std::optional<QString> fromLibrary(const std::string& text)
{
    return fromLibrary(text.c_str());
}

std::string toLibraryPath(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

std::unique_ptr<Exiv2::Image> openImage(const QString& path)
{
    return std::unique_ptr<Exiv2::Image>(Exiv2::ImageFactory::open(toLibraryPath(path)).release());
}

// Debian's Exiv2 also opens films (and, through its BMFF reader, MP4 and M4A files under
// the generic type); the HEIF family is read more fully by the HEIF reader.
bool isLeftToOtherReaders(const std::string& mimeType)
{
    return mimeType.rfind("video/", 0) == 0 || mimeType == "image/generic" ||
           mimeType == "image/heic" || mimeType == "image/heif" || mimeType == "image/avif";
}

// The library's image types of its film readers (RIFF, Matroska, QuickTime, ASF). Their
// headers are left out of the public set when the library's configuration does not say
// it was built with them, so the numbers stand here.
bool isFilmType(int imageType)
{
    return imageType == 20 || imageType == 21 || imageType == 22 || imageType == 24;
}

Exiv2::ExifData::const_iterator findExif(const Exiv2::ExifData& exif, const char* key)
{
    return exif.findKey(Exiv2::ExifKey(key));
}

Exiv2::ExifData::const_iterator findExif(const Exiv2::ExifData& exif, const QString& key)
{
    return exif.findKey(Exiv2::ExifKey(key.toStdString()));
}

bool isIntegerOrUndefined(Exiv2::TypeId type)
{
    switch (type) {
    case Exiv2::unsignedByte:
    case Exiv2::unsignedShort:
    case Exiv2::unsignedLong:
    case Exiv2::signedByte:
    case Exiv2::undefined:
    case Exiv2::signedShort:
    case Exiv2::signedLong:
        return true;
    default:
        return false;
    }
}

QString exivMessage(const std::exception& e)
{
    return QString::fromUtf8(e.what());
}

} // namespace

// ---------------------------------------------------------------------------------------
// Creation

std::unique_ptr<oEXIV2> oEXIV2::initWithFilename(const QString& path)
{
    try {
        std::unique_ptr<Exiv2::Image> image = openImage(path);
        // Films are turned away before their (possibly long) metadata is read. The MIME
        // type is asked only afterwards: a TIFF-based image learns its own from the tags.
        if (!image || isFilmType(image->imageType()))
            return nullptr;
        image->readMetadata();
        if (isLeftToOtherReaders(image->mimeType()))
            return nullptr;
        std::unique_ptr<oEXIV2> adapter(new oEXIV2);
        adapter->m_isImage = true;
        adapter->m_data = adapter->prepareData(image.get(), nullptr);
        return adapter;
    } catch (...) {
        return nullptr;
    }
}

std::unique_ptr<oEXIV2> oEXIV2::initWithHeifFilePath(const QString& path)
{
    return HeifReader::read(path);
}

ImageDataRecord oEXIV2::prepareData(Exiv2::Image* image, const HeifRecord* heif)
{
    ImageDataRecord result;
    if (image) {
        prepareExif(*image, result);
        prepareIptc(*image, result);
        prepareXmp(*image, result);
    } else if (heif && heif->result) {
        result = *heif->result;
    }

    bool sizeFromHeif = false;
    if (heif) {
        if (!heif->format.isEmpty())
            result.imageType = heif->format;
        if (heif->width) {
            result.imageWidth = QString::number(*heif->width);
            result.imageHeight = QString::number(heif->height.value_or(0));
            sizeFromHeif = true;
        }
    }
    if (!sizeFromHeif && !result.imageWidth && image) {
        result.imageWidth = QString::number(image->pixelWidth());
        result.imageHeight = QString::number(image->pixelHeight());
    }

    if (image)
        prepareColorProfile(*image, result);

    if (result.imageType != QLatin1String("HEIF")) {
        if (image)
            prepareThumbnails(*image, result);
    } else if (heif) {
        if (heif->thumbCount)
            result.thumbCount = QString::number(*heif->thumbCount);
        if (!heif->previews.isEmpty())
            result.previews = heif->previews;
        if (heif->imageCount)
            result.imageCount = QString::number(*heif->imageCount);
    }
    return result;
}

// ---------------------------------------------------------------------------------------
// Exif

void oEXIV2::prepareExif(Exiv2::Image& image, ImageDataRecord& result)
{
    Exiv2::ExifData& exif = image.exifData();
    if (exif.empty())
        return;

    QStringList keys;
    QHash<QString, ExifEntry> entries;
    EasyAccess easy;
    try {
        for (const Exiv2::Exifdatum& datum : exif) {
            const std::string tagName = datum.tagName();
            const auto key = fromLibrary(datum.key());
            const auto ifd = fromLibrary(datum.ifdName());
            if (!key || !ifd || ifd->isEmpty())
                continue;
            if (skipExifTag(QString::fromLatin1(tagName.c_str()), *ifd, *key))
                continue;
            std::string labelText = datum.tagLabel();
            if (labelText.empty())
                labelText = tagName;
            const auto label = fromLibrary(labelText);
            auto value = fromLibrary(datum.print(&exif));
            if (!label || label->isEmpty() || !value || value->isEmpty())
                continue;
            const long size = datum.size();
            if (isIntegerOrUndefined(datum.typeId()) && size > 32 && value->size() > size)
                value = QString::asprintf("(Binary data, %ld bytes)", size);
            // A key met twice keeps its first place and its last value.
            if (!entries.contains(*key))
                keys.append(*key);
            entries.insert(*key, ExifEntry{*value, *label, *ifd});
        }

        const auto lens = Exiv2::lensName(exif);
        if (lens != exif.end()) {
            if (auto name = fromLibrary(lens->print(&exif)))
                easy.lensName = *name;
        }

        const auto lat = findExif(exif, "Exif.GPSInfo.GPSLatitude");
        const auto latRef = findExif(exif, "Exif.GPSInfo.GPSLatitudeRef");
        const auto lon = findExif(exif, "Exif.GPSInfo.GPSLongitude");
        const auto lonRef = findExif(exif, "Exif.GPSInfo.GPSLongitudeRef");
        if (lat != exif.end() && latRef != exif.end() && lon != exif.end() &&
            lonRef != exif.end()) {
            const std::string latRefText = latRef->toString();
            const std::string lonRefText = lonRef->toString();
            const char latChar = latRefText.empty() ? '\0' : latRefText[0];
            const char lonChar = lonRefText.empty() ? '\0' : lonRefText[0];
            std::string text = lat->print();
            if (latChar)
                text += latChar;
            text += ':';
            text += lon->print();
            if (lonChar)
                text += lonChar;
            if (auto gps = fromLibrary(text)) {
                gps->replace(QLatin1String("deg"), QStringLiteral("°"));
                gps->remove(QLatin1Char(' '));
                gps->replace(QLatin1Char(':'), QLatin1Char(' '));
                easy.gps = *gps;
                const auto components = [](const Exiv2::Exifdatum& d) {
                    QList<float> list;
                    for (long i = 0; i < d.count(); ++i)
                        list.append(d.toFloat(i));
                    return list;
                };
                easy.gpsLatitude = decimalDegrees(components(*lat), QLatin1Char(latChar));
                easy.gpsLongitude = decimalDegrees(components(*lon), QLatin1Char(lonChar));
            }
        }

        const QString mimeType = QString::fromStdString(image.mimeType());
        const RawInfo raw = rawInfoFromExifData(exif, mimeType);
        m_isRaw = raw.isRaw;
        result.imageType = raw.imageType;

        const auto orientation = findExif(exif, "Exif.Image.Orientation");
        if (orientation != exif.end() && orientation->count() > 0) {
            switch (orientation->toLong(0)) {
            case 1:
                result.imageOrientationDegrees = QStringLiteral("0°");
                break;
            case 3:
                result.imageOrientationDegrees = QStringLiteral("180° CW");
                break;
            case 6:
                result.imageOrientationDegrees = QStringLiteral("270° CW");
                break;
            case 8:
                result.imageOrientationDegrees = QStringLiteral("90° CW");
                break;
            default:
                break;
            }
        }

        if ((m_isRaw || mimeType == QLatin1String("image/tiff")) &&
            mimeType != QLatin1String("image/x-fuji-raf")) {
            const QString group = primaryGroupOf(exif);
            m_tiffPrimaryGroup = group;
            const auto firstComponent = [&exif](const QString& key) -> long {
                const auto it = findExif(exif, key);
                return it != exif.end() && it->count() > 0 ? it->toLong(0) : 0;
            };
            result.imageWidth =
                QString::number(firstComponent(QStringLiteral("Exif.%1.ImageWidth").arg(group)));
            result.imageHeight =
                QString::number(firstComponent(QStringLiteral("Exif.%1.ImageLength").arg(group)));
        }
    } catch (const Exiv2::AnyError& e) {
        logLine(QStringLiteral("exiv2 exception in Exif: %1").arg(exivMessage(e)));
    }

    if (!keys.isEmpty()) {
        result.exifKeys = keys;
        result.exifData = entries;
    }
    if (!easy.isEmpty())
        result.easyAccess = easy;
}

QString oEXIV2::primaryGroupOf(const Exiv2::ExifData& exif)
{
    QString primary = QStringLiteral("Image");
    for (int i = 0; i <= 9; ++i) {
        const QString key = i == 0 ? QStringLiteral("Exif.Image.NewSubfileType")
                                   : QStringLiteral("Exif.SubImage%1.NewSubfileType").arg(i);
        const auto it = findExif(exif, key);
        if (it == exif.end() || it->count() < 1 || it->toLong(0) != 0)
            continue;
        primary = QString::fromStdString(it->groupName());
        if (findExif(exif, QStringLiteral("Exif.%1.JPEGInterchangeFormat").arg(primary)) ==
            exif.end())
            break;
    }
    return primary;
}

oEXIV2::RawInfo oEXIV2::rawInfoFromExifData(const Exiv2::ExifData& exif, const QString& mimeType)
{
    const bool dng = findExif(exif, "Exif.Image.DNGVersion") != exif.end();
    return rawInfoFromMimeType(mimeType, dng);
}

oEXIV2::RawInfo oEXIV2::rawInfoFromMimeType(const QString& mimeType, bool hasDngVersion)
{
    struct Row
    {
        const char* mime;
        const char* type;
        bool raw;
    };
    static const Row table[] = {
        {"image/jpeg", "JPEG", false},
        {"image/x-exv", "EXV", false},
        {"image/x-canon-cr2", "CR2", true},
        {"image/x-canon-crw", "CRW", true},
        {"image/x-minolta-mrw", "MRW", true},
        {"image/x-nikon-nef", "NEF", true},
        {"image/x-pentax-pef", "PEF", true},
        {"image/x-panasonic-rw2", "RW2", true},
        {"image/x-samsung-srw", "SRW", true},
        {"image/x-olympus-orf", "ORF", true},
        {"image/png", "PNG", false},
        {"image/pgf", "PGF", false},
        {"image/x-fuji-raf", "RAF", true},
        {"image/x-photoshop", "PSD", false},
        {"application/postscript", "EPS", false},
        {"application/rdf+xml", "XMP", false},
        {"image/jp2", "JP2", false},
    };
    for (const Row& row : table) {
        if (mimeType == QLatin1String(row.mime))
            return RawInfo{row.raw, QString::fromLatin1(row.type)};
    }
    if (mimeType == QLatin1String("image/tiff")) {
        if (hasDngVersion)
            return RawInfo{true, QStringLiteral("DNG")};
        return RawInfo{false, QStringLiteral("TIFF")};
    }
    return RawInfo{false, mimeType};
}

double oEXIV2::decimalDegrees(const QList<float>& components, QChar reference)
{
    if (components.size() != 3)
        return 0;
    double degrees = static_cast<double>(components[0]) +
                     static_cast<double>(components[1]) / 60.0 +
                     static_cast<double>(components[2]) / 3600.0;
    const char ref = reference.toLatin1();
    if (ref == 'S' || ref == 's' || ref == 'W' || ref == 'w')
        degrees = -degrees;
    return degrees;
}

bool oEXIV2::skipExifTag(const QString& tagName, const QString& ifd, const QString& fullKey)
{
    if (ifd == QLatin1String("Makernote"))
        return fullKey == QLatin1String("Exif.MakerNote.Offset");
    // Offsets, byte counts and blocks that other sections or steps show in their own form.
    static const QSet<QString> skipped = {
        QStringLiteral("ExifTag"),           QStringLiteral("PrintImageMatching"),
        QStringLiteral("MakerNote"),         QStringLiteral("StripOffsets"),
        QStringLiteral("StripByteCounts"),   QStringLiteral("XMLPacket"),
        QStringLiteral("InterColorProfile"), QStringLiteral("TileOffsets"),
        QStringLiteral("TileByteCounts"),    QStringLiteral("JPEGTables"),
        QStringLiteral("DNGPrivateData"),    QStringLiteral("GPSTag"),
        QStringLiteral("SubIFDs"),
    };
    return skipped.contains(tagName);
}

QString oEXIV2::makernoteGroupName(const QString& group)
{
    static const QHash<QString, QString> names = [] {
        QHash<QString, QString> map;
        const auto add = [&map](std::initializer_list<const char*> groups, const char* name) {
            for (const char* g : groups)
                map.insert(QString::fromLatin1(g), QString::fromLatin1(name));
        };
        add({"Nikon1", "Nikon2", "Nikon3"}, "Nikon Tags");
        add({"NikonVr"}, "Vibration Reduction");
        add({"NikonPc"}, "Picture Control");
        add({"NikonWt"}, "World Time");
        add({"NikonIi"}, "ISO Info");
        add({"NikonAf", "NikonAf2"}, "Auto Focus");
        add({"NikonAFT"}, "AF Fine Tune");
        add({"NikonFi", "CanonFi"}, "File Info");
        add({"NikonMe"}, "Multi Exposure");
        add({"NikonFl1", "NikonFl2", "NikonFl3"}, "Flash Info");
        add({"NikonSiD80", "NikonSiD40", "NikonSiD300a", "NikonSiD300b", "NikonSi02xx", "CanonSi"},
            "Shot Info");
        add({"NikonCb1", "NikonCb2", "NikonCb2a", "NikonCb2b", "NikonCb3", "NikonCb4"},
            "Color Balance");
        add({"NikonLd1", "NikonLd2", "NikonLd3"}, "Lens Data");
        add({"Canon"}, "Canon Tags");
        add({"CanonCs", "MinoltaCsNew", "MinoltaCs5D", "MinoltaCs7D", "OlympusCs", "Sony1Cs",
             "Sony1Cs2", "Sony1MltCsOld", "Sony1MltCsNew", "Sony1MltCs7D", "Sony1MltCsA100"},
            "Camera Settings");
        add({"CanonPa"}, "Panorama");
        add({"CanonCf"}, "Custom Function");
        add({"CanonPi"}, "Picture Info");
        add({"Fujifilm"}, "Fujifilm Tags");
        add({"Minolta"}, "Minolta Tags");
        add({"Olympus"}, "Olympus Tags");
        add({"OlympusEq"}, "Equipment");
        add({"OlympusRd", "OlympusRd2"}, "Raw Development");
        add({"OlympusIp"}, "Image Processing");
        add({"OlympusFi"}, "Focus Info");
        add({"OlympusFe1"}, "FE");
        add({"OlympusRi"}, "Raw Info");
        add({"Panasonic"}, "Panasonic Tags");
        add({"Pentax", "PentaxDng"}, "Pentax Tags");
        add({"Samsung2"}, "Samsung Tags");
        add({"Sigma"}, "Sigma/Foveon Tags");
        add({"Sony1"}, "Sony Tags");
        add({"SonyMinolta"}, "Sony Minolta Tags");
        return map;
    }();
    return names.value(group, group);
}

// ---------------------------------------------------------------------------------------
// IPTC and XMP

void oEXIV2::prepareIptc(Exiv2::Image& image, ImageDataRecord& result)
{
    QStringList keys;
    QHash<QString, IptcEntry> entries;
    try {
        const Exiv2::IptcData& iptc = image.iptcData();
        for (const Exiv2::Iptcdatum& datum : iptc) {
            const auto key = fromLibrary(datum.key());
            const auto label = fromLibrary(datum.tagLabel());
            const auto value = fromLibrary(datum.print());
            if (!key || !label || label->isEmpty() || !value || value->isEmpty())
                continue;
            auto existing = entries.find(*key);
            if (existing != entries.end()) {
                existing->label = *label;
                existing->value = existing->value + QStringLiteral(", ") + *value;
            } else {
                entries.insert(*key, IptcEntry{*label, *value});
                keys.append(*key);
            }
        }
    } catch (const Exiv2::AnyError& e) {
        logLine(QStringLiteral("exiv2 exception in Iptc: %1").arg(exivMessage(e)));
    }
    if (!keys.isEmpty()) {
        result.iptcKeys = keys;
        result.iptcData = entries;
    }
}

void oEXIV2::prepareXmp(Exiv2::Image& image, ImageDataRecord& result)
{
    QStringList keys;
    QHash<QString, XmpEntry> entries;
    try {
        const Exiv2::XmpData& xmp = image.xmpData();
        for (const Exiv2::Xmpdatum& datum : xmp) {
            const std::string keyText = datum.key();
            try {
                const auto key = fromLibrary(keyText);
                const auto value = fromLibrary(datum.print());
                const auto group = fromLibrary(datum.groupName());
                const auto label = fromLibrary(datum.tagLabel());
                if (!key || !value || !group || !label || label->isEmpty())
                    continue;
                if (!entries.contains(*key))
                    keys.append(*key);
                entries.insert(*key, XmpEntry{*value, *label, *group});
            } catch (const Exiv2::AnyError& e) {
                logLine(QStringLiteral("xmp failed %1: %2")
                            .arg(QString::fromStdString(keyText), exivMessage(e)));
            }
        }
    } catch (const Exiv2::AnyError& e) {
        logLine(QStringLiteral("exiv2 exception in XMP: %1").arg(exivMessage(e)));
    } catch (const std::exception& e) {
        logLine(QStringLiteral("exiv2 std exception in XMP: %1").arg(exivMessage(e)));
    } catch (...) {
        logLine(QStringLiteral("Unknown exiv2 exception in XMP"));
    }
    if (!keys.isEmpty()) {
        result.xmpKeys = keys;
        result.xmpData = entries;
    }
}

// ---------------------------------------------------------------------------------------
// Colour profile and previews

void oEXIV2::prepareColorProfile(Exiv2::Image& image, ImageDataRecord& result)
{
    try {
        QByteArray icc;
        const Exiv2::ExifData& exif = image.exifData();
        if (!exif.empty()) {
            const auto it = findExif(exif, "Exif.Image.InterColorProfile");
            if (it != exif.end() && it->size() >= 1) {
                icc.resize(it->size());
                it->copy(reinterpret_cast<Exiv2::byte*>(icc.data()), image.byteOrder());
            }
        }
        // JPEG and PNG keep their profile outside the Exif block. The MIME type decides,
        // so that a file without Exif data (and so without a format name) still shows it.
        const std::string mimeType = image.mimeType();
        if (icc.isEmpty() && (mimeType == "image/jpeg" || mimeType == "image/png")) {
            std::ostringstream stream;
            image.printStructure(stream, Exiv2::kpsIccProfile, 0);
            const std::string bytes = stream.str();
            icc = QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
        }
        if (!icc.isEmpty())
            prepareColorProfileWithData(icc, result);
    } catch (const Exiv2::AnyError& e) {
        logLine(QStringLiteral("exiv2 exception in ColorProfile: %1").arg(exivMessage(e)));
    }
}

void oEXIV2::prepareColorProfileWithData(const QByteArray& icc, ImageDataRecord& result)
{
    const auto space = IccProfile::colorSpaceFromData(icc);
    if (!space)
        return;
    if (space->model)
        result.iccProfileColorSpaceModel = *space->model;
    if (space->name)
        result.iccProfileColorSpace = *space->name;
}

qsizetype oEXIV2::choosePreview(const QList<PreviewChoiceInfo>& previews)
{
    qsizetype chosen = -1;
    bool tallSeen = false;
    for (qsizetype i = 0; i < previews.size(); ++i) {
        const bool tall = previews[i].height >= 256;
        const bool jpeg = previews[i].mimeType == QLatin1String("image/jpeg");
        if (!tallSeen) {
            chosen = i;
            tallSeen = tall;
            if (tall && jpeg)
                return i;
        } else if (tall && jpeg) {
            return i;
        }
    }
    return chosen;
}

void oEXIV2::prepareThumbnails(Exiv2::Image& image, ImageDataRecord& result)
{
    try {
        Exiv2::PreviewManager manager(image);
        const Exiv2::PreviewPropertiesList list = manager.getPreviewProperties();
        result.thumbCount = QString::number(list.size());
        if (list.empty())
            return;

        QList<PreviewChoiceInfo> choice;
        for (const Exiv2::PreviewProperties& properties : list)
            choice.append({static_cast<quint32>(properties.height_),
                           QString::fromStdString(properties.mimeType_)});
        const qsizetype chosen = choosePreview(choice);

        for (qsizetype i = 0; i < static_cast<qsizetype>(list.size()); ++i) {
            const Exiv2::PreviewImage preview = manager.getPreviewImage(list[i]);
            result.previews.append(QString::asprintf(
                "%u x %u (%s, %u bytes)", static_cast<unsigned>(preview.width()),
                static_cast<unsigned>(preview.height()), preview.mimeType().c_str(),
                static_cast<unsigned>(preview.size())));
            if (i == chosen && preview.size() > 0) {
                result.thumb = QByteArray(reinterpret_cast<const char*>(preview.pData()),
                                          static_cast<qsizetype>(preview.size()));
                result.thumbHeight = static_cast<int>(preview.height());
            }
        }
    } catch (const Exiv2::AnyError& e) {
        logLine(QStringLiteral("exiv2 exception in Thumbnails: %1").arg(exivMessage(e)));
    }
}

// ---------------------------------------------------------------------------------------
// HEIF metadata blocks

oEXIV2::BlockResult oEXIV2::prepareExifFromMemory(const QByteArray& tiff, ImageDataRecord& result)
{
    try {
        const auto* bytes = reinterpret_cast<const Exiv2::byte*>(tiff.constData());
        const long size = static_cast<long>(tiff.size());
        if (Exiv2::ImageFactory::getType(bytes, size) == Exiv2::ImageType::none)
            return BlockResult::NotRecognised;
        std::unique_ptr<Exiv2::Image> image(Exiv2::ImageFactory::open(bytes, size).release());
        if (!image)
            return BlockResult::NotRecognised;
        image->readMetadata();
        prepareExif(*image, result);
        return BlockResult::Decoded;
    } catch (...) {
        return BlockResult::Failed;
    }
}

oEXIV2::BlockResult oEXIV2::prepareXmpFromMemory(const QByteArray& packet, ImageDataRecord& result)
{
    try {
        const auto* bytes = reinterpret_cast<const Exiv2::byte*>(packet.constData());
        const long size = static_cast<long>(packet.size());
        if (Exiv2::ImageFactory::getType(bytes, size) == Exiv2::ImageType::none)
            return BlockResult::NotRecognised;
        std::unique_ptr<Exiv2::Image> image(Exiv2::ImageFactory::open(bytes, size).release());
        if (!image)
            return BlockResult::NotRecognised;
        image->readMetadata();
        prepareXmp(*image, result);
        return BlockResult::Decoded;
    } catch (...) {
        return BlockResult::Failed;
    }
}

// ---------------------------------------------------------------------------------------
// Class operations

void oEXIV2::setupLibrary()
{
    initializeXmpParser();
    Exiv2::enableBMFF(true);
    // The library writes its warnings about damaged files to standard error; every
    // failure that matters reaches our log through the steps' own messages instead.
    Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
    Exiv2::LogMsg::setHandler(nullptr);
}

void oEXIV2::initializeXmpParser()
{
    Exiv2::XmpParser::initialize();
    try {
        Exiv2::XmpProperties::registerNs("http://ns.apple.com/faceinfo/1.0/", "apple-fi");
    } catch (const Exiv2::AnyError& e) {
        logLine(QStringLiteral("exiv2 exception in registerNs: %1").arg(exivMessage(e)));
    }
}

bool oEXIV2::savePreviewsOfFile(const QString& file, const QString& folder, QStringList* files)
{
    if (files)
        files->clear();
    std::unique_ptr<Exiv2::Image> image;
    try {
        image = openImage(file);
        if (!image)
            return false;
        image->readMetadata();
    } catch (...) {
        return false;
    }

    const QString base = QDir(folder).filePath(QFileInfo(file).completeBaseName());
    QStringList written;
    try {
        Exiv2::PreviewManager manager(*image);
        const Exiv2::PreviewPropertiesList list = manager.getPreviewProperties();
        long n = 0;
        for (const Exiv2::PreviewProperties& properties : list) {
            ++n;
            const Exiv2::PreviewImage preview = manager.getPreviewImage(properties);
            const QString path = QStringLiteral("%1 #%2").arg(base).arg(n);
            const long bytes = preview.writeFile(toLibraryPath(path));
            const QString target = path + QString::fromStdString(preview.extension());
            if (bytes != static_cast<long>(preview.size())) {
                logLine(QStringLiteral("Failed to write preview %1").arg(target));
                break;
            }
            written.append(target);
        }
    } catch (const Exiv2::AnyError& e) {
        logLine(QStringLiteral("exiv2 exception in savePreviews: %1").arg(exivMessage(e)));
    } catch (const std::exception& e) {
        logLine(QStringLiteral("exception in savePreviews: %1").arg(exivMessage(e)));
    }
    if (files)
        *files = written;
    return true;
}

std::optional<QString> oEXIV2::outputOnFile(const QString& path)
{
    try {
        if (Exiv2::ImageFactory::getType(toLibraryPath(path)) == Exiv2::ImageType::none)
            return std::nullopt;
        std::unique_ptr<Exiv2::Image> image = openImage(path);
        if (!image)
            return std::nullopt;
        image->readMetadata();
        const auto text = [](const std::string& s) { return fromLibrary(s).value_or(QString()); };
        QStringList lines;
        const Exiv2::ExifData& exif = image->exifData();
        if (!exif.empty()) {
            lines.append(QStringLiteral("Exif\n================"));
            for (const Exiv2::Exifdatum& d : exif)
                lines.append(QStringLiteral("[%1] %2 (%3): %4")
                                 .arg(text(d.ifdName()), text(d.key()), text(d.tagLabel()),
                                      text(d.print(&exif))));
        }
        const Exiv2::IptcData& iptc = image->iptcData();
        if (!iptc.empty()) {
            if (!lines.isEmpty())
                lines.append(QStringLiteral("\n"));
            lines.append(QStringLiteral("IPTC\n================"));
            for (const Exiv2::Iptcdatum& d : iptc)
                lines.append(QStringLiteral("%1 (%2) : %3")
                                 .arg(text(d.tagLabel()), text(d.key()), text(d.print())));
        }
        const Exiv2::XmpData& xmp = image->xmpData();
        if (!xmp.empty()) {
            if (!lines.isEmpty())
                lines.append(QStringLiteral("\n"));
            lines.append(QStringLiteral("XMP\n================"));
            for (const Exiv2::Xmpdatum& d : xmp)
                lines.append(QStringLiteral("%1: %2 (%3) : %4")
                                 .arg(text(d.groupName()), text(d.tagLabel()), text(d.key()),
                                      text(d.print())));
        }
        return lines.join(QLatin1Char('\n'));
    } catch (const Exiv2::AnyError& e) {
        logLine(QStringLiteral("Exiv2 exception: %1").arg(exivMessage(e)));
    } catch (const std::exception& e) {
        logLine(exivMessage(e));
    }
    return std::nullopt;
}

std::optional<QString> oEXIV2::structureOfFile(const QString& path)
{
    try {
        if (Exiv2::ImageFactory::getType(toLibraryPath(path)) == Exiv2::ImageType::none)
            return std::nullopt;
        std::unique_ptr<Exiv2::Image> image = openImage(path);
        if (!image)
            return std::nullopt;
        image->readMetadata();
        std::ostringstream stream;
        image->printStructure(stream, Exiv2::kpsRecursive, 0);
        return QString::fromUtf8(stream.str());
    } catch (const Exiv2::AnyError& e) {
        return QStringLiteral("Exiv2 exception: %1").arg(exivMessage(e));
    } catch (const std::exception& e) {
        return QStringLiteral("Exiv2 exception: %1").arg(exivMessage(e));
    }
}

std::optional<QString> oEXIV2::rawXmpOfFile(const QString& path)
{
    try {
        if (Exiv2::ImageFactory::getType(toLibraryPath(path)) == Exiv2::ImageType::none)
            return std::nullopt;
        std::unique_ptr<Exiv2::Image> image = openImage(path);
        if (!image)
            return std::nullopt;
        image->readMetadata();
        return QString::fromUtf8(image->xmpPacket());
    } catch (const Exiv2::AnyError& e) {
        return QStringLiteral("Exiv2 exception: %1").arg(exivMessage(e));
    } catch (const std::exception& e) {
        return QStringLiteral("Exiv2 exception: %1").arg(exivMessage(e));
    }
}

} // namespace perspix
