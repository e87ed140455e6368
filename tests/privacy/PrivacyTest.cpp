// The privacy report and removal on real files: categories per sample, agreement with
// exiftool over every sample, damaged files, and copies without the findings (checked with
// exiftool and ffmpeg; sources hashed before and after).
#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <sys/xattr.h>

#include "model/PerspixData.h"
#include "privacy/PrivacyOutput.h"
#include "privacy/PrivacyRemoval.h"
#include "privacy/PrivacyReport.h"
#include "readers/image/MetadataRemover.h"
#include "support/PeerTools.h"
#include "support/TestSupport.h"
#include "taglink/TaglinkStayOpenProcess.h"

using namespace perspix;
using namespace perspix::privacy;
using perspix::test::dataPath;
using perspix::test::TempDir;
namespace peer = perspix::test::peer;

namespace {

PerspixDataPtr analyse(const QString& path, taglink::TaglinkStayOpenProcess* exiftool = nullptr)
{
    QVariantMap options;
    if (exiftool)
        options.insert(QStringLiteral("videoUtility"), QStringLiteral("exiftool"));
    return PerspixData::dataAboutFile(path, options, exiftool);
}

// As the report reads a file: images through Exiv2 and ExifTool together.
PerspixDataPtr analyseForReport(const QString& path, taglink::TaglinkStayOpenProcess* exiftool)
{
    return PerspixData::dataAboutFile(path, PrivacyReader::withBothReaders({}), exiftool);
}

taglink::TaglinkStayOpenProcess* sharedExiftool()
{
    static const std::unique_ptr<taglink::TaglinkStayOpenProcess> process =
        taglink::TaglinkStayOpenProcess::init();
    return process.get();
}

// Whether exiftool shows a position (both coordinates, not zero without references) or a
// place name: what makes a file located.
bool peerLocated(const QJsonObject& tags)
{
    static const QRegularExpression place(
        QStringLiteral("^(IPTC\\d*:(City|Sub-location|Province-State|Country-Primary\\w*)|"
                       "XMP-photoshop:(City|State|Country)|XMP-iptcCore:(Location|CountryCode)|"
                       "XMP-iptcExt:Location(Created|Shown)\\w*|"
                       "(Keys|UserData|ItemList):(GPSCoordinates|Location\\w*)|"
                       "[^:]+:(Hometown|Destination)City)$"));
    for (auto it = tags.begin(); it != tags.end(); ++it)
        if (place.match(it.key()).hasMatch() && !it.value().toString().trimmed().isEmpty())
            return true;
    for (const char* name : {"GPS", "XMP-exif"}) {
        const QString group = QString::fromLatin1(name);
        const QJsonValue lat = tags.value(group + QStringLiteral(":GPSLatitude"));
        const QJsonValue lon = tags.value(group + QStringLiteral(":GPSLongitude"));
        if (lat.isUndefined() || lon.isUndefined())
            continue;
        static const QRegularExpression nonZero(QStringLiteral("[1-9]"));
        const bool zero = !nonZero.match(lat.toVariant().toString()).hasMatch() &&
                          !nonZero.match(lon.toVariant().toString()).hasMatch();
        const bool refs = !tags.value(group + QStringLiteral(":GPSLatitudeRef")).isUndefined() ||
                          !tags.value(group + QStringLiteral(":GPSLongitudeRef")).isUndefined();
        if (!zero || refs)
            return true;
    }
    return false;
}

QSet<QString> flagged(const Report& report)
{
    QSet<QString> names;
    for (const Finding& finding : report.findings)
        names.insert(categoryName(finding.category));
    return names;
}

// exiftool's tags ("Group1:Tag") of each category, written independently of the rules.
const QList<std::pair<QString, QRegularExpression>>& peerTable()
{
    static const QList<std::pair<QString, QRegularExpression>> table = [] {
        const QList<std::pair<const char*, const char*>> rows = {
            {"location", "^(GPS|XMP-exif):GPS(?!VersionID)"},
            {"location", "^IPTC\\d*:(City|Sub-location|Province-State|Country-Primary.*)$"},
            {"location", "^XMP-photoshop:(City|State|Country)$"},
            {"location", "^XMP-iptcCore:(Location|CountryCode)$"},
            {"location", "^XMP-iptcExt:Location(Created|Shown)"},
            {"location", "^(Keys|UserData|ItemList):(GPSCoordinates|Location.*)$"},
            {"device", "^[^:]+:\\w*Serial(Number|NO)?$"},
            {"device", "^[^:]+:(Make|Model)$"},
            {"device", "^IFD0:(UniqueCameraModel|LocalizedCameraModel|HostComputer)$"},
            {"people", "^IFD0:(Artist|Copyright|XPAuthor)$"},
            {"people", ":OwnerName$"},
            {"people", "^XMP-dc:(Creator|Rights|Contributor|Publisher)$"},
            {"people", "^XMP-photoshop:(AuthorsPosition|CaptionWriter|Credit)$"},
            {"people", "^XMP-iptcCore:Creator\\w+$"},
            {"people", "^XMP-xmpRights:(Owner|WebStatement)$"},
            {"people",
             "^IPTC\\d*:(By-line|By-lineTitle|CopyrightNotice|Credit|Writer-Editor|Contact)$"},
            {"people", "^(Keys|UserData|ItemList|ID3v\\w+|Vorbis|RIFF|AIFF|Matroska):"
                       "(Artist|Author|AlbumArtist|Composer|Copyright|Director|Producer|"
                       "Publisher|Performer\\w*|EncodedBy)$"},
            {"people-shown", "^XMP-mwg-rs:RegionName$"},
            {"people-shown", "^XMP-MP:RegionPersonDisplayName$"},
            {"people-shown", "^XMP-iptcExt:PersonInImage"},
            {"time", "^ExifIFD:(DateTimeOriginal|CreateDate|OffsetTime\\w*)$"},
            {"time", "^IFD0:DateTimeOriginal$"},
            {"time", "^GPS:GPS(TimeStamp|DateStamp)$"},
            {"time", "^XMP-exif:(DateTimeOriginal|DateTimeDigitized|GPSDateTime)$"},
            {"time", "^XMP-photoshop:DateCreated$"},
            {"time", "^XMP-xmp:CreateDate$"},
            {"time",
             "^IPTC\\d*:(DateCreated|TimeCreated|DigitalCreationDate|DigitalCreationTime)$"},
            {"time", "^(QuickTime:CreateDate|Keys:CreationDate|UserData:DateTimeOriginal|"
                     "ItemList:ContentCreateDate)$"},
            {"time", "^(Matroska|RIFF):DateTimeOriginal$"},
            {"time", "^(Vorbis:Date|RIFF:DateCreated)$"},
            {"time", "^ID3v\\w+:(Year|RecordingTime|DateTimeOriginal)$"},
            {"software", "^IFD0:(Software|ProcessingSoftware|OriginalRawFileName)$"},
            {"software", "^[^:]+:\\w*Firmware\\w*$"},
            {"software", "^XMP-xmp:CreatorTool$"},
            {"software", "^XMP-tiff:Software$"},
            {"software", "^XMP-photoshop:(History|DocumentAncestors)"},
            {"software", "^XMP-xmpMM:(History|DerivedFrom)\\w*$"},
            {"software", "^XMP-crs:RawFileName$"},
            {"software", "^(Keys|ItemList|UserData):(Encoder|Software)$"},
            {"software", "^Matroska:WritingApp$"},
            {"software", "^(RIFF|Vorbis):(Software|Encoder)$"},
            {"software", "^UserData:SoftwareVersion$"},
            {"software", "^ID3v\\w+:EncoderSettings$"},
            {"text", "^IFD0:(ImageDescription|XPComment|XPSubject)$"},
            {"text", "^(ExifIFD|XMP-exif):UserComment$"},
            {"text", "^XMP-dc:Description$"},
            {"text", "^(File|PNG):Comment$"},
            {"text", "^XMP-photoshop:Headline$"},
            {"text", "^IPTC\\d*:(Caption-Abstract|Headline)$"},
            {"text", "^(Keys|UserData|ItemList|ID3v\\w+|Vorbis|AIFF|RIFF|Matroska):"
                     "(Comment|Description|Synopsis)$"},
        };
        QList<std::pair<QString, QRegularExpression>> built;
        for (const auto& [category, pattern] : rows)
            built.append(
                {QString::fromLatin1(category), QRegularExpression(QString::fromLatin1(pattern))});
        return built;
    }();
    return table;
}

bool blankOrZero(const QString& value)
{
    static const QRegularExpression zero(QStringLiteral("^(0000:00:00 00:00:00|\\s*)$"));
    return zero.match(value).hasMatch();
}

// The categories exiftool shows tags of, with the tags (for the failure message).
QMap<QString, QStringList> peerCategories(const QString& path)
{
    QMap<QString, QStringList> found;
    const QJsonObject tags = peer::exiftoolTags(path);
    for (auto it = tags.begin(); it != tags.end(); ++it) {
        const QString value =
            it.value().isString() ? it.value().toString() : QString::number(it.value().toDouble());
        if (blankOrZero(value))
            continue;
        for (const auto& [category, pattern] : peerTable())
            if (pattern.match(it.key()).hasMatch())
                found[category].append(it.key());
    }
    // A JPEG's thumbnail whose shape differs from the picture's by more than 2 %.
    if (tags.contains(QStringLiteral("IFD1:ThumbnailImage")) &&
        QImageReader(path).format() == "jpeg") {
        const peer::ToolResult thumb =
            peer::run(QStringLiteral("exiftool"),
                      {QStringLiteral("-b"), QStringLiteral("-ThumbnailImage"), path});
        const QSize small = QImage::fromData(thumb.out).size();
        const QSize big = QImageReader(path).size();
        if (small.isValid() && big.isValid()) {
            const double a = double(small.width()) / small.height();
            const double b = double(big.width()) / big.height();
            if (std::abs(a - b) > 0.02 * b)
                found[QStringLiteral("thumbnail")].append(QStringLiteral("IFD1:ThumbnailImage"));
        }
    }
    return found;
}

QStringList sampleFiles()
{
    QStringList files;
    for (const QString& folder : {QStringLiteral("images"), QStringLiteral("raw"),
                                  QStringLiteral("media"), QStringLiteral("audio")}) {
        QDirIterator it(dataPath(folder), QDir::Files);
        while (it.hasNext())
            files.append(it.next());
    }
    files.sort();
    return files;
}

} // namespace

