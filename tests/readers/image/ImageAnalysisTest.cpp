// The image branch of the analysis on real files: which files take it, the general record
// and its summary lines, the sections of the extended tree and the cover picture.
#include <QColor>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <future>
#include <gtest/gtest.h>

#include "model/Keys.h"
#include "model/Log.h"
#include "model/PerspixData.h"
#include "readers/image/ImageTestSupport.h"
#include "readers/image/oEXIV2.h"
#include "support/TestSupport.h"

using namespace perspix;
using namespace perspix::test;

namespace {

PerspixDataPtr analyse(const QString& path, bool slowThumbnails = false, bool skipCovers = false,
                       bool deferSlowCovers = false)
{
    QVariantMap options;
    options.insert(keys::kOptUseSlowThumbProcessing, slowThumbnails);
    options.insert(keys::kOptSkipCoverPictures, skipCovers);
    options.insert(keys::kOptDeferSlowCovers, deferSlowCovers);
    return PerspixData::dataAboutFile(path, options);
}

QStringList groupKeys(const ExtTreeList& items)
{
    QStringList keys;
    for (const ExtTreeItemPtr& item : items)
        keys.append(item->key());
    return keys;
}

ExtTreeItemPtr find(const ExtTreeList& items, const QString& key)
{
    for (const ExtTreeItemPtr& item : items)
        if (item->key() == key)
            return item;
    return nullptr;
}

ExtTreeList childrenOf(const PerspixData& data, const QString& group)
{
    const ExtTreeItemPtr item = find(*data.extendedContent(), group);
    return item && item->children() ? *item->children() : ExtTreeList();
}

// The general view's lines as name and plain value.
QList<std::pair<QString, QString>> lines(const PerspixData& data)
{
    QList<std::pair<QString, QString>> result;
    for (const ExtTreeItemPtr& line : data.generalInfo()->streams)
        result.append({line->name(), line->stringValue()});
    return result;
}

std::optional<QString> line(const PerspixData& data, const QString& name)
{
    for (const auto& [n, v] : lines(data))
        if (n == name)
            return v;
    return std::nullopt;
}

// Every key the tree shows at any depth.
void collectKeys(const ExtTreeList& items, QStringList& keys)
{
    for (const ExtTreeItemPtr& item : items) {
        keys.append(item->key());
        if (const auto kids = item->children())
            collectKeys(*kids, keys);
    }
}

QString treeText(const ExtTreeList& items, int depth = 0)
{
    QString text;
    for (const ExtTreeItemPtr& item : items) {
        text += QString(depth, QLatin1Char(' ')) + item->key() + QLatin1Char('|') +
                item->extValue() + QLatin1Char('\n');
        if (const auto kids = item->children())
            text += treeText(*kids, depth + 1);
    }
    return text;
}

} // namespace

