// The Exiv2 adapter on real files: the image data record, the format and size rules, GPS,
// the binary-data rule, previews, the diagnostic reports and damaged input.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include "model/Log.h"
#include "readers/image/ImageTestSupport.h"
#include "readers/image/oEXIV2.h"
#include "support/TestSupport.h"

using namespace perspix;
using namespace perspix::test;

TEST(oEXIV2Test, ClassRulesFollowTheirTables)
{
    struct Skip
    {
        const char* tag;
        const char* ifd;
        const char* key;
        bool skipped;
    };
    const Skip skips[] = {
        {"StripOffsets", "IFD0", "Exif.Image.StripOffsets", true},
        {"MakerNote", "Exif", "Exif.Photo.MakerNote", true},
        {"GPSTag", "IFD0", "Exif.Image.GPSTag", true},
        {"Make", "IFD0", "Exif.Image.Make", false},
        // Inside a makernote only its offset goes; a tag named like a skipped one stays.
        {"Offset", "Makernote", "Exif.MakerNote.Offset", true},
        {"StripOffsets", "Makernote", "Exif.Olympus.StripOffsets", false},
        {"ByteOrder", "Makernote", "Exif.MakerNote.ByteOrder", false},
    };
    for (const Skip& s : skips)
        EXPECT_EQ(oEXIV2::skipExifTag(QString::fromLatin1(s.tag), QString::fromLatin1(s.ifd),
                                      QString::fromLatin1(s.key)),
                  s.skipped)
            << s.key << " in " << s.ifd;

    struct Raw
    {
        const char* mime;
        bool dng;
        const char* type;
        bool raw;
    };
    const Raw raws[] = {
        {"image/jpeg", false, "JPEG", false},     {"image/x-canon-cr2", false, "CR2", true},
        {"image/x-fuji-raf", false, "RAF", true}, {"image/tiff", true, "DNG", true},
        {"image/tiff", false, "TIFF", false},     {"image/webp", false, "image/webp", false},
    };
    for (const Raw& r : raws) {
        const auto info = oEXIV2::rawInfoFromMimeType(QString::fromLatin1(r.mime), r.dng);
        EXPECT_EQ(info.imageType, QString::fromLatin1(r.type)) << r.mime;
        EXPECT_EQ(info.isRaw, r.raw) << r.mime;
    }

    EXPECT_EQ(oEXIV2::makernoteGroupName(QStringLiteral("NikonLd3")), QStringLiteral("Lens Data"));
    EXPECT_EQ(oEXIV2::makernoteGroupName(QStringLiteral("CanonSi")), QStringLiteral("Shot Info"));
    EXPECT_EQ(oEXIV2::makernoteGroupName(QStringLiteral("Casio")), QStringLiteral("Casio"));

    const QString jpeg = QStringLiteral("image/jpeg");
    const QString tiff = QStringLiteral("image/tiff");
    struct Choice
    {
        QList<oEXIV2::PreviewChoiceInfo> previews;
        qsizetype chosen;
    };
    const Choice choices[] = {
        {{{160, tiff}, {320, tiff}, {1024, jpeg}}, 2}, // first tall JPEG
        {{{120, jpeg}, {160, jpeg}}, 1},               // none tall: the last
        {{{300, tiff}, {400, tiff}}, 0},               // no tall JPEG: the first tall one
        {{{256, jpeg}, {2000, jpeg}}, 0},              // 256 counts as tall
        {{}, -1},
    };
    for (const Choice& c : choices)
        EXPECT_EQ(oEXIV2::choosePreview(c.previews), c.chosen);

    EXPECT_NEAR(oEXIV2::decimalDegrees({43.f, 28.f, 3.f}, QLatin1Char('N')), 43.4675, 1e-4);
    EXPECT_NEAR(oEXIV2::decimalDegrees({33.f, 52.f, 7.68f}, QLatin1Char('S')), -33.8688, 1e-4);
    EXPECT_NEAR(oEXIV2::decimalDegrees({1.f, 55.f, 0.f}, QLatin1Char('w')), -1.9167, 1e-4);
    EXPECT_EQ(oEXIV2::decimalDegrees({43.f, 28.f}, QLatin1Char('N')), 0.0);
}