// Each category on a file that has it, with what must stand in the report.
TEST(PrivacyReport, CategoriesOfRealFiles)
{
    struct Case
    {
        const char* file;
        const char* category;
        Level level;
        const char* key; // a key that must be among the category's findings
    };
    const Case cases[] = {
        {"images/DSCN0010.jpg", "location", Level::High, "Exif.GPSInfo.GPSLatitude"},
        {"images/et-IPTC.jpg", "location", Level::High, "Iptc.Application2.City"},
        {"images/et-ExifTool.tif", "location", Level::High, "Iptc.Application2.ProvinceState"},
        {"images/xmp-location.jpg", "location", Level::High, "Xmp.iptc.Location"},
        {"images/IMG_5195.HEIC", "location", Level::High, "Exif.GPSInfo.GPSLongitude"},
        {"images/gps.png", "location", Level::High, "Exif.GPSInfo.GPSLatitude"},
        {"images/gps.webp", "location", Level::High, "Exif.GPSInfo.GPSLatitude"},
        {"images/gps-empty.jpg", "location", Level::Low, "Exif.GPSInfo.GPSMapDatum"},
        {"media/paris.mp4", "location", Level::High, "com.apple.quicktime.location.ISO6709"},
        {"media/nyc.mp4", "location", Level::High, "xyz"},
        {"images/privacy-people.jpg", "device", Level::High, "Exif.Photo.BodySerialNumber"},
        {"raw/DNG.dng", "device", Level::High, "Exif.Image.CameraSerialNumber"},
        {"images/et-Canon.jpg", "people", Level::High, "Exif.Canon.OwnerName"},
        {"images/Canon_40D.jpg", "device", Level::Low, "Exif.Image.Model"},
        {"media/paris.mp4", "device", Level::Low, "com.apple.quicktime.make"},
        {"images/privacy-people.jpg", "people", Level::High, "Exif.Image.Artist"},
        {"images/privacy-people.jpg", "people", Level::High,
         "Xmp.iptc.CreatorContactInfo/Iptc4xmpCore:CiEmailWork"},
        {"media/et-QuickTime.mov", "people", Level::High, "Performer"},
        {"images/privacy-people.jpg", "people-shown", Level::High,
         "Xmp.mwg-rs.Regions/mwg-rs:RegionList[1]/mwg-rs:Name"},
        {"images/privacy-people.jpg", "people-shown", Level::High, "Xmp.iptcExt.PersonInImage"},
        {"images/privacy-people.jpg", "time", Level::Low, "Exif.Photo.DateTimeOriginal"},
        {"images/DSCN0010.jpg", "time", Level::Low, "Exif.GPSInfo.GPSTimeStamp"},
        {"media/et-QuickTime.mov", "time", Level::Low, "Encoded_Date"},
        {"images/privacy-people.jpg", "software", Level::High, "Exif.Image.Software"},
        {"images/et-XMP.jpg", "software", Level::High, "Exif.Image.Software"},
        {"media/nyc.mp4", "software", Level::High, "Encoded_Application/String"},
        {"images/privacy-people.jpg", "thumbnail", Level::High, "Preview1"},
        {"images/privacy-people.jpg", "text", Level::Low, "Exif.Image.ImageDescription"},
        {"media/et-QuickTime.mov", "text", Level::Low, "Comment"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " " + c.category + " " + c.key);
        const QString path = dataPath(QString::fromLatin1(c.file));
        const PerspixDataPtr data = analyseForReport(path, sharedExiftool());
        ASSERT_TRUE(data);
        const Report report = Report::ofFile(path, data.get());
        EXPECT_TRUE(report.complete);
        bool found = false;
        for (const Finding& shown : report.findings) {
            for (const Finding* f : shown.tags()) {
                if (categoryName(f->category) == QLatin1String(c.category) &&
                    f->key == QLatin1String(c.key)) {
                    found = true;
                    EXPECT_EQ(shown.level, c.level);
                    EXPECT_LE(f->value.size(), Report::kMaxValueLength);
                    EXPECT_FALSE(f->value.contains(QLatin1Char('\n')));
                }
            }
        }
        EXPECT_TRUE(found) << Output::jsonObject(report).toStdString();
    }
}

