// The HEIF reader on real HEIC files: the file's own facts, its Exif and XMP blocks,
// damaged blocks and files, and the cover decoded with libheif.
#include <QFile>
#include <QtEndian>
#include <gtest/gtest.h>

#include "model/Log.h"
#include "readers/image/HeifReader.h"
#include "readers/image/ImageTestSupport.h"
#include "readers/image/oEXIV2.h"
#include "support/TestSupport.h"

using namespace perspix;
using namespace perspix::test;

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Finds the item location entry of the Exif block (a version 0 box with offset and length
// fields of 4 bytes, as heif-enc writes it) and returns the file position of the block and
// of its length field; -1 when the file is laid out otherwise.
std::pair<qsizetype, qsizetype> exifExtent(const QByteArray& file)
{
    const qsizetype box = file.indexOf("iloc");
    if (box < 4 || file.at(box + 4) != 0 || static_cast<uchar>(file.at(box + 8)) != 0x44)
        return {-1, -1};
    const int baseOffsetSize = static_cast<uchar>(file.at(box + 9)) >> 4;
    const auto be16 = [&file](qsizetype at) {
        return qFromBigEndian<quint16>(reinterpret_cast<const uchar*>(file.constData() + at));
    };
    const auto be32 = [&file](qsizetype at) {
        return qFromBigEndian<quint32>(reinterpret_cast<const uchar*>(file.constData() + at));
    };
    const int items = be16(box + 10);
    qsizetype at = box + 12;
    for (int i = 0; i < items; ++i) {
        const qsizetype base = baseOffsetSize == 4 ? be32(at + 4) : 0;
        const int extents = be16(at + 4 + baseOffsetSize);
        at += 6 + baseOffsetSize;
        for (int e = 0; e < extents; ++e, at += 8) {
            const qsizetype offset = base + be32(at);
            if (offset + 8 <= file.size() && (file.mid(offset + 4, 4) == QByteArray("II*\0", 4) ||
                                              file.mid(offset + 4, 4) == QByteArray("MM\0*", 4)))
                return {offset, at + 4};
        }
    }
    return {-1, -1};
}

// Two top-level images with thumbnails, their Exif and XMP taken from two camera JPEGs.
QString twoImageHeic(const TempDir& dir)
{
    const QString first = dir.copyData(QStringLiteral("images/Canon_40D.jpg"));
    const QString second = dir.copyData(QStringLiteral("images/Nikon_D70.jpg"));
    const QString out = dir.filePath(QStringLiteral("two.heic"));
    runTool(QStringLiteral("heif-enc"),
            {QStringLiteral("-q"), QStringLiteral("20"), QStringLiteral("-t"), QStringLiteral("64"),
             first, second, QStringLiteral("-o"), out});
    return out;
}

} // namespace

TEST(HeifReaderTest, PhoneImageReadsLikeAnyOtherImage)
{
    LogCapture log;
    const auto adapter =
        oEXIV2::initWithHeifFilePath(dataPath(QStringLiteral("images/IMG_5195.HEIC")));
    ASSERT_TRUE(adapter);
    EXPECT_TRUE(adapter->isImage());
    const ImageDataRecord& record = *adapter->data();
    EXPECT_EQ(record.imageType, QStringLiteral("HEIF"));
    // The primary image's size, not the one the Exif block states (4032 x 3024).
    EXPECT_EQ(record.imageWidth, QStringLiteral("2566"));
    EXPECT_EQ(record.imageHeight, QStringLiteral("3313"));
    EXPECT_EQ(record.imageCount, QStringLiteral("1"));
    EXPECT_EQ(record.thumbCount, QStringLiteral("0"));
    EXPECT_TRUE(record.previews.isEmpty());
    EXPECT_TRUE(record.thumb.isEmpty());
    // The Exif block starts with its offset and the "Exif" marker before the TIFF header.
    EXPECT_EQ(record.exifData.value(QStringLiteral("Exif.Image.Make")).value,
              QStringLiteral("Apple"));
    EXPECT_TRUE(record.easyAccess && record.easyAccess->gps);
    EXPECT_EQ(record.xmpData.value(QStringLiteral("Xmp.xmp.CreatorTool")).value,
              QStringLiteral("14.4.2"));
    EXPECT_EQ(record.iccProfileColorSpace, QStringLiteral("Display P3"));
    EXPECT_EQ(record.iccProfileColorSpaceModel, QStringLiteral("RGB"));
    EXPECT_TRUE(log.lines().isEmpty()) << log.lines().join('\n').toStdString();
}

