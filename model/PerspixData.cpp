// Creation, options, the order in which the reader branches run, accessors and the
// location of an analysed file.
#include "model/PerspixData.h"

#include <QFileInfo>
#include <sys/stat.h>

#include "model/Keys.h"
#include "model/NativePath.h"
#include "model/Utilities.h"

namespace perspix {

PerspixDataPtr PerspixData::dataAboutFile(const QString& path, const QVariantMap& options)
{
    return dataAboutFile(path, options, nullptr);
}

PerspixDataPtr PerspixData::dataAboutFile(const QString& path, const QVariantMap& options,
                                          taglink::TaglinkStayOpenProcess* exiftool)
{
    auto data = std::make_shared<PerspixData>(path);
    data->setInitOptions(&options);
    data->exiftool = exiftool;
    if (!data->doProcessWithImages())
        return nullptr;
    return data;
}

PerspixData::PerspixData(const QString& path) : filename(path) {}

PerspixData::PerspixData(const QString& path, ResultRecord result)
    : filename(path), m_dict(std::move(result))
{
}

void PerspixData::setInitOptions(const QVariantMap* options)
{
    if (!options)
        return;
    const auto apply = [options](const QString& key, bool& field) {
        const auto it = options->constFind(key);
        if (it != options->constEnd())
            field = it->toBool();
    };
    apply(keys::kOptUseSIUnits, useSIUnits);
    apply(keys::kOptUseSlowThumbProcessing, useSlowThumbProcessing);
    apply(keys::kOptMakeFilmFrames, makeFilmFrames);
    apply(keys::kOptDeferSlowCovers, deferSlowCovers);
    apply(keys::kOptDisplayOtherTracksInGeneral, otherTracksInGeneral);
    apply(keys::kOptComputeFileHashes, computeFileHashes);
    apply(keys::kOptSkipExtAttributes, skipExtAttributes);
    apply(keys::kOptSkipCoverPictures, skipCoverPictures);
    const auto utility = options->constFind(keys::kOptVideoUtility);
    if (utility != options->constEnd() && utility->toString() == keys::kVideoUtilityExiftool)
        useExiftoolForVideo = true;
    apply(keys::kOptReadImagesWithExiftool, useExiftoolForImages);
}

bool PerspixData::doProcessWithImages()
{
    m_isImage = false;
    std::optional<GeneralRecord> general;
    std::optional<PreparedData> prepared;

    struct stat st;
    const bool present = ::stat(NativePath::encoded(filename).constData(), &st) == 0;
    if (present && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) {
        // Only the file-system facts: reading a pipe, socket or device can block for ever.
        if (!runFileFactsBranch(general, prepared))
            return false;
    } else if (!runImageBranch(general, prepared)) {
        general.reset();
        prepared.reset();
        const bool opened = useExiftoolForVideo ? runExiftoolBranch(general, prepared)
                                                : runMediainfoBranch(general, prepared);
        if (!opened)
            return false;
    } else if (useExiftoolForImages && prepared) {
        addExiftoolImageSections(*prepared);
    }

    m_dict.reset();
    if (general && prepared) {
        ResultRecord result;
        result.general = std::move(*general);
        result.extended = std::move(prepared->extended);
        result.data = std::move(prepared->data);
        result.exportOptions = std::move(prepared->exportOptions);
        m_dict = std::move(result);
    }

    if (!m_isImage && !m_isVideo && !m_isAudio)
        m_isUnknown = true;
    m_mapLocation = findMapLocation();
    return true;
}

bool PerspixData::runFileFactsBranch(std::optional<GeneralRecord>& general,
                                     std::optional<PreparedData>& prepared)
{
    struct stat st;
    if (::stat(NativePath::encoded(filename).constData(), &st) != 0)
        return false; // nothing is there: the readers' failure stands
    general.emplace();
    getFileInfo(*general);
    general->insert(keys::kFormat, keys::kUnknownFormat);
    general->insert(keys::kFormatProfile, QString());
    general->insert(keys::kDuration, QString());
    general->insert(keys::kBitrate, QString());
    general->insert(keys::kImageSize, QString());
    prepared.emplace();
    addFileSection(prepareFileStream(*general), *prepared);
    return true;
}

const GeneralRecord* PerspixData::generalInfo() const
{
    return m_dict ? &m_dict->general : nullptr;
}

const ExtTreeList* PerspixData::extendedContent() const
{
    return m_dict ? &m_dict->extended : nullptr;
}

const SectionData* PerspixData::data() const
{
    return m_dict ? &m_dict->data : nullptr;
}

std::optional<QString> PerspixData::format() const
{
    if (!m_dict)
        return std::nullopt;
    return m_dict->general.string(keys::kFormat);
}

std::optional<QString> PerspixData::formatProfile() const
{
    if (!m_dict)
        return std::nullopt;
    return m_dict->general.string(keys::kFormatProfile);
}

namespace {
const QString kIso6709Pattern =
    QStringLiteral("^([+-]{1})([0-9\\.]+)([+-]{1})([0-9\\.]+)(([+-]{1})([0-9\\.]+))?");
const QString kQuickTimeLocation = QStringLiteral("com.apple.quicktime.location.ISO6709");
const QString kXyz = QStringLiteral("xyz");
} // namespace

std::optional<MapLocation> PerspixData::findMapLocation() const
{
    if (!m_dict)
        return std::nullopt;
    if (m_isImage) {
        const QVariantMap& g = m_dict->general.values;
        if (!g.contains(keys::kGeneralLatitude) || !g.contains(keys::kGeneralLongitude))
            return std::nullopt;
        return MapLocation{g.value(keys::kGeneralLatitude).toDouble(),
                           g.value(keys::kGeneralLongitude).toDouble()};
    }
    const auto container = m_dict->data.constFind(keys::kSectionContainer);
    if (container == m_dict->data.constEnd() || container->isEmpty())
        return std::nullopt;
    const ParameterMap& stream = container->first();
    auto param = stream.constFind(kQuickTimeLocation);
    if (param == stream.constEnd())
        param = stream.constFind(kXyz);
    if (param == stream.constEnd())
        return std::nullopt;
    return locationFromIso6709(param->valueString());
}

std::optional<MapLocation> PerspixData::locationFromIso6709(const QString& value)
{
    const auto captures = Utilities::captureFirstComponentsMatchedByRegex(kIso6709Pattern, value);
    if (!captures || captures->size() < 8)
        return std::nullopt;
    double latitude = captures->at(2).toDouble();
    double longitude = captures->at(4).toDouble();
    if (captures->at(1) == QLatin1String("-"))
        latitude = -latitude;
    if (captures->at(3) == QLatin1String("-"))
        longitude = -longitude;
    return MapLocation{latitude, longitude};
}

} // namespace perspix