// For every sample: a category is flagged exactly when exiftool shows a tag of it. Films and
// sound are read both by MediaInfo and, as the user may choose, by ExifTool; MediaInfo does
// not show every tag exiftool does, and those gaps are listed here.
TEST(PrivacyReport, AgreesWithExiftoolOnEverySample)
{
    // file name, category: tags exiftool shows that the MediaInfo reading has no line for.
    const QSet<QString> mediainfoGaps = {
        QStringLiteral("et-MP3.mp3 time"),         QStringLiteral("et-RIFF.wav device"),
        QStringLiteral("song.mp3 software"),       QStringLiteral("two-covers.mp3 software"),
        QStringLiteral("et-RIFF.avi people"),      QStringLiteral("et-RIFF.avi time"),
        QStringLiteral("et-MP3.mp3 people"),       QStringLiteral("et-MP3.mp3 text"),
        QStringLiteral("et-QuickTime.mov device"),
    };
    std::unique_ptr<taglink::TaglinkStayOpenProcess> exiftool =
        taglink::TaglinkStayOpenProcess::init();
    ASSERT_TRUE(exiftool);
    QStringList disagreements;
    for (const QString& path : sampleFiles()) {
        const QString name = QFileInfo(path).fileName();
        const QMap<QString, QStringList> expected = peerCategories(path);
        const PerspixDataPtr data = analyseForReport(path, exiftool.get());
        const bool image = data && data->isImage();
        QList<std::pair<QString, PerspixDataPtr>> readings{{QStringLiteral("default"), data}};
        if (!image)
            readings.append({QStringLiteral("exiftool"), analyse(path, exiftool.get())});
        for (const auto& [reading, analysed] : readings) {
            const Report report = Report::ofFile(path, analysed.get());
            const QSet<QString> got = flagged(report);
            // Located means a position or a place: a GPS block without either is not.
            const bool located = peerLocated(peer::exiftoolTags(path));
            if (report.located() != located &&
                !(reading == QLatin1String("default") && !image && located &&
                  mediainfoGaps.contains(name + QStringLiteral(" location"))))
                disagreements.append(QStringLiteral("%1 (%2): %3 by exiftool, %4 by the report")
                                         .arg(name, reading, located ? "located" : "not located",
                                              report.located() ? "located" : "not located"));
            for (Category category : kCategories) {
                const QString c = categoryName(category);
                const bool peerSays = expected.contains(c);
                if (got.contains(c) == peerSays)
                    continue;
                if (reading == QLatin1String("default") && !image && peerSays &&
                    mediainfoGaps.contains(name + QLatin1Char(' ') + c))
                    continue;
                disagreements.append(
                    QStringLiteral("%1 (%2): %3 %4 by exiftool [%5], %6 by the report")
                        .arg(name, reading, c, peerSays ? "shown" : "not shown",
                             expected.value(c).join(QLatin1Char(' ')),
                             got.contains(c) ? "flagged" : "not flagged"));
            }
        }
    }
    EXPECT_TRUE(disagreements.isEmpty()) << disagreements.join(QLatin1Char('\n')).toStdString();
}

