// The Exiv2 adapter (see oEXIV2.h). Every Exiv2 exception is caught here: a failure while
// opening means "no object", a failure inside one step is logged and the other steps run.
#include "readers/image/oEXIV2.h"

#include <atomic>
#include <dlfcn.h>
#include <fcntl.h>
#include <mutex>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <cstring>
#include <exiv2/exiv2.hpp>
#include <sstream>
#include <string_view>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>

#include "model/Log.h"
#include "model/NativePath.h"
#include "readers/image/HeifReader.h"
#include "readers/image/IccProfile.h"

namespace perspix {

namespace {
// The XMP toolkit keeps global state: without a lock, two threads parsing XMP at once
// make one of them lose its packet.
std::recursive_mutex g_xmpToolkitLock;

void lockXmpToolkit(void* data, bool lock)
{
    auto* mutex = static_cast<std::recursive_mutex*>(data);
    if (lock)
        mutex->lock();
    else
        mutex->unlock();
}

// Packets decoded through the guarded decode below, and whether set-up saw the library's
// own reads go through it.
std::atomic<unsigned long> g_guardedDecodes{0};
std::atomic<bool> g_decodesGuarded{false};

using DecodeFunction = int (*)(Exiv2::XmpData&, const std::string&);

DecodeFunction libraryDecode()
{
    static const auto decode = reinterpret_cast<DecodeFunction>(
        dlsym(RTLD_NEXT,
#if _GLIBCXX_USE_CXX11_ABI
              "_ZN5Exiv29XmpParser6decodeERNS_7XmpDataERKNSt7__cxx1112basic_stringIcSt11char_"
              "traitsIcESaIcEEE"
#else
              "_ZN5Exiv29XmpParser6decodeERNS_7XmpDataERKSs"
#endif
              ));
    return decode;
}

void readMetadataLocked(Exiv2::Image& image)
{
    if (g_decodesGuarded.load(std::memory_order_relaxed)) {
        image.readMetadata();
        return;
    }
    // Without the guarded decode every read takes the toolkit's lock, since any of them
    // may decode a packet.
    std::lock_guard guard(g_xmpToolkitLock);
    image.readMetadata();
}
} // namespace

} // namespace perspix

// Exiv2 0.27 decodes XMP packets (inside every readMetadata) without the lock it was given
// in XmpParser::initialize, and two decodes at once can fail with "Schema namespace URI
// and prefix mismatch", which drops the whole packet. The library calls this function
// through the dynamic linker, so this definition is the one it reaches: it takes the
// toolkit's lock for packets only, and reads of files without XMP stay parallel.
// setupLibrary checks that the library's reads come here and otherwise locks every read.
int Exiv2::XmpParser::decode(Exiv2::XmpData& xmpData, const std::string& xmpPacket)
{
    const perspix::DecodeFunction decode = perspix::libraryDecode();
    if (!decode) {
        xmpData.clear();
        return 2;
    }
    if (xmpPacket.empty())
        return decode(xmpData, xmpPacket);
    perspix::g_guardedDecodes.fetch_add(1, std::memory_order_relaxed);
    std::lock_guard guard(perspix::g_xmpToolkitLock);
    return decode(xmpData, xmpPacket);
}

