// The program's one gateway to the Exiv2 library: opens an image, reads its Exif, IPTC and
// XMP metadata, colour profile and embedded previews, and turns them into one image data
// record of plain Qt values. HEIF images reach the same record through HeifReader. Nothing
// outside this class sees an Exiv2 type.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

namespace Exiv2 {
class Image;
} // namespace Exiv2

namespace perspix {

class ExifIndex;

struct ExifEntry
{
    QString value; // printed with the whole Exif block as context
    QString label; // the tag's label, or its tag name when it has none
    QString ifd;   // "IFD0", "Exif", "GPSInfo", "SubImage1", ...; "Makernote" for makernotes
};

struct IptcEntry
{
    QString label;
    QString value; // repeated keys: the values joined with ", "
};

struct XmpEntry
{
    QString value;
    QString label;
    QString group; // namespace prefix: "dc", "exif", "crs", ...
};

// Values the general view needs without looking through the Exif entries.
struct EasyAccess
{
    std::optional<QString> lensName;
    std::optional<QString> gps; // "54°59'0"N 1°55'0"W"
    double gpsLatitude = 0;     // decimal degrees, set with gps
    double gpsLongitude = 0;

    bool isEmpty() const { return !lensName && !gps; }
};

// What the image readers know about one image. A list that is empty stands for a key the
// reader had nothing to store under.
struct ImageDataRecord
{
    QStringList exifKeys; // library order, each key once
    QHash<QString, ExifEntry> exifData;
    std::optional<EasyAccess> easyAccess;
    std::optional<QString> imageType; // "JPEG", "CR2", "TIFF", "HEIF", ... or the MIME type
    std::optional<QString> imageOrientationDegrees; // "0°", "180° CW", "270° CW", "90° CW"
    std::optional<QString> imageWidth;
    std::optional<QString> imageHeight;
    QStringList iptcKeys;
    QHash<QString, IptcEntry> iptcData;
    QStringList xmpKeys;
    QHash<QString, XmpEntry> xmpData;
    std::optional<QString> iccProfileColorSpaceModel; // "Gray", "RGB", "CMYK", "LAB"
    std::optional<QString> iccProfileColorSpace;      // the profile's description
    std::optional<QString> thumbCount;                // number of embedded previews
    QStringList previews;                             // one description per preview
    QByteArray thumb;                                 // encoded bytes of the chosen preview
    int thumbHeight = 0;
    std::optional<QString> imageCount; // HEIF: number of top-level images
};

// What the HEIF reader hands to prepareData: the file's own facts and the record that its
// Exif, XMP and colour-profile blocks filled.
struct HeifRecord
{
    QString format;
    std::optional<qint64> imageCount;
    std::optional<qint64> width;
    std::optional<qint64> height;
    std::optional<qint64> thumbCount;
    std::optional<ImageDataRecord> result;
    QStringList previews;
};

// The metadata parts that removeMetadata erases.
struct oEXIV2Metadata
{
    bool exif = false;      // Exif tags of the image and of the Exif IFD (not the makernote)
    bool makernote = false; // the maker's notes; raw files keep theirs
    bool gps = false;       // GPS tags (not the GPS version) and XMP GPS tags
    bool iptc = false;
    bool xmp = false;

    bool any() const { return exif || makernote || gps || iptc || xmp; }
    bool operator==(const oEXIV2Metadata&) const = default;
};

class oEXIV2
{
public:
    // Nothing when the library does not recognise the file as a still image (films and
    // the HEIF family are left to the other readers) or fails on it; nothing is logged.
    static std::unique_ptr<oEXIV2> initWithFilename(const QString& path);
    // Reads a HEIF image with libheif; nothing (and a logged line) on a libheif error.
    static std::unique_ptr<oEXIV2> initWithHeifFilePath(const QString& path);

    const std::optional<ImageDataRecord>& data() const { return m_data; }
    bool isImage() const { return m_isImage; }
    bool isRaw() const { return m_isRaw; }
    const std::optional<QString>& tiffPrimaryGroup() const { return m_tiffPrimaryGroup; }