// The GPS tags of a picture make one finding, its position; a block without one (only a
// map datum, zero coordinates without references) is a low note and locates nothing. The
// record forms keep a record per tag, each naming the finding it belongs to.
TEST(PrivacyReport, OnePositionPerPicture)
{
    struct Case
    {
        const char* file;
        const char* value; // the position; "" for a block without one, nullptr for no GPS
    };
    const Case cases[] = {
        {"images/DSCN0010.jpg", "43.467 N, 11.885 E"},
        {"images/IMG_5195.HEIC", "39.051 N, 94.289 W, 261 m"},
        {"images/gps.png", "48.858 N, 2.294 E, 35 m"},
        {"images/gps.webp", "33.857 S, 151.215 E"},
        {"images/gps-empty.jpg", ""},
        {"images/gps-zero.jpg", ""},
        {"images/Canon_40D.jpg", nullptr}, // a version tag alone
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const QString path = dataPath(QString::fromLatin1(c.file));
        const Report report =
            Report::ofFile(path, analyseForReport(path, sharedExiftool()).get());
        QList<const Finding*> gps;
        for (const Finding& f : report.findings)
            if (f.category == Category::Location && !f.details.isEmpty())
                gps.append(&f);
        if (!c.value) {
            EXPECT_TRUE(gps.isEmpty());
            EXPECT_FALSE(report.located());
            continue;
        }
        ASSERT_EQ(gps.size(), 1) << Output::jsonObject(report).toStdString();
        const Finding& position = *gps.first();
        const bool located = *c.value != '\0';
        EXPECT_EQ(report.located(), located);
        EXPECT_EQ(position.level, located ? Level::High : Level::Low);
        EXPECT_EQ(position.value, located ? QString::fromLatin1(c.value) : position.value);
        EXPECT_EQ(position.name, located ? QStringLiteral("GPS position")
                                         : QStringLiteral("GPS block without a position"));
        // Exiv2's and ExifTool's reading of a tag are one detail.
        QSet<QString> names;
        for (const Finding& detail : position.details) {
            EXPECT_EQ(detail.group, position.key);
            EXPECT_FALSE(names.contains(detail.name)) << detail.name.toStdString();
            names.insert(detail.name);
        }
        const QString json = Output::jsonObject(report);
        EXPECT_EQ(json.count(QStringLiteral("\"group\":\"%1\"").arg(position.key)),
                  position.details.size());
    }
}