TEST(oEXIV2Test, RecordOfEachKindOfImage)
{
    struct Expect
    {
        const char* file;
        const char* imageType; // "" for none
        bool raw;
        const char* width;
        const char* height;
        const char* orientation;  // "" for none
        const char* primaryGroup; // "" for none
    };
    const Expect cases[] = {
        // No Exif block: no format name, the size is the library's pixel size.
        {"images/et-IPTC.jpg", "", false, "8", "8", "", ""},
        {"images/Canon_40D.jpg", "JPEG", false, "100", "68", "0°", ""},
        {"images/portrait_6.jpg", "JPEG", false, "600", "450", "270° CW", ""},
        // Mirrored orientations have no rotation text.
        {"images/landscape_5.jpg", "JPEG", false, "450", "600", "", ""},
        {"images/et-ExifTool.tif", "TIFF", false, "160", "120", "", "Image"},
        {"raw/CanonRaw.cr2", "CR2", true, "1536", "1024", "0°", "Image"},
        {"raw/Nikon.nef", "NEF", true, "3040", "2014", "0°", "SubImage2"},
        {"raw/DNG.dng", "DNG", true, "3516", "2328", "0°", "SubImage1"},
    };
    for (const Expect& c : cases) {
        SCOPED_TRACE(c.file);
        const auto adapter = oEXIV2::initWithFilename(dataPath(QString::fromLatin1(c.file)));
        ASSERT_TRUE(adapter);
        EXPECT_TRUE(adapter->isImage());
        const ImageDataRecord& record = *adapter->data();
        EXPECT_EQ(record.imageType.value_or(QString()), QString::fromUtf8(c.imageType));
        EXPECT_EQ(adapter->isRaw(), c.raw);
        EXPECT_EQ(record.imageWidth, QString::fromLatin1(c.width));
        EXPECT_EQ(record.imageHeight, QString::fromLatin1(c.height));
        EXPECT_EQ(record.imageOrientationDegrees.value_or(QString()),
                  QString::fromUtf8(c.orientation));
        EXPECT_EQ(adapter->tiffPrimaryGroup().value_or(QString()),
                  QString::fromLatin1(c.primaryGroup));
    }
}

TEST(oEXIV2Test, RepeatedIptcKeysBecomeOneEntry)
{
    const auto adapter = oEXIV2::initWithFilename(dataPath(QStringLiteral("images/et-IPTC.jpg")));
    ASSERT_TRUE(adapter);
    const ImageDataRecord& record = *adapter->data();
    const QString keywords = QStringLiteral("Iptc.Application2.Keywords");
    EXPECT_EQ(record.iptcKeys.count(keywords), 1);
    // The third keyword stands after other datasets in the file.
    EXPECT_EQ(record.iptcData.value(keywords).value, QStringLiteral("ExifTool, Test, IPTC"));
    EXPECT_EQ(record.iptcData.value(keywords).label, QStringLiteral("Keywords"));
}

TEST(oEXIV2Test, GpsTextAndDecimalDegrees)
{
    const auto west = oEXIV2::initWithFilename(dataPath(QStringLiteral("images/et-GPS.jpg")));
    ASSERT_TRUE(west && west->data()->easyAccess && west->data()->easyAccess->gps);
    const EasyAccess& easy = *west->data()->easyAccess;
    EXPECT_EQ(*easy.gps, QStringLiteral("54°59'0\"N 1°55'0\"W"));
    // 54° 59.38' and 1° 54.85': the minutes are fractions, which the text rounds.
    EXPECT_NEAR(easy.gpsLatitude, 54.98967, 1e-5);
    EXPECT_NEAR(easy.gpsLongitude, -1.91417, 1e-5);

    // A southern latitude, and a longitude stored with two components only.
    TempDir dir;
    const QString file = dir.copyData(QStringLiteral("images/DSCN0010.jpg"));
    ASSERT_TRUE(exiv2Modify(file, {QStringLiteral("set Exif.GPSInfo.GPSLatitudeRef S"),
                                   QStringLiteral("set Exif.GPSInfo.GPSLongitude 11/1 53/1")}));
    const auto south = oEXIV2::initWithFilename(file);
    ASSERT_TRUE(south && south->data()->easyAccess && south->data()->easyAccess->gps);
    EXPECT_TRUE(south->data()->easyAccess->gps->startsWith(QStringLiteral("43°28'3\"S ")));
    EXPECT_NEAR(south->data()->easyAccess->gpsLatitude, -43.4674, 1e-3);
    EXPECT_EQ(south->data()->easyAccess->gpsLongitude, 0.0);
}