TEST(HeifReaderTest, ImageCountThumbnailsAndOrientation)
{
    TempDir dir;
    const auto two = oEXIV2::initWithHeifFilePath(twoImageHeic(dir));
    ASSERT_TRUE(two);
    EXPECT_EQ(two->data()->imageCount, QStringLiteral("2"));
    EXPECT_EQ(two->data()->thumbCount, QStringLiteral("1"));
    EXPECT_EQ(two->data()->previews, QStringList{QStringLiteral("64 x 42")});
    EXPECT_EQ(two->data()->imageWidth, QStringLiteral("100"));
    EXPECT_EQ(two->data()->exifData.value(QStringLiteral("Exif.Image.Model")).value,
              QStringLiteral("Canon EOS 40D"));

    const QString rotated = dir.filePath(QStringLiteral("rotated.heic"));
    runTool(QStringLiteral("heif-enc"),
            {QStringLiteral("-q"), QStringLiteral("20"),
             dir.copyData(QStringLiteral("images/portrait_6.jpg")), QStringLiteral("-o"), rotated});
    const auto adapter = oEXIV2::initWithHeifFilePath(rotated);
    ASSERT_TRUE(adapter);
    EXPECT_EQ(adapter->data()->imageOrientationDegrees, QStringLiteral("270° CW"));
}

TEST(HeifReaderTest, ExifBlockWithoutTiffHeaderIsSkipped)
{
    const QByteArray original = readAll(dataPath(QStringLiteral("images/gps-from-jpeg.heic")));
    const auto [payload, lengthField] = exifExtent(original);
    ASSERT_GT(payload, 0);

    // Every byte-order mark of the block goes (the makernote has a TIFF header too).
    QByteArray noHeader = original;
    const qsizetype end = payload + qFromBigEndian<quint32>(original.constData() + lengthField);
    for (qsizetype at = payload; at + 4 <= end; ++at) {
        const QByteArray four = noHeader.mid(at, 4);
        if (four == QByteArray("II*\0", 4) || four == QByteArray("MM\0*", 4))
            noHeader.replace(at, 2, "XX");
    }
    QByteArray threeBytes = original;
    qToBigEndian<quint32>(3, reinterpret_cast<uchar*>(threeBytes.data() + lengthField));

    TempDir dir;
    for (const QByteArray& bytes : {noHeader, threeBytes}) {
        LogCapture log;
        const auto adapter =
            oEXIV2::initWithHeifFilePath(dir.write(QStringLiteral("x.heic"), bytes));
        ASSERT_TRUE(adapter);
        EXPECT_TRUE(log.contains(
            QStringLiteral("HEIF: Could not find location of TIFF header in Exif metadata")));
        EXPECT_TRUE(adapter->data()->exifKeys.isEmpty());
        EXPECT_FALSE(adapter->data()->xmpKeys.isEmpty());
        EXPECT_EQ(adapter->data()->imageWidth, QStringLiteral("640"));
    }
}

TEST(HeifReaderTest, UnreadableFilesGiveNoObjectAndLibheifsMessage)
{
    TempDir dir;
    const QByteArray heic = readAll(dataPath(QStringLiteral("images/gps-from-jpeg.heic")));
    const QList<std::pair<QString, QByteArray>> files = {
        {QStringLiteral("empty.heic"), {}},
        {QStringLiteral("text.HEIF"), QByteArrayLiteral("This is no image.\n")},
        {QStringLiteral("cut.heic"), heic.left(200)},
    };
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name.toStdString());
        LogCapture log;
        EXPECT_FALSE(oEXIV2::initWithHeifFilePath(dir.write(name, bytes)));
        ASSERT_EQ(log.lines().size(), 1);
        EXPECT_TRUE(log.lines().first().startsWith(QStringLiteral("libheif: ")));
        EXPECT_FALSE(HeifReader::thumbnail(dir.filePath(name), 256));
    }
    // Cut anywhere else, the reader answers without crashing.
    for (const qsizetype cut : {qsizetype(1000), heic.size() / 2, heic.size() - 10}) {
        LogCapture log;
        oEXIV2::initWithHeifFilePath(dir.write(QStringLiteral("cut.heic"), heic.left(cut)));
        HeifReader::thumbnail(dir.filePath(QStringLiteral("cut.heic")), 256);
    }
}

TEST(HeifReaderTest, CoverIsDecodedAndScaled)
{
    const auto phone = HeifReader::thumbnail(dataPath(QStringLiteral("images/IMG_5195.HEIC")), 256);
    ASSERT_TRUE(phone);
    EXPECT_EQ(phone->size(), QSize(198, 256));

    // Its thumbnail is too small for the size asked for: the primary image is decoded,
    // and a small image keeps its size.
    TempDir dir;
    const auto small = HeifReader::thumbnail(twoImageHeic(dir), 256);
    ASSERT_TRUE(small);
    EXPECT_EQ(small->size(), QSize(100, 68));
    const auto fromThumb = HeifReader::thumbnail(dir.filePath(QStringLiteral("two.heic")), 50);
    ASSERT_TRUE(fromThumb);
    EXPECT_EQ(fromThumb->width(), 50);

    // Stored image data cut down to a few bytes cannot be decoded.
    EXPECT_FALSE(HeifReader::thumbnail(dataPath(QStringLiteral("images/et-QuickTime.heic")), 256));
}