// Facts the file system keeps beside a file (where it was downloaded from, comments, tags,
// authors); no copy carries them.
TEST(PrivacyReport, OriginFromExtendedAttributes)
{
    TempDir dir;
    const QString path = dir.copyData(QStringLiteral("images/BlueSquare.jpg"));
    const QByteArray file = QFile::encodeName(path);
    const QByteArray url = "https://example.org/holiday/BlueSquare.jpg";
    ASSERT_EQ(::setxattr(file.constData(), "user.xdg.origin.url", url.constData(), url.size(), 0),
              0);
    ASSERT_EQ(::setxattr(file.constData(), "user.xdg.comment", "from Jane", 9, 0), 0);
    const Report report = Report::ofFile(path, analyse(path).get());
    QStringList keys;
    for (const Finding& f : report.findings)
        if (f.category == Category::Origin) {
            keys.append(f.key);
            EXPECT_EQ(f.removal, QStringLiteral("privacy"));
        }
    EXPECT_TRUE(keys.contains(QStringLiteral("FileFrom"))) << keys.join(' ').toStdString();
    EXPECT_TRUE(keys.contains(QStringLiteral("FileFinderComment")));

    MetadataRemover remover;
    remover.setPrivacyStrip(Strip::High);
    TempDir out;
    const MetadataRemovalOutcome outcome =
        remover.processRecord({path, QStringLiteral("BlueSquare.jpg"), analyse(path)}, out.path());
    ASSERT_FALSE(outcome.copyPath.isEmpty());
    EXPECT_FALSE(
        Report::ofFile(outcome.copyPath, analyse(outcome.copyPath).get()).has(Category::Origin));
}

