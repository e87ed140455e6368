// The image branch of the analysis: files that the Exiv2 adapter or the HEIF reader
// recognise as images become a general record (summary lines, cover) and the prepared
// data (File, Image, EXIF, MakerNote, GPS, IPTC and XMP sections).
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <map>

#include "model/Keys.h"
#include "model/PerspixData.h"
#include "readers/film/FilmThumbnailer.h"
#include "readers/image/ImageUtilities.h"
#include "readers/image/oEXIV2.h"

namespace perspix {

namespace {

const QString kIfd0 = QStringLiteral("IFD0");
const QString kIfdExif = QStringLiteral("Exif");
const QString kIfdGps = QStringLiteral("GPSInfo");
const QString kIfdMakernote = QStringLiteral("Makernote");
const QString kSectionIptc = QStringLiteral("IPTC");
const QString kSectionXmp = QStringLiteral("XMP");
const QString kNotAValue = QStringLiteral("(0/0)");
constexpr int kCoverEdge = 256;

// Pixel-layout tags of IFD0 that the Image section's own lines already cover.
bool isStructureTag(const QString& key)
{
    static const QSet<QString> keys = {
        QStringLiteral("Exif.Image.ImageWidth"),
        QStringLiteral("Exif.Image.ImageLength"),
        QStringLiteral("Exif.Image.BitsPerSample"),
        QStringLiteral("Exif.Image.Compression"),
        QStringLiteral("Exif.Image.PhotometricInterpretation"),
        QStringLiteral("Exif.Image.Orientation"),
        QStringLiteral("Exif.Image.SamplesPerPixel"),
        QStringLiteral("Exif.Image.RowsPerStrip"),
        QStringLiteral("Exif.Image.XResolution"),
        QStringLiteral("Exif.Image.YResolution"),
        QStringLiteral("Exif.Image.PlanarConfiguration"),
        QStringLiteral("Exif.Image.ResolutionUnit"),
        QStringLiteral("Exif.Image.NewSubfileType"),
        QStringLiteral("Exif.Image.YCbCrPositioning"),
        QStringLiteral("Exif.Image.YCbCrSubSampling"),
        QStringLiteral("Exif.Image.ExtraSamples"),
        QStringLiteral("Exif.Image.SampleFormat"),
        QStringLiteral("Exif.Image.TileWidth"),
        QStringLiteral("Exif.Image.TileLength"),
    };
    return keys.contains(key);
}

QString displayNameOfSection(const QString& section)
{
    static const QHash<QString, QString> names = {
        {QStringLiteral("Exif"), QStringLiteral("EXIF")},
        {QStringLiteral("Makernote"), QStringLiteral("MakerNote")},
        {QStringLiteral("GPSInfo"), QStringLiteral("GPS")},
        {QStringLiteral("XMP/crs"), QStringLiteral("Camera Raw Settings (XMP)")},
        {QStringLiteral("XMP/GPano"), QStringLiteral("Photo Sphere Metadata (XMP)")},
    };
    return names.value(section, section);
}

FileFactEntry exifFact(const QString& key, const ExifEntry& entry)
{
    FileFactEntry fact = FileFactEntry::make(key, entry.label, entry.value);
    fact.ifd = entry.ifd;
    return fact;
}

FileFactEntry xmpFact(const QString& key, const XmpEntry& entry)
{
    FileFactEntry fact = FileFactEntry::make(key, entry.label, entry.value);
    fact.group = entry.group;
    return fact;
}

// The orientation that an embedded preview shares with the full image.
QImageIOHandler::Transformations previewOrientation(const ImageDataRecord& record)
{
    const QString degrees = record.imageOrientationDegrees.value_or(QString());
    if (degrees == QStringLiteral("180° CW"))
        return ImageUtilities::transformationForOrientation(3);
    if (degrees == QStringLiteral("270° CW"))
        return ImageUtilities::transformationForOrientation(6);
    if (degrees == QStringLiteral("90° CW"))
        return ImageUtilities::transformationForOrientation(8);
    return QImageIOHandler::TransformationNone;
}

// Sections in the order in which they were first made. A section handed out stays where
// it is while others are made.
class Sections
{
public:
    QList<FileFactEntry>& section(const QString& name)
    {
        const auto [it, made] = m_entries.try_emplace(name);
        if (made)
            m_order.append(name);
        return it->second;
    }
    const QStringList& order() const { return m_order; }
    const QList<FileFactEntry>& entries(const QString& name) const { return m_entries.at(name); }

private:
    QStringList m_order;
    std::map<QString, QList<FileFactEntry>> m_entries;
};

} // namespace

QImage PerspixData::makeDeferredCover(const QString& path, const QString& what)
{
    if (what == QLatin1String("image"))
        return ImageUtilities::thumbnailedImageFromURL(path, kCoverEdge).value_or(QImage());
    if (what.startsWith(QLatin1String("film:"))) {
        const int edge = what.mid(5).toInt();
        return edge > 0 ? FilmThumbnailer::frameOfFile(path, edge) : QImage();
    }
    return {};
}

bool PerspixData::runImageBranch(std::optional<GeneralRecord>& general,
                                 std::optional<PreparedData>& prepared)
{
    std::unique_ptr<oEXIV2> adapter = oEXIV2::initWithFilename(filename);
    if (!adapter) {
        const QString extension = QFileInfo(filename).suffix().toLower();
        if (extension == QLatin1String("heic") || extension == QLatin1String("heif"))
            adapter = oEXIV2::initWithHeifFilePath(filename);
    }
    if (!adapter || !adapter->isImage())
        return false;
    setIsImage(true);
    general = prepareExiv2General(*adapter);
    prepared = prepareExiv2Data(*adapter, *general);
    return true;
}

GeneralRecord PerspixData::prepareExiv2General(const oEXIV2& adapter) const
{
    GeneralRecord general;
    const std::optional<ImageDataRecord>& record = adapter.data();

    if (record && record->imageType) {
        general.insert(keys::kFormat, *record->imageType);
    } else {
        const QFileInfo info(filename);
        const QString resolved = info.canonicalFilePath();
        general.insert(keys::kFormat,
                       QFileInfo(resolved.isEmpty() ? filename : resolved).suffix().toUpper());
    }
    general.insert(keys::kDuration, QString());
    general.insert(keys::kBitrate, QString());
    getFileInfo(general);

    if (record && record->imageWidth && record->imageHeight) {
        const QString& width = *record->imageWidth;
        const QString& height = *record->imageHeight;
        const QString size = QStringLiteral("%1 x %2").arg(width, height);
        general.insert(keys::kImageSize, size);
        const double megapixels = static_cast<double>(width.toLongLong()) *
                                  static_cast<double>(height.toLongLong()) / 1000000.0;
        general.insert(keys::kImageSizeMP,
                       megapixels > 0.3
                           ? QStringLiteral("%1 x %2 (%3 MP)")
                                 .arg(width, height, QString::number(megapixels, 'f', 1))
                           : size);
    }

    if (record && !skipCoverPictures) {
        std::optional<QImage> cover;
        if (!record->thumb.isEmpty() && record->thumbHeight >= kCoverEdge + 1)
            cover = ImageUtilities::thumbnailedImageFromData(record->thumb, kCoverEdge,
                                                             previewOrientation(*record));
        if (!cover && useSlowThumbProcessing) {
            if (deferSlowCovers)
                general.insert(keys::kCoverToMake, QStringLiteral("image"));
            else
                cover = ImageUtilities::thumbnailedImageFromURL(filename, kCoverEdge);
        }
        if (cover)
            general.insert(keys::kCoverData, *cover);
        else if (!record->thumb.isEmpty())
            general.insert(keys::kCoverData, record->thumb);
    }
    if (record && record->thumbCount)
        general.insert(keys::kThumbCount, *record->thumbCount);

    dataFillImageGeneralStreams(adapter, general);
    return general;
}

void PerspixData::dataFillImageGeneralStreams(const oEXIV2& adapter, GeneralRecord& general) const
{
    general.streams.clear();
    const std::optional<ImageDataRecord>& record = adapter.data();
    if (!record)
        return;

    const auto exif = [&record](const QString& key) -> std::optional<QString> {
        const auto it = record->exifData.constFind(key);
        if (it == record->exifData.constEnd())
            return std::nullopt;
        return it->value;
    };
    const auto xmp = [&record](const QString& key) -> std::optional<QString> {
        const auto it = record->xmpData.constFind(key);
        if (it == record->xmpData.constEnd())
            return std::nullopt;
        return it->value;
    };
    const auto either = [&](const QString& exifKey, const QString& xmpKey) {
        auto value = exif(exifKey);
        if (!value && !xmpKey.isEmpty())
            value = xmp(xmpKey);
        return value;
    };
    const auto addLine = [&general](const QString& name, const std::optional<QString>& value) {
        if (value && !value->isEmpty())
            general.streams.append(ExtTreeItem::itemWithName(name, *value));
    };
    const auto trimmed = [](const std::optional<QString>& value) -> std::optional<QString> {
        if (!value)
            return std::nullopt;
        return value->trimmed();
    };

    // Device: the model, with the make after it when there is one.
    if (auto model =
            trimmed(either(QStringLiteral("Exif.Image.Model"), QStringLiteral("Xmp.tiff.Model")));
        model && !model->isEmpty()) {
        const auto make =
            trimmed(either(QStringLiteral("Exif.Image.Make"), QStringLiteral("Xmp.tiff.Make")));
        addLine(QStringLiteral("Device"),
                make && !make->isEmpty() ? QStringLiteral("%1 (%2)").arg(*model, *make) : *model);
    }

    std::optional<QString> lens;
    if (record->easyAccess && record->easyAccess->lensName)
        lens = record->easyAccess->lensName;
    else
        lens = xmp(QStringLiteral("Xmp.aux.Lens"));
    addLine(QStringLiteral("Lens"), lens);

    addLine(QStringLiteral("Photo Date"),
            trimmed(either(QStringLiteral("Exif.Photo.DateTimeOriginal"),
                           QStringLiteral("Xmp.exif.DateTimeOriginal"))));

    if (auto focal = either(QStringLiteral("Exif.Photo.FocalLength"),
                            QStringLiteral("Xmp.exif.FocalLength"))) {
        const auto equivalent = exif(QStringLiteral("Exif.Photo.FocalLengthIn35mmFilm"));
        if (equivalent && !equivalent->isEmpty() && *equivalent != *focal)
            focal = QStringLiteral("%1 (35 mm equivalent: %2)").arg(*focal, *equivalent);
        addLine(QStringLiteral("Focal Length"), trimmed(focal));
    }

    if (auto aperture =
            either(QStringLiteral("Exif.Photo.FNumber"), QStringLiteral("Xmp.exif.FNumber"));
        aperture && !aperture->isEmpty() && *aperture != kNotAValue) {
        QString text = aperture->replace(QLatin1Char('F'), QLatin1Char('/'));
        // The "ƒ" is set in italics; the view picks the face and size.
        StyledText styled{QStringLiteral("ƒ") + text, 0, 1};
        general.streams.append(
            ExtTreeItem::itemWithName(QStringLiteral("Aperture"), QVariant::fromValue(styled)));
    }

    auto iso = either(QStringLiteral("Exif.Photo.ISOSpeedRatings"),
                      QStringLiteral("Xmp.exif.ISOSpeedRatings"));
    if (iso && *iso == QLatin1String("65535")) {
        // 65535 only says that the real sensitivity did not fit the tag.
        const auto standard = exif(QStringLiteral("Exif.Photo.StandardOutputSensitivity"));
        if (standard && !standard->isEmpty())
            iso = standard;
    }
    addLine(QStringLiteral("ISO"), iso);

    struct Line
    {
        const char* name;
        const char* exifKey;
        const char* xmpKey;
    };
    static const Line lines[] = {
        {"Exposure Time", "Exif.Photo.ExposureTime", "Xmp.exif.ShutterSpeedValue"},
        {"Exposure Bias", "Exif.Photo.ExposureBiasValue", "Xmp.exif.ExposureBiasValue"},
        {"Exposure Program", "Exif.Photo.ExposureProgram", "Xmp.exif.ExposureProgram"},
        {"Metering Mode", "Exif.Photo.MeteringMode", "Xmp.exif.MeteringMode"},
        {"Flash", "Exif.Photo.Flash", ""},
        {"Exposure Mode", "Exif.Photo.ExposureMode", "Xmp.exif.ExposureMode"},
        {"White Balance", "Exif.Photo.WhiteBalance", "Xmp.exif.WhiteBalance"},
        // Exiv2 names the Dublin Core properties in lower case.
        {"Creator", "Exif.Image.Artist", "Xmp.dc.creator"},
        {"Copyright", "Exif.Image.Copyright", "Xmp.dc.rights"},
    };
    for (const Line& line : lines) {
        const auto value =
            trimmed(either(QString::fromLatin1(line.exifKey), QString::fromLatin1(line.xmpKey)));
        if (value && *value != kNotAValue)
            addLine(QString::fromLatin1(line.name), value);
    }

    if (record->easyAccess && record->easyAccess->gps) {
        general.streams.append(ExtTreeItem::locationItemWithName(QStringLiteral("Location"),
                                                                 *record->easyAccess->gps));
        general.insert(keys::kGeneralLatitude, record->easyAccess->gpsLatitude);
        general.insert(keys::kGeneralLongitude, record->easyAccess->gpsLongitude);
    }
}

std::optional<PreparedData> PerspixData::prepareExiv2Data(const oEXIV2& adapter,
                                                          const GeneralRecord& general) const
{
    const std::optional<ImageDataRecord>& record = adapter.data();
    if (!record)
        return std::nullopt;
    const QHash<QString, ExifEntry>& exif = record->exifData;
    const auto exifValue = [&exif](const QString& key) -> std::optional<QString> {
        const auto it = exif.constFind(key);
        if (it == exif.constEnd() || it->value.isEmpty())
            return std::nullopt;
        return it->value;
    };

    Sections sections;
    sections.section(keys::kSectionFile) = prepareFileStream(general);

    QList<FileFactEntry>& image = sections.section(keys::kSectionImage);
    const auto add = [&image](const QString& key, const QString& label, const QString& value) {
        image.append(FileFactEntry::make(key, label, value));
    };
    add(QStringLiteral("Format"), QStringLiteral("Format"), general.string(keys::kFormat));
    if (general.contains(keys::kImageSize))
        add(QStringLiteral("ImageSize"), QStringLiteral("Image size"),
            general.string(keys::kImageSize));
    if (record->imageCount && *record->imageCount != QLatin1String("1"))
        add(QStringLiteral("ImageCount"), QStringLiteral("Number of images"), *record->imageCount);
    if (general.string(keys::kFormat) != QLatin1String("CR2")) {
        const QString group = adapter.tiffPrimaryGroup().value_or(QStringLiteral("Image"));
        const auto tag = [&](const char* name) {
            return exifValue(QStringLiteral("Exif.%1.%2").arg(group, QLatin1String(name)));
        };
        const auto unit = tag("ResolutionUnit");
        const auto x = tag("XResolution");
        const auto y = tag("YResolution");
        if (unit && x && y) {
            QString unitText = *unit;
            if (unitText == QLatin1String("inch"))
                unitText = QStringLiteral("dpi");
            else if (unitText == QLatin1String("cm"))
                unitText = QStringLiteral("dpcm");
            add(QStringLiteral("ImageResolution"), QStringLiteral("Image resolution"),
                QStringLiteral("%1 x %2 %3").arg(*x, *y, unitText));
        }
        if (const auto compression = tag("Compression"))
            add(QStringLiteral("Compression"), QStringLiteral("Compression"), *compression);
        if (const auto bits = tag("BitsPerSample")) {
            // "8 8 8": one sample's bits stand for all.
            const QString first = bits->simplified().section(QLatin1Char(' '), 0, 0);
            add(QStringLiteral("ColorFormat"), QStringLiteral("Color Format"),
                QStringLiteral("%1 bit").arg(first.isEmpty() ? *bits : first));
        }
    }
    if (const auto orientation = exif.constFind(QStringLiteral("Exif.Image.Orientation"));
        orientation != exif.constEnd()) {
        add(QStringLiteral("ImageOrientation"), QStringLiteral("Orientation"),
            record->imageOrientationDegrees
                ? QStringLiteral("%1 (%2)").arg(orientation->value,
                                                *record->imageOrientationDegrees)
                : orientation->value);
    }
    if (record->thumbCount)
        add(QStringLiteral("ThumbCount"), QStringLiteral("Number of previews"),
            *record->thumbCount);
    for (qsizetype i = 0; i < record->previews.size(); ++i)
        add(QStringLiteral("Preview%1").arg(i + 1), QStringLiteral("Preview #%1").arg(i + 1),
            record->previews[i]);
    if (record->iccProfileColorSpace)
        add(QStringLiteral("ICCProfileColorSpace"), QStringLiteral("ICC Profile"),
            *record->iccProfileColorSpace);
    if (record->iccProfileColorSpaceModel)
        add(QStringLiteral("ICCProfileColorSpaceModel"), QStringLiteral("ICC Profile Color Space"),
            *record->iccProfileColorSpaceModel);

    for (const QString& key : record->exifKeys) {
        const auto it = exif.constFind(key);
        if (it == exif.constEnd())
            continue;
        if (it->ifd == kIfd0) {
            if (!isStructureTag(key))
                image.append(exifFact(key, *it));
        } else if (it->ifd == kIfdExif || it->ifd == kIfdGps || it->ifd == kIfdMakernote) {
            sections.section(it->ifd).append(exifFact(key, *it));
        }
        // Thumbnail, sub-image and interoperability IFDs describe other images.
    }

    if (!record->iptcKeys.isEmpty()) {
        QList<FileFactEntry>& iptc = sections.section(kSectionIptc);
        for (const QString& key : record->iptcKeys) {
            const auto it = record->iptcData.constFind(key);
            if (it != record->iptcData.constEnd())
                iptc.append(FileFactEntry::make(key, it->label, it->value));
        }
    }

    if (!record->xmpKeys.isEmpty()) {
        QStringList prefixes;
        QHash<QString, QStringList> keysByPrefix;
        for (const QString& key : record->xmpKeys) {
            const auto it = record->xmpData.constFind(key);
            if (it == record->xmpData.constEnd())
                continue;
            if (!keysByPrefix.contains(it->group))
                prefixes.append(it->group);
            keysByPrefix[it->group].append(key);
        }
        static const QStringList mainPrefixes = {
            QStringLiteral("xmp"),  QStringLiteral("photoshop"), QStringLiteral("dc"),
            QStringLiteral("tiff"), QStringLiteral("exif"),      QStringLiteral("aux")};
        QList<FileFactEntry> main;
        for (const QString& prefix : mainPrefixes) {
            const bool technical =
                prefix == QLatin1String("tiff") || prefix == QLatin1String("exif");
            for (const QString& key : keysByPrefix.value(prefix)) {
                const XmpEntry& entry = record->xmpData[key];
                // The flash structure itself is only a marker: its fields follow.
                if (entry.label == QLatin1String("Flash") &&
                    entry.value == QLatin1String("type=\"Struct\""))
                    continue;
                if (technical && entry.label == QLatin1String("NativeDigest"))
                    continue;
                FileFactEntry fact = xmpFact(key, entry);
                const QStringList parts = entry.label.split(QLatin1Char('/'));
                if (parts.size() == 2 && parts.first() == QLatin1String("Flash")) {
                    QString label = entry.label;
                    label.replace(QStringLiteral("/exif:"), QStringLiteral(" "));
                    fact.label = label;
                }
                main.append(fact);
            }
        }
        if (!main.isEmpty())
            sections.section(kSectionXmp) = main;
        for (const QString& prefix : prefixes) {
            if (mainPrefixes.contains(prefix))
                continue;
            QList<FileFactEntry> entries;
            for (const QString& key : keysByPrefix.value(prefix))
                entries.append(xmpFact(key, record->xmpData[key]));
            if (!entries.isEmpty())
                sections.section(kSectionXmp + QLatin1Char('/') + prefix) = entries;
        }
    }

    PreparedData prepared;
    for (const QString& name : sections.order()) {
        const QString display = displayNameOfSection(name);
        ExtTreeList treeItems;
        ParameterMap dataItems;
        QStringList exportItems;
        splitIfdItems(sections.entries(name), name, treeItems, dataItems, exportItems);
        if (treeItems.isEmpty())
            continue;
        prepared.extended.append(ExtTreeItem::groupTreeWithKey(display, display, treeItems, 0));
        prepared.data.insert(display, {dataItems});
        prepared.exportOptions.insert(display, {exportItems});
    }
    return prepared;
}

void PerspixData::splitIfdItems(const QList<FileFactEntry>& entries, const QString& ifd,
                                ExtTreeList& treeItems, ParameterMap& dataItems,
                                QStringList& exportItems)
{
    const bool makernote = ifd == kIfdMakernote;
    dataItems.reserve(entries.size());
    exportItems.reserve(entries.size());
    treeItems.reserve(entries.size());
    QStringList groups;
    QHash<QString, ExtTreeList> itemsByGroup;
    for (const FileFactEntry& entry : entries) {
        const QString& label = entry.label;
        const QVariant& value = entry.value;
        // The privacy flag travels too, so that exports without private information
        // leave out the file's folder and the like on this path as well.
        dataItems.insert(
            entry.key, ParameterRecord{label, value, entry.skipInComparison, entry.isPrivateInfo});
        if (!entry.skipInExport)
            exportItems.append(entry.key);
        if (entry.skipInExtended)
            continue;
        ExtTreeItemPtr item = ExtTreeItem::itemWithKey(entry.key, label, value);
        item->setParamDictStore(entry);
        if (!makernote) {
            treeItems.append(item);
            continue;
        }
        // The makernote group is the key's second part: Canon in Exif.Canon.ModelID.
        const qsizetype firstDot = entry.key.indexOf(QLatin1Char('.'));
        if (firstDot < 0)
            continue;
        const qsizetype secondDot = entry.key.indexOf(QLatin1Char('.'), firstDot + 1);
        const QString group =
            entry.key.mid(firstDot + 1, secondDot < 0 ? -1 : secondDot - firstDot - 1);
        if (!itemsByGroup.contains(group))
            groups.append(group);
        itemsByGroup[group].append(item);
    }
    for (const QString& group : groups) {
        const ExtTreeList& items = itemsByGroup[group];
        // The makernote's own header tags stay at its top level; each maker's group nests.
        if (group == QLatin1String("MakerNote")) {
            treeItems.append(items);
            continue;
        }
        const QString name = oEXIV2::makernoteGroupName(group);
        treeItems.append(ExtTreeItem::groupTreeWithKey(name, name, items, 0));
    }
}

bool PerspixData::hasPreviews() const
{
    if (!m_dict)
        return false;
    return m_dict->general.string(keys::kThumbCount).toInt() > 0;
}

bool PerspixData::hasCover() const
{
    return m_dict && !m_isImage && m_dict->general.contains(keys::kCoverData);
}

} // namespace perspix