TEST(ImageAnalysisTest, ImagesTakeTheImageBranchAndNothingElseDoes)
{
    TempDir dir;
    const QByteArray heic = [] {
        QFile f(dataPath(QStringLiteral("images/gps-from-jpeg.heic")));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    struct Case
    {
        QString path;
        bool image;
    };
    const QList<Case> cases = {
        {dataPath(QStringLiteral("images/Canon_40D.jpg")), true},
        {dataPath(QStringLiteral("raw/Nikon.nef")), true},
        {dataPath(QStringLiteral("images/IMG_5195.HEIC")), true},
        // The extension test of the HEIF retry ignores case; without it, no retry.
        {dir.write(QStringLiteral("upper.HEIF"), heic), true},
        {dir.write(QStringLiteral("renamed.jpg"), heic), false},
        {dataPath(QStringLiteral("media/paris.mp4")), false},
        {dataPath(QStringLiteral("media/sydney.mov")), false},
        {dataPath(QStringLiteral("media/multi.mkv")), false},
        {dataPath(QStringLiteral("media/et-RIFF.avi")), false},
        {dataPath(QStringLiteral("audio/song.m4a")), false},
        {dataPath(QStringLiteral("audio/stereo.wav")), false},
        {dataPath(QStringLiteral("audio/song.mp3")), false},
        {dir.write(QStringLiteral("empty.heic"), {}), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        LogCapture log;
        PerspixData data(c.path);
        std::optional<GeneralRecord> general;
        std::optional<PreparedData> prepared;
        EXPECT_EQ(data.runImageBranch(general, prepared), c.image);
        EXPECT_EQ(data.isImage(), c.image);
        EXPECT_EQ(general.has_value() && prepared.has_value(), c.image);
    }
}

TEST(ImageAnalysisTest, GeneralRecordOfImages)
{
    struct Expect
    {
        const char* file;
        const char* format;
        const char* size;
        const char* sizeMP;
    };
    const Expect cases[] = {
        {"images/22-canon_tags.jpg", "JPEG", "1600 x 1200", "1600 x 1200 (1.9 MP)"},
        // 0.3 MP and less: no megapixels.
        {"images/DSCN0010.jpg", "JPEG", "640 x 480", "640 x 480 (0.3 MP)"},
        {"images/Canon_40D.jpg", "JPEG", "100 x 68", "100 x 68"},
        {"raw/DNG.dng", "DNG", "3516 x 2328", "3516 x 2328 (8.2 MP)"},
        {"images/IMG_5195.HEIC", "HEIF", "2566 x 3313", "2566 x 3313 (8.5 MP)"},
        // Without Exif data the format is the file's extension.
        {"images/et-IPTC.jpg", "JPG", "8 x 8", "8 x 8"},
    };
    for (const Expect& c : cases) {
        SCOPED_TRACE(c.file);
        const auto data = analyse(dataPath(QString::fromLatin1(c.file)));
        ASSERT_TRUE(data && data->generalInfo());
        const GeneralRecord& g = *data->generalInfo();
        EXPECT_EQ(g.string(keys::kFormat), QString::fromLatin1(c.format));
        EXPECT_EQ(g.string(keys::kImageSize), QString::fromLatin1(c.size));
        EXPECT_EQ(g.string(keys::kImageSizeMP), QString::fromLatin1(c.sizeMP));
        EXPECT_EQ(g.string(keys::kDuration), QString());
        EXPECT_EQ(g.string(keys::kBitrate), QString());
        EXPECT_FALSE(data->hasCover());
    }
}

TEST(ImageAnalysisTest, SummaryLinesOfACameraImage)
{
    const auto data = analyse(dataPath(QStringLiteral("images/DSCN0010.jpg")));
    ASSERT_TRUE(data);
    const QList<std::pair<QString, QString>> expected = {
        {"Device", "COOLPIX P6000 (NIKON)"},
        {"Photo Date", "2008:10:22 16:28:39"},
        {"Focal Length", "24.0 mm (35 mm equivalent: 112.0 mm)"},
        {"Aperture", "ƒ/5.9"},
        {"ISO", "64"},
        {"Exposure Time", "1/75 s"},
        {"Exposure Bias", "0 EV"},
        {"Exposure Program", "Auto"},
        {"Metering Mode", "Multi-segment"},
        {"Flash", "No, compulsory"},
        {"Exposure Mode", "Auto"},
        {"White Balance", "Auto"},
        {"Location", "43°28'3\"N 11°53'6\"E"},
    };
    EXPECT_EQ(lines(*data), expected);
    const ExtTreeItemPtr location = data->generalInfo()->streams.last();
    EXPECT_TRUE(location->isLocation());
    ASSERT_TRUE(data->mapLocation());
    EXPECT_NEAR(data->mapLocation()->latitude, 43.4674, 1e-3);
    EXPECT_NEAR(data->mapLocation()->longitude, 11.8851, 1e-3);

    // Only the ƒ is set in italics.
    for (const ExtTreeItemPtr& l : data->generalInfo()->streams) {
        if (l->name() != QLatin1String("Aperture"))
            continue;
        const StyledText styled = l->value().value<StyledText>();
        EXPECT_EQ(styled, (StyledText{QStringLiteral("ƒ/5.9"), 0, 1}));
    }
}

TEST(ImageAnalysisTest, SummaryLinesFollowTheirSpecialRules)
{
    TempDir dir;
    struct Case
    {
        QStringList commands;
        QList<std::pair<QString, std::optional<QString>>> expected;
    };
    const QList<Case> cases = {
        {{QStringLiteral("set Exif.Image.Model \"Canon EOS 5D \""),
          QStringLiteral("set Exif.Photo.ISOSpeedRatings 65535"),
          QStringLiteral("set Exif.Photo.StandardOutputSensitivity Long 12800"),
          QStringLiteral("set Exif.Photo.FNumber Rational 28/10")},
         {{"Device", "Canon EOS 5D (Canon)"}, {"ISO", "12800"}, {"Aperture", "ƒ/2.8"}}},
        {{QStringLiteral("set Exif.Photo.ISOSpeedRatings 65535"),
          QStringLiteral("set Exif.Photo.FNumber Rational 0/0"),
          QStringLiteral("set Exif.Photo.ExposureTime Rational 0/0"),
          QStringLiteral("set Exif.Photo.FocalLength Rational 50/1"),
          QStringLiteral("set Exif.Photo.FocalLengthIn35mmFilm 50")},
         {{"ISO", "65535"},
          {"Aperture", std::nullopt},
          {"Exposure Time", std::nullopt},
          // The same focal length twice is shown once.
          {"Focal Length", "50.0 mm"}}},
        // Without the Exif tags the XMP properties stand in.
        {{QStringLiteral("del Exif.Image.Model"), QStringLiteral("del Exif.Image.Make"),
          QStringLiteral("set Xmp.tiff.Model EOS"), QStringLiteral("set Xmp.tiff.Make Canon"),
          QStringLiteral("set Xmp.dc.creator Jane Doe"), QStringLiteral("set Xmp.aux.Lens EF 50")},
         {{"Device", "EOS (Canon)"}, {"Creator", "Jane Doe"}, {"Lens", "EF 50"}}},
        // A make without a model gives no line.
        {{QStringLiteral("del Exif.Image.Model")}, {{"Device", std::nullopt}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.commands.join(QStringLiteral("; ")).toStdString());
        const QString file = dir.copyData(QStringLiteral("images/Canon_40D.jpg"));
        ASSERT_TRUE(exiv2Modify(file, c.commands));
        const auto data = analyse(file);
        ASSERT_TRUE(data);
        for (const auto& [name, value] : c.expected)
            EXPECT_EQ(line(*data, name), value) << name.toStdString();
        QFile::remove(file);
    }
}

TEST(ImageAnalysisTest, SectionsOfACanonJpeg)
{
    const auto data = analyse(dataPath(QStringLiteral("images/22-canon_tags.jpg")));
    ASSERT_TRUE(data && data->extendedContent());
    const ExtTreeList& tree = *data->extendedContent();
    EXPECT_EQ(groupKeys(tree), (QStringList{"File", "Image", "EXIF", "MakerNote"}));

    // The makernote's header tags sit at its top level; each maker group is nested.
    const ExtTreeList makernote = childrenOf(*data, QStringLiteral("MakerNote"));
    EXPECT_EQ(groupKeys(makernote), (QStringList{"Exif.MakerNote.ByteOrder", "Camera Settings",
                                                 "Canon Tags", "Shot Info", "Picture Info"}));
    const ExtTreeItemPtr settings = find(makernote, QStringLiteral("Camera Settings"));
    ASSERT_TRUE(settings && settings->isGroupTree());
    EXPECT_EQ(find(*settings->children(), QStringLiteral("Exif.CanonCs.Macro"))->extValue(),
              QStringLiteral("Macro: Off"));

    // The thumbnail's own tags (IFD1) are in no section; pixel-layout tags are covered by
    // the Image section's own lines.
    QStringList all;
    collectKeys(tree, all);
    for (const QString& key : all) {
        EXPECT_FALSE(key.startsWith(QLatin1String("Exif.Thumbnail."))) << key.toStdString();
        EXPECT_NE(key, QStringLiteral("Exif.Image.XResolution"));
        EXPECT_NE(key, QStringLiteral("Exif.Image.Orientation"));
    }

    // Data and export keys follow the tree, section by section.
    const SectionData& sectionData = *data->data();
    const ExportOptions& exportOptions = data->dict()->exportOptions;
    EXPECT_EQ(sectionData.keys(), exportOptions.keys());
    for (const ExtTreeItemPtr& group : tree) {
        SCOPED_TRACE(group->key().toStdString());
        ASSERT_EQ(sectionData.value(group->key()).size(), 1);
        ASSERT_EQ(exportOptions.value(group->key()).size(), 1);
        // Copies: value() hands out temporaries that a range-for would outlive.
        const ParameterMap parameters = sectionData.value(group->key()).first();
        const QStringList exported = exportOptions.value(group->key()).first();
        for (const QString& key : exported)
            EXPECT_TRUE(parameters.contains(key)) << key.toStdString();
        QStringList shown;
        collectKeys(*group->children(), shown);
        for (const QString& key : shown) {
            // Nested makernote groups are named, not keyed by a parameter.
            if (!key.startsWith(QLatin1String("Exif.")) && group->key() == "MakerNote")
                continue;
            EXPECT_TRUE(parameters.contains(key)) << key.toStdString();
        }
    }
    EXPECT_EQ(sectionData.value(QStringLiteral("MakerNote"))
                  .first()
                  .value(QStringLiteral("Exif.CanonCs.Macro"))
                  .valueString(),
              QStringLiteral("Off"));
}

TEST(ImageAnalysisTest, ImageSectionLines)
{
    TempDir dir;
    const QString twoImages = dir.filePath(QStringLiteral("two.heic"));
    runTool(QStringLiteral("heif-enc"), {QStringLiteral("-q"), QStringLiteral("20"),
                                         dir.copyData(QStringLiteral("images/Canon_40D.jpg")),
                                         dir.copyData(QStringLiteral("images/Nikon_D70.jpg")),
                                         QStringLiteral("-o"), twoImages});
    struct Case
    {
        QString file;
        QList<std::pair<QString, std::optional<QString>>> expected;
    };
    const QList<Case> cases = {
        {dataPath(QStringLiteral("images/Canon_40D.jpg")),
         {{"Format", "JPEG"},
          {"ImageSize", "100 x 68"},
          {"ImageResolution", "72 x 72 dpi"},
          {"ImageOrientation", "top, left (0°)"},
          {"ThumbCount", "1"},
          {"Preview1", "68 x 46 (image/jpeg, 1378 bytes)"},
          {"ICCProfileColorSpace", "sRGB IEC61966-2.1"},
          {"ICCProfileColorSpaceModel", "RGB"},
          {"Exif.Image.Make", "Canon"},
          {"ImageCount", std::nullopt}}},
        // Mirrored: the orientation has no rotation text.
        {dataPath(QStringLiteral("images/landscape_5.jpg")), {{"ImageOrientation", "left, top"}}},
        // A CR2's structure tags describe its preview, not the raw image.
        {dataPath(QStringLiteral("raw/CanonRaw.cr2")),
         {{"Format", "CR2"},
          {"ImageResolution", std::nullopt},
          {"Compression", std::nullopt},
          {"ColorFormat", std::nullopt}}},
        // The primary sub-image's tags, not IFD0's (the small preview's).
        {dataPath(QStringLiteral("raw/DNG.dng")),
         {{"Compression", "JPEG"},
          {"ColorFormat", "16 bit"},
          {"Preview3", "3456 x 2304 (image/tiff, 290 bytes)"}}},
        {dataPath(QStringLiteral("images/et-ExifTool.tif")),
         {{"ImageResolution", "180 x 180 dpi"}, {"Compression", "LZW"}, {"ColorFormat", "8 bit"}}},
        {twoImages, {{"Format", "HEIF"}, {"ImageCount", "2"}, {"ImageSize", "100 x 68"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file.toStdString());
        const auto data = analyse(c.file);
        ASSERT_TRUE(data);
        const ExtTreeList image = childrenOf(*data, QStringLiteral("Image"));
        for (const auto& [key, value] : c.expected) {
            const ExtTreeItemPtr item = find(image, key);
            EXPECT_EQ(item ? std::optional<QString>(item->stringValue()) : std::nullopt, value)
                << key.toStdString();
        }
    }
}

TEST(ImageAnalysisTest, IptcAndXmpSections)
{
    const auto iptc = analyse(dataPath(QStringLiteral("images/BlueSquare.jpg")));
    ASSERT_TRUE(iptc);
    EXPECT_EQ(groupKeys(*iptc->extendedContent()),
              (QStringList{"File", "Image", "EXIF", "IPTC", "XMP", "XMP/xmpMM"}));
    EXPECT_EQ(find(childrenOf(*iptc, QStringLiteral("IPTC")),
                   QStringLiteral("Iptc.Application2.Keywords"))
                  ->stringValue(),
              QStringLiteral("XMP, Blue Square, test file, Photoshop, .jpg"));
    // The XMP section takes the common prefixes in a fixed order.
    const ExtTreeList xmp = childrenOf(*iptc, QStringLiteral("XMP"));
    ASSERT_FALSE(xmp.isEmpty());
    EXPECT_TRUE(xmp.first()->key().startsWith(QLatin1String("Xmp.xmp.")));
    EXPECT_TRUE(xmp.last()->key().startsWith(QLatin1String("Xmp.exif.")));

    // Only "dc" and "crs" keys; the flash structure's marker goes and its fields are
    // relabelled; digests of the tiff and exif namespaces go.
    TempDir dir;
    const QString file = dir.copyData(QStringLiteral("images/Nikon_D70.jpg"));
    ASSERT_TRUE(exiv2Modify(file, {QStringLiteral("del Xmp.xmp.CreatorTool")}));
    runTool(QStringLiteral("exiv2"), {QStringLiteral("-q"), QStringLiteral("-dx"), file});
    ASSERT_TRUE(exiv2Modify(file, {QStringLiteral("set Xmp.dc.title lang=x-default Hello"),
                                   QStringLiteral("set Xmp.crs.Exposure 0.5"),
                                   QStringLiteral("set Xmp.exif.Flash/exif:Fired True"),
                                   QStringLiteral("set Xmp.tiff.NativeDigest 1,2,3")}));
    const auto data = analyse(file);
    ASSERT_TRUE(data);
    const QStringList groups = groupKeys(*data->extendedContent());
    EXPECT_EQ(groups.mid(groups.indexOf(QStringLiteral("XMP"))),
              (QStringList{"XMP", "Camera Raw Settings (XMP)"}));
    const ExtTreeList main = childrenOf(*data, QStringLiteral("XMP"));
    EXPECT_EQ(groupKeys(main), (QStringList{"Xmp.dc.title", "Xmp.exif.Flash/exif:Fired"}));
    EXPECT_EQ(find(main, QStringLiteral("Xmp.exif.Flash/exif:Fired"))->name(),
              QStringLiteral("Flash Fired"));
    EXPECT_TRUE(data->data()->contains(QStringLiteral("Camera Raw Settings (XMP)")));
}

TEST(ImageAnalysisTest, CoversAndPreviews)
{
    struct Case
    {
        QString file;
        bool slow;
        QMetaType::Type type; // UnknownType: no cover
        QSize size;
        bool skipCovers = false;
        // The window's analysis: the slow cover is left to make, at this size.
        QSize deferred = {};
    };
    const QList<Case> cases = {
        // Front ends that show no covers get none, neither decoded nor as bytes.
        {dataPath(QStringLiteral("images/Canon_40D.jpg")), true, QMetaType::UnknownType, {}, true},
        {dataPath(QStringLiteral("images/22-canon_tags.jpg")),
         true,
         QMetaType::UnknownType,
         {},
         true},
        // A small preview is kept as its bytes unless the slow path makes a picture.
        {dataPath(QStringLiteral("images/Canon_40D.jpg")), false, QMetaType::QByteArray, {}},
        {dataPath(QStringLiteral("images/Canon_40D.jpg")), true, QMetaType::QImage, {100, 68}},
        {dataPath(QStringLiteral("images/22-canon_tags.jpg")), true, QMetaType::QImage, {256, 192}},
        // Upright: stored 600 x 450 with orientation 6.
        {dataPath(QStringLiteral("images/portrait_6.jpg")), true, QMetaType::QImage, {192, 256}},
        {dataPath(QStringLiteral("images/portrait_6.jpg")), false, QMetaType::UnknownType, {}},
        // HEIF: only the slow path, decoded with libheif.
        {dataPath(QStringLiteral("images/gps-from-jpeg.heic")), false, QMetaType::UnknownType, {}},
        {dataPath(QStringLiteral("images/gps-from-jpeg.heic")),
         true,
         QMetaType::QImage,
         {256, 192}},
        // Left to make when shown: the small preview's bytes meanwhile, nothing for a HEIF.
        {dataPath(QStringLiteral("images/Canon_40D.jpg")),
         true,
         QMetaType::QByteArray,
         {},
         false,
         {100, 68}},
        {dataPath(QStringLiteral("images/IMG_5195.HEIC")),
         true,
         QMetaType::UnknownType,
         {},
         false,
         {198, 256}},
        // Damaged image data: whatever can be decoded, and no crash.
        {dataPath(QStringLiteral("images/image01551.jpg")), false, QMetaType::UnknownType, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(QStringLiteral("%1 slow=%2").arg(c.file).arg(c.slow).toStdString());
        const auto data = analyse(c.file, c.slow, c.skipCovers, c.deferred.isValid());
        ASSERT_TRUE(data);
        const QString toMake = data->generalInfo()->string(keys::kCoverToMake);
        EXPECT_EQ(toMake.isEmpty(), !c.deferred.isValid());
        if (c.deferred.isValid()) {
            EXPECT_EQ(PerspixData::makeDeferredCover(c.file, toMake).size(), c.deferred);
        }
        if (c.skipCovers) {
            EXPECT_TRUE(data->hasPreviews()); // the previews are still counted
        }
        const QVariant cover = data->generalInfo()->values.value(keys::kCoverData);
        EXPECT_EQ(cover.typeId(), c.type);
        if (c.type == QMetaType::QImage) {
            EXPECT_EQ(cover.value<QImage>().size(), c.size);
        }
        EXPECT_FALSE(data->hasCover());
    }
    analyse(dataPath(QStringLiteral("images/image01551.jpg")), true);

    EXPECT_TRUE(analyse(dataPath(QStringLiteral("images/DSCN0010.jpg")))->hasPreviews());
    EXPECT_FALSE(analyse(dataPath(QStringLiteral("images/et-IPTC.jpg")))->hasPreviews());
    EXPECT_FALSE(analyse(dataPath(QStringLiteral("images/IMG_5195.HEIC")))->hasPreviews());
}

TEST(ImageAnalysisTest, LargePreviewGivesAnUprightCover)
{
    // A landscape photo, left half red and right half blue, with an embedded preview of
    // the same picture and the orientation "turn 90° clockwise to view".
    TempDir dir;
    const auto picture = [](QSize size) {
        QImage image(size, QImage::Format_RGB32);
        QPainter painter(&image);
        painter.fillRect(0, 0, size.width() / 2, size.height(), Qt::red);
        painter.fillRect(size.width() / 2, 0, size.width() - size.width() / 2, size.height(),
                         Qt::blue);
        return image;
    };
    const QString file = dir.filePath(QStringLiteral("photo.jpg"));
    ASSERT_TRUE(picture({900, 600}).save(file, "JPEG", 60));
    ASSERT_TRUE(
        picture({420, 280}).save(dir.filePath(QStringLiteral("photo-thumb.jpg")), "JPEG", 60));
    runTool(QStringLiteral("exiv2"), {QStringLiteral("-q"), QStringLiteral("-it"), file});
    ASSERT_TRUE(exiv2Modify(file, {QStringLiteral("set Exif.Image.Orientation 6")}));

    const auto data = analyse(file);
    ASSERT_TRUE(data);
    const QVariant cover = data->generalInfo()->values.value(keys::kCoverData);
    ASSERT_EQ(cover.typeId(), QMetaType::QImage);
    const QImage image = cover.value<QImage>();
    EXPECT_EQ(image.size(), QSize(170, 256));
    // Turned clockwise, the left half is now on top.
    const QColor top = image.pixelColor(image.width() / 2, 10);
    const QColor bottom = image.pixelColor(image.width() / 2, image.height() - 10);
    EXPECT_GT(top.red(), 200);
    EXPECT_LT(top.blue(), 60);
    EXPECT_GT(bottom.blue(), 200);
    EXPECT_LT(bottom.red(), 60);
}

TEST(ImageAnalysisTest, ConcurrentAnalysesGiveTheSameResults)
{
    // Reads run in parallel only when the library's XMP decodes come through the adapter.
    EXPECT_TRUE(oEXIV2::libraryReadsDecodeGuarded());
    QStringList files;
    for (const QString& folder : {QStringLiteral("images"), QStringLiteral("raw")}) {
        const QDir dir(dataPath(folder));
        for (const QString& name : dir.entryList(QDir::Files, QDir::Name))
            if (!name.endsWith(QLatin1String(".HEIC")))
                files.append(dir.filePath(name));
    }
    const auto describe = [](const QString& file) {
        const auto data = analyse(file);
        if (!data || !data->extendedContent())
            return QString();
        QString text = treeText(*data->extendedContent());
        for (const auto& [name, value] : lines(*data))
            text += name + QLatin1Char('=') + value + QLatin1Char('\n');
        return text;
    };
    QStringList expected;
    for (const QString& file : files)
        expected.append(describe(file));

    // Each thread starts at another file, so that different packets are decoded at once
    // (two reads of one file at a time never lost anything).
    std::vector<std::future<QStringList>> workers;
    for (int t = 0; t < 4; ++t)
        workers.push_back(std::async(std::launch::async, [&, t] {
            QStringList results(files.size());
            for (qsizetype k = 0; k < files.size(); ++k) {
                const qsizetype i = (k + t * 5) % files.size();
                results[i] = describe(files[i]);
            }
            return results;
        }));
    for (auto& worker : workers)
        EXPECT_EQ(worker.get(), expected);
}