// A file that could not be read whole is reported with what was read and never as clean;
// long values are one short line.
TEST(PrivacyReport, DamagedFilesAndLongValues)
{
    const QString truncated = dataPath(QStringLiteral("media/truncated.mp4"));
    const Report damaged = Report::ofFile(truncated, analyse(truncated).get());
    EXPECT_FALSE(damaged.complete);

    const Report failed = Report::ofFile(QStringLiteral("/nonexistent.jpg"), nullptr);
    EXPECT_FALSE(failed.complete);
    EXPECT_TRUE(Output::jsonObject(failed).contains(QStringLiteral("\"complete\":false")));

    const QString longText = QString(200, QLatin1Char('x')) + QStringLiteral("\n\tend");
    const QString line = Report::oneLine(longText);
    EXPECT_EQ(line.size(), Report::kMaxValueLength);
    EXPECT_FALSE(line.contains(QLatin1Char('\n')));
    EXPECT_EQ(Report::oneLine(QStringLiteral(" a\r\n b ")), QStringLiteral("a b"));
}

// Copies at both levels: nothing removable at the removed levels is left (by the report
// and by exiftool), the exposure and lens tags the source had stay, film streams are
// bit-identical and the sources unchanged.
TEST(PrivacyRemoval, CopiesLoseTheFindingsAndKeepTheRest)
{
    struct Case
    {
        const char* file;
        Strip strip;
    };
    const Case cases[] = {
        {"images/privacy-people.jpg", Strip::High},
        {"images/privacy-people.jpg", Strip::All},
        {"images/DSCN0010.jpg", Strip::High},
        {"images/Canon_40D.jpg", Strip::All},
        {"images/et-IPTC.jpg", Strip::All},
        {"media/paris.mp4", Strip::All},
        {"media/sydney.mov", Strip::High},
        {"media/et-QuickTime.mov", Strip::All},
        {"media/nyc.mp4", Strip::High},
        // Serial numbers in the makernotes of a camera JPEG and of raw files.
        {"images/et-Canon.jpg", Strip::High},
        {"raw/CanonRaw.cr2", Strip::High},
        {"raw/Nikon.nef", Strip::High},
        {"raw/DNG.dng", Strip::High},
        // Formats Exiv2 does not write, and places outside the GPS block.
        {"images/IMG_5195.HEIC", Strip::High},
        {"images/gps-from-jpeg.heic", Strip::High},
        {"images/gps.png", Strip::High},
        {"images/gps.webp", Strip::High},
        {"images/et-IPTC.jpg", Strip::High},
        {"images/et-ExifTool.tif", Strip::High},
        {"images/xmp-location.jpg", Strip::High},
    };
    const QStringList kept = {
        QStringLiteral("ExifIFD:ExposureTime"), QStringLiteral("ExifIFD:FNumber"),
        QStringLiteral("ExifIFD:ISO"),          QStringLiteral("ExifIFD:FocalLength"),
        QStringLiteral("ExifIFD:LensModel"),    QStringLiteral("Keys:Title"),
        QStringLiteral("ItemList:Title")};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.file) + (c.strip == Strip::High ? " privacy" : " privacy-all"));
        const QString source = dataPath(QString::fromLatin1(c.file));
        const QByteArray before = peer::fileDigest(source);
        const PerspixDataPtr data = analyse(source);
        ASSERT_TRUE(data);
        const Report original = Report::ofFile(source, data.get());

        TempDir out;
        MetadataRemover remover;
        remover.setPrivacyStrip(c.strip);
        const MetadataRemovalOutcome outcome =
            remover.processRecord({source, QFileInfo(source).fileName(), data}, out.path());
        ASSERT_FALSE(outcome.copyPath.isEmpty());
        EXPECT_EQ(peer::fileDigest(source), before);

        const Report copy = Report::ofFile(outcome.copyPath, analyse(outcome.copyPath).get());
        for (const Finding& f : copy.findings) {
            const bool keptLow = c.strip == Strip::High && f.level == Level::Low;
            EXPECT_TRUE(keptLow || f.removal.isEmpty())
                << "left: " << Output::findingLine(f).toStdString();
        }

        // exiftool agrees: no tag is left of a category whose findings were all removable
        // at the removed levels.
        const QMap<QString, QStringList> peerAfter = peerCategories(outcome.copyPath);
        for (Category category : kCategories) {
            bool found = false;
            bool allGone = true;
            for (const Finding& f : original.findings) {
                if (f.category != category)
                    continue;
                found = true;
                allGone &=
                    !f.removal.isEmpty() && (c.strip == Strip::All || f.level == Level::High);
            }
            if (found && allGone) {
                EXPECT_FALSE(peerAfter.contains(categoryName(category)))
                    << categoryName(category).toStdString() << ": "
                    << peerAfter.value(categoryName(category)).join(' ').toStdString();
            }
        }
        const QJsonObject tagsBefore = peer::exiftoolTags(source);
        const QJsonObject tagsAfter = peer::exiftoolTags(outcome.copyPath);
        // ExifTool sees neither a place nor a serial number in any copy.
        EXPECT_FALSE(peerLocated(tagsAfter));
        EXPECT_FALSE(peerAfter.contains(QStringLiteral("location")))
            << peerAfter.value(QStringLiteral("location")).join(' ').toStdString();
        for (const QString& tag : peerAfter.value(QStringLiteral("device")))
            EXPECT_FALSE(tag.contains(QLatin1String("Serial"))) << tag.toStdString();
        for (const QString& tag : kept) {
            if (tagsBefore.contains(tag)) {
                EXPECT_EQ(tagsAfter.value(tag), tagsBefore.value(tag)) << tag.toStdString();
            }
        }
        if (!data->isImage()) {
            EXPECT_EQ(peer::streamHashes(outcome.copyPath), peer::streamHashes(source));
        }
    }
}