namespace perspix {

void oEXIV2::readMetadataGuarded(Exiv2::Image& image)
{
    readMetadataLocked(image);
}

void oEXIV2::writeMetadataGuarded(Exiv2::Image& image)
{
    std::lock_guard guard(g_xmpToolkitLock);
    image.writeMetadata();
}

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

// The text the library prints for an entry, written through one stream per thread that is
// reset to a new stream's state each time: the stream that Metadatum::print makes for every
// entry cost more than most entries' text.
std::string printed(const Exiv2::Metadatum& datum, const Exiv2::ExifData* exif = nullptr)
{
    thread_local std::ostringstream stream;
    thread_local const std::ios::fmtflags freshFlags = stream.flags();
    thread_local const char freshFill = stream.fill();
    stream.str(std::string());
    stream.clear();
    stream.flags(freshFlags);
    stream.precision(6);
    stream.width(0);
    stream.fill(freshFill);
    datum.write(stream, exif);
    return stream.str();
}

std::optional<QString> fromLibrary(const std::string& text)
{
    return fromLibrary(text.c_str());
}

std::string toLibraryPath(const QString& path)
{
    return NativePath::encoded(path).toStdString();
}

std::unique_ptr<Exiv2::Image> openImage(const QString& path)
{
    // Reading a pipe or a device can block for ever.
    if (!NativePath::isRegularFile(path))
        return nullptr;
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

// The library names a BMFF file by the major brand of its "ftyp" box: HEIF and AVIF
// brands, Canon CR3, JPEG XL, and a generic type for everything else (MP4 and M4A films
// and sound). Only CR3 and JPEG XL stay with this adapter; the brand is looked at before
// the library parses every box of the file only to be turned away.
bool isBmffLeftToOtherReaders(Exiv2::BasicIo& io)
{
    Exiv2::byte header[12] = {};
    if (io.open() != 0)
        return true;
    const long read = io.read(header, sizeof header);
    io.close();
    if (read != static_cast<long>(sizeof header))
        return true;
    // A JPEG XL container opens with its own signature box before "ftyp".
    const std::string first(reinterpret_cast<const char*>(header + 4), 4);
    const std::string brand(reinterpret_cast<const char*>(header + 8), 4);
    return first != "JXL " && brand != "crx " && brand != "jxl ";
}

// Films and sound whose first bytes say so. Asked to open one, the library tries its image
// types one after the other (some seventy seeks and reads) only to turn it away; these
// signatures belong to none of its image types. The library knows TGA images by their name
// alone, so such names are always left to it.
bool isPlainlyNotAnImage(const QString& path)
{
    if (path.endsWith(QLatin1String(".tga"), Qt::CaseInsensitive))
        return false;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    unsigned char header[12] = {};
    const ssize_t got = ::read(fd, header, sizeof header);
    ::close(fd);
    if (got != static_cast<ssize_t>(sizeof header))
        return false;
    const auto at = [&header](std::size_t offset, std::string_view text) {
        return std::memcmp(header + offset, text.data(), text.size()) == 0;
    };
    static constexpr char asf[] = "\x30\x26\xB2\x75\x8E\x66\xCF\x11";
    if (at(0, "\x1A\x45\xDF\xA3") || at(0, "ID3") || at(0, "fLaC") || at(0, "OggS") ||
        at(0, std::string_view(asf, 8)))
        return true;
    if (at(0, "RIFF"))
        return !at(8, "WEBP");
    // The brands the library keeps (Canon CR3, JPEG XL) as in isBmffLeftToOtherReaders.
    if (at(4, "ftyp"))
        return !at(8, "crx ") && !at(8, "jxl ");
    return false;
}

Exiv2::ExifData::const_iterator findExif(const Exiv2::ExifData& exif, const char* key)
{
    return exif.findKey(Exiv2::ExifKey(key));
}

} // namespace

// Exif data looked up by key. The library's own lookup compares a fresh copy of every
// datum's key with the one asked for, and the Exif step asks for some twenty keys.
class ExifIndex
{
public:
    // The first datum of each key, as the library's lookup finds it.
    void add(std::string key, const Exiv2::Exifdatum& datum)
    {
        m_data.emplace(std::move(key), &datum);
    }
    void reserve(size_t count) { m_data.reserve(count); }
    const Exiv2::Exifdatum* find(const std::string& key) const
    {
        const auto it = m_data.find(key);
        return it == m_data.end() ? nullptr : it->second;
    }
    const Exiv2::Exifdatum* find(const char* key) const { return find(std::string(key)); }
    const Exiv2::Exifdatum* find(const QString& key) const { return find(key.toStdString()); }

private:
    std::unordered_map<std::string, const Exiv2::Exifdatum*> m_data;
};

namespace {

// Offsets, byte counts and blocks that other sections or steps show in their own form;
// outside makernotes these tags are left out. A fixed table, shared by every thread.
bool isSkippedTagName(std::string_view tagName)
{
    static constexpr std::string_view skipped[] = {
        "ExifTag",         "PrintImageMatching", "MakerNote",         "StripOffsets",
        "StripByteCounts", "XMLPacket",          "InterColorProfile", "TileOffsets",
        "TileByteCounts",  "JPEGTables",         "DNGPrivateData",    "GPSTag",
        "SubIFDs",
    };
    for (std::string_view name : skipped)
        if (name == tagName)
            return true;
    return false;
}

// The datum Exiv2::lensName answers: the first of these keys that the block holds, in
// this order (the library's own table, version 0.27). The library looks each key up by
// comparing copies of every datum's key; the index finds them at once.
const Exiv2::Exifdatum* lensDatum(const ExifIndex& index)
{
    static const char* const keys[] = {
        "Exif.CanonCs.LensType",      "Exif.Photo.LensModel",       "Exif.NikonLd1.LensIDNumber",
        "Exif.NikonLd2.LensIDNumber", "Exif.NikonLd3.LensIDNumber", "Exif.Pentax.LensType",
        "Exif.PentaxDng.LensType",    "Exif.Minolta.LensID",        "Exif.SonyMinolta.LensID",
        "Exif.Sony1.LensID",          "Exif.Sony2.LensID",          "Exif.OlympusEq.LensType",
        "Exif.Panasonic.LensType",    "Exif.Samsung2.LensType",
    };
    for (const char* key : keys)
        if (const Exiv2::Exifdatum* datum = index.find(key))
            return datum;
    return nullptr;
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
    if (isPlainlyNotAnImage(path))
        return nullptr;
    try {
        std::unique_ptr<Exiv2::Image> image = openImage(path);
        // Films are turned away before their (possibly long) metadata is read. The MIME
        // type is asked only afterwards: a TIFF-based image learns its own from the tags.
        if (!image || isFilmType(image->imageType()))
            return nullptr;
        if (image->imageType() == Exiv2::ImageType::bmff && isBmffLeftToOtherReaders(image->io()))
            return nullptr;
        readMetadataLocked(*image);
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
    ExifIndex index;
    index.reserve(exif.count());
    try {
        // The library's IFD names are a few static texts: each is decoded once.
        QList<std::pair<const char*, std::optional<QString>>> ifdNames;
        const auto ifdName = [&ifdNames](const char* name) {
            for (const auto& [known, text] : ifdNames)
                if (known == name)
                    return text;
            ifdNames.append({name, fromLibrary(name)});
            return ifdNames.last().second;
        };
        for (const Exiv2::Exifdatum& datum : exif) {
            std::string keyText = datum.key();
            const std::string tagName = datum.tagName();
            const char* ifdText = datum.ifdName();
            const bool skipped = ifdText && std::strcmp(ifdText, "Makernote") == 0
                                     ? keyText == "Exif.MakerNote.Offset"
                                     : isSkippedTagName(tagName);
            const auto key = fromLibrary(keyText);
            index.add(std::move(keyText), datum);
            if (skipped)
                continue;
            const auto ifd = ifdName(ifdText);
            if (!key || !ifd || ifd->isEmpty())
                continue;
            std::string labelText = datum.tagLabel();
            if (labelText.empty())
                labelText = tagName;
            const auto label = fromLibrary(labelText);
            auto value = fromLibrary(printed(datum, &exif));
            if (!label || label->isEmpty() || !value || value->isEmpty())
                continue;
            const long size = datum.size();
            if (isIntegerOrUndefined(datum.typeId()) && size > 32 && value->size() > size)
                value = QString::asprintf("(Binary data, %ld bytes)", size);
            // A key met twice keeps its first place and its last value.
            const auto existing = entries.find(*key);
            if (existing == entries.end()) {
                keys.append(*key);
                entries.insert(*key, ExifEntry{*value, *label, *ifd});
            } else {
                *existing = ExifEntry{*value, *label, *ifd};
            }
        }

        if (const Exiv2::Exifdatum* lens = lensDatum(index)) {
            if (auto name = fromLibrary(printed(*lens, &exif)))
                easy.lensName = *name;
        }

        const Exiv2::Exifdatum* lat = index.find("Exif.GPSInfo.GPSLatitude");
        const Exiv2::Exifdatum* latRef = index.find("Exif.GPSInfo.GPSLatitudeRef");
        const Exiv2::Exifdatum* lon = index.find("Exif.GPSInfo.GPSLongitude");
        const Exiv2::Exifdatum* lonRef = index.find("Exif.GPSInfo.GPSLongitudeRef");
        if (lat && latRef && lon && lonRef) {
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
        const RawInfo raw = rawInfoFromExifData(index, mimeType);
        m_isRaw = raw.isRaw;
        result.imageType = raw.imageType;

        const Exiv2::Exifdatum* orientation = index.find("Exif.Image.Orientation");
        if (orientation && orientation->count() > 0) {
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
            const QString group = primaryGroupOf(index);
            m_tiffPrimaryGroup = group;
            const auto firstComponent = [&index](const QString& key) -> long {
                const Exiv2::Exifdatum* datum = index.find(key);
                return datum && datum->count() > 0 ? datum->toLong(0) : 0;
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

QString oEXIV2::primaryGroupOf(const ExifIndex& exif)
{
    QString primary = QStringLiteral("Image");
    for (int i = 0; i <= 9; ++i) {
        const QString key = i == 0 ? QStringLiteral("Exif.Image.NewSubfileType")
                                   : QStringLiteral("Exif.SubImage%1.NewSubfileType").arg(i);
        const Exiv2::Exifdatum* datum = exif.find(key);
        if (!datum || datum->count() < 1 || datum->toLong(0) != 0)
            continue;
        primary = QString::fromStdString(datum->groupName());
        if (!exif.find(QStringLiteral("Exif.%1.JPEGInterchangeFormat").arg(primary)))
            break;
    }
    return primary;
}

oEXIV2::RawInfo oEXIV2::rawInfoFromExifData(const ExifIndex& exif, const QString& mimeType)
{
    const bool dng = exif.find("Exif.Image.DNGVersion") != nullptr;
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
    return isSkippedTagName(tagName.toStdString());
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
            const auto value = fromLibrary(printed(datum));
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
                const auto value = fromLibrary(printed(datum));
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
        // Reading the metadata has already gathered a JPEG's profile segments; the
        // structure printer would read the file a second time for the same bytes.
        const std::string mimeType = image.mimeType();
        if (icc.isEmpty() && (mimeType == "image/jpeg" || mimeType == "image/png")) {
            if (image.iccProfileDefined()) {
                const Exiv2::DataBuf* profile = image.iccProfile();
                icc = QByteArray(reinterpret_cast<const char*>(profile->pData_),
                                 static_cast<qsizetype>(profile->size_));
            } else if (mimeType == "image/png") {
                std::ostringstream stream;
                image.printStructure(stream, Exiv2::kpsIccProfile, 0);
                const std::string bytes = stream.str();
                icc = QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
            }
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

namespace {

// Exif groups in which the library's preview loaders look for nothing: the photo, GPS and
// interoperability directories, and the maker notes that hold no preview. Every loader
// looks its tags up one by one through the whole Exif list, so a Canon or Nikon photo's
// hundreds of maker-note entries made finding its previews cost more than reading it.
bool holdsNoPreview(const std::string& group)
{
    static const std::unordered_set<std::string> groups = {
        "Photo", "GPSInfo", "Iop", "Fujifilm", "Sigma", "Panasonic", "Samsung2"};
    if (groups.count(group))
        return true;
    const auto startsWith = [&group](std::string_view prefix) {
        return group.compare(0, prefix.size(), prefix) == 0;
    };
    return startsWith("Canon") || (startsWith("Nikon") && group != "NikonPreview") ||
           (startsWith("Sony") && group != "SonyMinolta");
}

// While alive, the image's Exif list holds only the entries of groups that may describe a
// preview; the whole list comes back afterwards.
class PreviewExifView
{
public:
    explicit PreviewExifView(Exiv2::Image& image) : m_live(image.exifData())
    {
        for (const Exiv2::Exifdatum& datum : m_live)
            if (!holdsNoPreview(datum.groupName()))
                m_kept.add(datum);
        std::swap(m_live, m_kept);
    }
    ~PreviewExifView() { std::swap(m_live, m_kept); }
    PreviewExifView(const PreviewExifView&) = delete;
    PreviewExifView& operator=(const PreviewExifView&) = delete;

private:
    Exiv2::ExifData& m_live;
    Exiv2::ExifData m_kept;
};

} // namespace

void oEXIV2::prepareThumbnails(Exiv2::Image& image, ImageDataRecord& result)
{
    try {
        const PreviewExifView view(image);
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

oEXIV2::BlockResult oEXIV2::prepareFromMemory(const QByteArray& block, ImageDataRecord& result,
                                              void (oEXIV2::*prepare)(Exiv2::Image&,
                                                                      ImageDataRecord&))
{
    try {
        const auto* bytes = reinterpret_cast<const Exiv2::byte*>(block.constData());
        const long size = static_cast<long>(block.size());
        if (Exiv2::ImageFactory::getType(bytes, size) == Exiv2::ImageType::none)
            return BlockResult::NotRecognised;
        std::unique_ptr<Exiv2::Image> image(Exiv2::ImageFactory::open(bytes, size).release());
        if (!image)
            return BlockResult::NotRecognised;
        readMetadataLocked(*image);
        (this->*prepare)(*image, result);
        return BlockResult::Decoded;
    } catch (...) {
        return BlockResult::Failed;
    }
}

oEXIV2::BlockResult oEXIV2::prepareExifFromMemory(const QByteArray& tiff, ImageDataRecord& result)
{
    return prepareFromMemory(tiff, result, &oEXIV2::prepareExif);
}

oEXIV2::BlockResult oEXIV2::prepareXmpFromMemory(const QByteArray& packet, ImageDataRecord& result)
{
    return prepareFromMemory(packet, result, &oEXIV2::prepareXmp);
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
    Exiv2::XmpParser::initialize(lockXmpToolkit, &g_xmpToolkitLock);
    try {
        Exiv2::XmpProperties::registerNs("http://ns.apple.com/faceinfo/1.0/", "apple-fi");
    } catch (const Exiv2::AnyError& e) {
        logLine(QStringLiteral("exiv2 exception in registerNs: %1").arg(exivMessage(e)));
    }
    g_decodesGuarded.store(libraryReadsDecodeGuarded());
}

bool oEXIV2::libraryReadsDecodeGuarded()
{
    // A sidecar read from memory decodes its packet the way every image read does.
    static const char packet[] =
        "<?xpacket begin='' id='W5M0MpCehiHzreSzNTczkc9d'?>"
        "<x:xmpmeta xmlns:x='adobe:ns:meta/'>"
        "<rdf:RDF xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'>"
        "<rdf:Description rdf:about='' xmlns:dc='http://purl.org/dc/elements/1.1/'>"
        "<dc:format>image/jpeg</dc:format></rdf:Description></rdf:RDF></x:xmpmeta>"
        "<?xpacket end='w'?>";
    const unsigned long before = g_guardedDecodes.load();
    try {
        std::unique_ptr<Exiv2::Image> image(
            Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte*>(packet),
                                      static_cast<long>(sizeof packet - 1))
                .release());
        if (!image)
            return false;
        image->readMetadata();
        return g_guardedDecodes.load() != before && image->xmpData().count() == 1;
    } catch (...) {
        return false;
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
        readMetadataLocked(*image);
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
        if (!NativePath::isRegularFile(path) ||
            Exiv2::ImageFactory::getType(toLibraryPath(path)) == Exiv2::ImageType::none)
            return std::nullopt;
        std::unique_ptr<Exiv2::Image> image = openImage(path);
        if (!image)
            return std::nullopt;
        readMetadataLocked(*image);
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
        if (!NativePath::isRegularFile(path) ||
            Exiv2::ImageFactory::getType(toLibraryPath(path)) == Exiv2::ImageType::none)
            return std::nullopt;
        std::unique_ptr<Exiv2::Image> image = openImage(path);
        if (!image)
            return std::nullopt;
        readMetadataLocked(*image);
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
        readMetadataLocked(*image);
        return QString::fromUtf8(image->xmpPacket());
    } catch (const Exiv2::AnyError& e) {
        return QStringLiteral("Exiv2 exception: %1").arg(exivMessage(e));
    } catch (const std::exception& e) {
        return QStringLiteral("Exiv2 exception: %1").arg(exivMessage(e));
    }
}

} // namespace perspix