TEST(oEXIV2Test, LongBinaryValuesAreSummarised)
{
    TempDir dir;
    const QString file = dir.copyData(QStringLiteral("images/Canon_40D.jpg"));
    QStringList longValue;
    for (int i = 0; i < 2000; ++i)
        longValue.append(QString::number(i % 200));
    QStringList shortValue;
    for (int i = 0; i < 20; ++i)
        shortValue.append(QString::number(i));
    ASSERT_TRUE(exiv2Modify(
        file, {QStringLiteral("set Exif.Photo.0xfe01 Undefined %1").arg(longValue.join(' ')),
               QStringLiteral("set Exif.Photo.0xfe02 Undefined %1").arg(shortValue.join(' '))}));
    const auto adapter = oEXIV2::initWithFilename(file);
    ASSERT_TRUE(adapter);
    const auto& exif = adapter->data()->exifData;
    EXPECT_EQ(exif.value(QStringLiteral("Exif.Photo.0xfe01")).value,
              QStringLiteral("(Binary data, 2000 bytes)"));
    EXPECT_EQ(exif.value(QStringLiteral("Exif.Photo.0xfe02")).value, shortValue.join(' '));
    // A tag without a label shows its tag name.
    EXPECT_EQ(exif.value(QStringLiteral("Exif.Photo.0xfe02")).label, QStringLiteral("0xfe02"));
}

TEST(oEXIV2Test, ColourProfilesAndPreviews)
{
    const auto jpeg = oEXIV2::initWithFilename(dataPath(QStringLiteral("images/Canon_40D.jpg")));
    ASSERT_TRUE(jpeg);
    EXPECT_EQ(jpeg->data()->iccProfileColorSpaceModel, QStringLiteral("RGB"));
    EXPECT_EQ(jpeg->data()->iccProfileColorSpace, QStringLiteral("sRGB IEC61966-2.1"));
    EXPECT_EQ(jpeg->data()->thumbCount, QStringLiteral("1"));
    EXPECT_EQ(jpeg->data()->previews,
              QStringList{QStringLiteral("68 x 46 (image/jpeg, 1378 bytes)")});
    EXPECT_EQ(jpeg->data()->thumb.size(), 1378);
    EXPECT_EQ(jpeg->data()->thumbHeight, 46);

    // Three TIFF previews: the first one at least 256 pixels high is the cover.
    const auto dng = oEXIV2::initWithFilename(dataPath(QStringLiteral("raw/DNG.dng")));
    ASSERT_TRUE(dng);
    EXPECT_EQ(dng->data()->thumbCount, QStringLiteral("3"));
    EXPECT_EQ(dng->data()->previews.size(), 3);
    EXPECT_EQ(dng->data()->thumbHeight, 683);

    const auto none = oEXIV2::initWithFilename(dataPath(QStringLiteral("images/et-IPTC.jpg")));
    ASSERT_TRUE(none);
    EXPECT_EQ(none->data()->thumbCount, QStringLiteral("0"));
    EXPECT_TRUE(none->data()->thumb.isEmpty());
}

TEST(oEXIV2Test, SavedPreviewsAreNamedAfterTheImage)
{
    TempDir dir;
    QStringList files;
    ASSERT_TRUE(oEXIV2::savePreviewsOfFile(dataPath(QStringLiteral("images/DSCN0010.jpg")),
                                           dir.path(), &files));
    ASSERT_EQ(files, QStringList{dir.filePath(QStringLiteral("DSCN0010 #1.jpg"))});
    EXPECT_EQ(QFileInfo(files.first()).size(), 6702);

    ASSERT_TRUE(
        oEXIV2::savePreviewsOfFile(dataPath(QStringLiteral("raw/DNG.dng")), dir.path(), &files));
    EXPECT_EQ(files, (QStringList{dir.filePath(QStringLiteral("DNG #1.tif")),
                                  dir.filePath(QStringLiteral("DNG #2.tif")),
                                  dir.filePath(QStringLiteral("DNG #3.tif"))}));
    for (const QString& f : files)
        EXPECT_TRUE(QFileInfo::exists(f)) << f.toStdString();

    // No previews: success with an empty list. Not an image: failure.
    EXPECT_TRUE(oEXIV2::savePreviewsOfFile(dataPath(QStringLiteral("images/et-IPTC.jpg")),
                                           dir.path(), &files));
    EXPECT_TRUE(files.isEmpty());
    EXPECT_FALSE(
        oEXIV2::savePreviewsOfFile(dataPath(QStringLiteral("audio/song.mp3")), dir.path(), &files));

    // A folder that cannot be written: the failure is logged, nothing is listed.
    LogCapture log;
    EXPECT_TRUE(oEXIV2::savePreviewsOfFile(dataPath(QStringLiteral("images/DSCN0010.jpg")),
                                           dir.filePath(QStringLiteral("missing/folder")), &files));
    EXPECT_TRUE(files.isEmpty());
    EXPECT_FALSE(log.lines().isEmpty());
}