// A copy whose findings cannot be taken out is not left behind, and a file whose findings
// are not known is not copied.
TEST(PrivacyRemoval, FailedRemovalLeavesNoCopy)
{
    TempDir dir;
    const QString path = dir.copyData(QStringLiteral("images/privacy-people.jpg"));
    const PerspixDataPtr data = analyse(path);
    ASSERT_TRUE(data);
    // The file changes after its analysis: it is no image any more.
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(QByteArray(64, 'x'));
    file.close();

    TempDir out;
    MetadataRemover remover;
    remover.setPrivacyStrip(Strip::High);
    const MetadataRemovalOutcome outcome =
        remover.processRecord({path, QStringLiteral("privacy-people.jpg"), data}, out.path());
    EXPECT_EQ(outcome.kind, MetadataRemovalOutcome::Kind::Failed);

    // Nor is a copy made of a file that was not read whole, or not read at all.
    const QString truncated = dataPath(QStringLiteral("media/truncated.mp4"));
    EXPECT_EQ(remover
                  .processRecord({truncated, QStringLiteral("truncated.mp4"), analyse(truncated)},
                                 out.path())
                  .kind,
              MetadataRemovalOutcome::Kind::Failed);
    EXPECT_EQ(
        remover.processRecord({truncated, QStringLiteral("unread.mp4"), nullptr}, out.path()).kind,
        MetadataRemovalOutcome::Kind::Failed);
    EXPECT_TRUE(QDir(out.path()).entryList(QDir::Files | QDir::NoDotAndDotDot).isEmpty());
}