    // Once at start, before any thread analyses a file: the XMP parser and its extra
    // namespace, BMFF support (Canon CR3 and the like) and the library's own messages,
    // which are muted.
    static void setupLibrary();
    static void initializeXmpParser();
    // True when the library's reads decode XMP packets one at a time through this adapter,
    // so that reads run in parallel; otherwise every read is serialised.
    static bool libraryReadsDecodeGuarded();

    static QString makernoteGroupName(const QString& group);
    static bool skipExifTag(const QString& tagName, const QString& ifd, const QString& fullKey);

    struct RawInfo
    {
        bool isRaw = false;
        QString imageType;
    };
    // The short format name of a MIME type; "image/tiff" depends on whether the Exif block
    // has a DNG version.
    static RawInfo rawInfoFromMimeType(const QString& mimeType, bool hasDngVersion);

    struct PreviewChoiceInfo
    {
        quint32 height = 0;
        QString mimeType;
    };
    // Index of the preview that becomes the cover: the first JPEG at least 256 pixels
    // high, else the first preview that high, else the last one. -1 for an empty list.
    static qsizetype choosePreview(const QList<PreviewChoiceInfo>& previews);

    // Decimal degrees of a coordinate given as degrees, minutes and seconds; negative for
    // the references "S" and "W". Any other number of components gives 0.
    static double decimalDegrees(const QList<float>& components, QChar reference);

    // Writes every embedded preview of the file as "<folder>/<base name> #<n><ext>".
    // False when the library cannot open the file. A preview that fails to load or write
    // is logged and ends the run; the previews written until then are listed.
    static bool savePreviewsOfFile(const QString& file, const QString& folder,
                                   QStringList* files = nullptr);

    // Erases the chosen parts from the file in place; writes only when something was
    // erased. False (and a logged line) when the library does not recognise the file or
    // fails on it; a file the library failed to write may be partly written.
    static bool removeMetadata(const oEXIV2Metadata& parts, const QString& path);
    // Erases the named keys from the file in place: every Exif and IPTC datum under one of
    // the keys, every XMP property under one of them or inside it, and with `thumbnail`
    // the Exif thumbnail. False (and a logged line) when the library fails on the file.
    static bool removeKeys(const QString& path, const QStringList& exifKeys,
                           const QStringList& iptcKeys, const QStringList& xmpKeys,
                           bool thumbnail);

    // Diagnostic reports for the copy commands; nothing for a file the library does not
    // recognise.
    static std::optional<QString> outputOnFile(const QString& path);
    static std::optional<QString> structureOfFile(const QString& path);
    static std::optional<QString> rawXmpOfFile(const QString& path);

private:
    friend class HeifReader;

    oEXIV2() = default;

    ImageDataRecord prepareData(Exiv2::Image* image, const HeifRecord* heif);
    void prepareExif(Exiv2::Image& image, ImageDataRecord& result);
    void prepareIptc(Exiv2::Image& image, ImageDataRecord& result);
    void prepareXmp(Exiv2::Image& image, ImageDataRecord& result);
    void prepareColorProfile(Exiv2::Image& image, ImageDataRecord& result);
    static void prepareColorProfileWithData(const QByteArray& icc, ImageDataRecord& result);
    void prepareThumbnails(Exiv2::Image& image, ImageDataRecord& result);
    static RawInfo rawInfoFromExifData(const ExifIndex& exif, const QString& mimeType);
    static QString primaryGroupOf(const ExifIndex& exif);
    // Reading and writing go through the XMP toolkit, whose global state takes one thread
    // at a time.
    static void readMetadataGuarded(Exiv2::Image& image);
    static void writeMetadataGuarded(Exiv2::Image& image);

    // Metadata blocks of a HEIF file, handed over as bytes.
    enum class BlockResult { Decoded, NotRecognised, Failed };
    BlockResult prepareExifFromMemory(const QByteArray& tiff, ImageDataRecord& result);
    BlockResult prepareXmpFromMemory(const QByteArray& bytes, ImageDataRecord& result);
    BlockResult prepareFromMemory(const QByteArray& block, ImageDataRecord& result,
                                  void (oEXIV2::*prepare)(Exiv2::Image&, ImageDataRecord&));

    std::optional<ImageDataRecord> m_data;
    bool m_isImage = false;
    bool m_isRaw = false;
    std::optional<QString> m_tiffPrimaryGroup;
};

} // namespace perspix