TEST(oEXIV2Test, DiagnosticReports)
{
    const auto output = oEXIV2::outputOnFile(dataPath(QStringLiteral("images/BlueSquare.jpg")));
    ASSERT_TRUE(output);
    EXPECT_TRUE(output->startsWith(QStringLiteral(
        "Exif\n================\n[IFD0] Exif.Image.ImageDescription (Image Description): "
        "XMPFiles BlueSquare test file")));
    EXPECT_TRUE(output->contains(QStringLiteral("\n\n\nIPTC\n================\nRecord Version "
                                                "(Iptc.Application2.RecordVersion) : 2\n")));
    EXPECT_TRUE(output->contains(QStringLiteral("\n\n\nXMP\n================\n"
                                                "dc: Format (Xmp.dc.format) : image/jpeg\n")));

    const auto structure =
        oEXIV2::structureOfFile(dataPath(QStringLiteral("images/Canon_40D.jpg")));
    ASSERT_TRUE(structure);
    EXPECT_TRUE(structure->contains(QStringLiteral("STRUCTURE OF JPEG FILE")));
    const auto xmp = oEXIV2::rawXmpOfFile(dataPath(QStringLiteral("images/et-XMP.jpg")));
    ASSERT_TRUE(xmp);
    EXPECT_TRUE(xmp->contains(QStringLiteral("<x:xmpmeta")));

    const QString notAnImage = dataPath(QStringLiteral("audio/song.mp3"));
    EXPECT_FALSE(oEXIV2::outputOnFile(notAnImage));
    EXPECT_FALSE(oEXIV2::structureOfFile(notAnImage));
    EXPECT_FALSE(oEXIV2::rawXmpOfFile(notAnImage));
}

TEST(oEXIV2Test, FilmsSoundAndHeifAreLeftToTheOtherReaders)
{
    LogCapture log;
    QStringList files;
    for (const QString& folder : {QStringLiteral("media"), QStringLiteral("audio")}) {
        const QDir dir(dataPath(folder));
        for (const QString& name : dir.entryList(QDir::Files))
            files.append(dir.filePath(name));
    }
    files << dataPath(QStringLiteral("images/IMG_5195.HEIC"))
          << dataPath(QStringLiteral("images/gps-from-jpeg.heic"));
    for (const QString& file : files)
        EXPECT_FALSE(oEXIV2::initWithFilename(file)) << file.toStdString();
    EXPECT_TRUE(log.lines().isEmpty()) << log.lines().join('\n').toStdString();
}

TEST(oEXIV2Test, DamagedFilesNeitherCrashNorHang)
{
    TempDir dir;
    LogCapture log;
    // Unknown content and an empty file: no object and not a word in the log.
    EXPECT_FALSE(oEXIV2::initWithFilename(dir.write(QStringLiteral("empty.jpg"), {})));
    EXPECT_FALSE(oEXIV2::initWithFilename(
        dir.write(QStringLiteral("text.tif"), QByteArrayLiteral("not an image at all\n"))));
    EXPECT_FALSE(oEXIV2::initWithFilename(dir.filePath(QStringLiteral("missing.jpg"))));
    EXPECT_TRUE(log.lines().isEmpty());

    // A JPEG whose image data is damaged still has its metadata read.
    const auto damaged =
        oEXIV2::initWithFilename(dataPath(QStringLiteral("images/image01551.jpg")));
    ASSERT_TRUE(damaged);
    EXPECT_EQ(damaged->data()->imageWidth, QStringLiteral("61"));

    // Every sample cut short at several places: whatever the library makes of it, the
    // adapter answers and the source file stays as it was.
    const QStringList samples = {
        QStringLiteral("images/et-ExifTool.tif"),
        QStringLiteral("images/Tless0.tiff"),
        QStringLiteral("raw/CanonRaw.cr2"),
        QStringLiteral("raw/Nikon.nef"),
        QStringLiteral("raw/DNG.dng"),
        QStringLiteral("images/22-canon_tags.jpg"),
        QStringLiteral("images/et-PNG.png"),
        QStringLiteral("images/et-XMP.jpg"),
    };
    for (const QString& sample : samples) {
        QFile source(dataPath(sample));
        ASSERT_TRUE(source.open(QIODevice::ReadOnly));
        const QByteArray bytes = source.readAll();
        for (const qsizetype cut :
             {qsizetype(8), qsizetype(64), qsizetype(700), bytes.size() / 3, bytes.size() - 100}) {
            SCOPED_TRACE(QStringLiteral("%1 cut at %2").arg(sample).arg(cut).toStdString());
            const QString file = dir.write(QFileInfo(sample).fileName(), bytes.left(cut));
            const auto adapter = oEXIV2::initWithFilename(file);
            if (adapter) {
                EXPECT_TRUE(adapter->data().has_value());
            }
            QStringList written;
            oEXIV2::savePreviewsOfFile(file, dir.path(), &written);
            for (const QString& w : written)
                QFile::remove(w);
        }
        QFile again(dataPath(sample));
        ASSERT_TRUE(again.open(QIODevice::ReadOnly));
        EXPECT_EQ(again.readAll(), bytes);
    }
}
