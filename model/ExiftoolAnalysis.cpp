// The ExifTool branch of the analysis: non-image files read through Taglink, turned into
// the general record, the extended tree, the per-section parameters and the export keys.
// Taglink speaks UTF-8 std::string; the conversion to QString happens here and only here.
#include <QFile>
#include <algorithm>
#include <cmath>
#include <limits>

#include "model/Keys.h"
#include "model/Log.h"
#include "model/NativePath.h"
#include "model/PerspixData.h"
#include "taglink/Taglink.h"

namespace perspix {

namespace {

QString fromUtf8(const std::string& s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// Seconds to whole milliseconds, truncated toward zero; nothing for values that do not fit.
std::optional<qint64> milliseconds(double seconds)
{
    const double ms = std::trunc(seconds * 1000.0);
    if (!std::isfinite(ms) || ms <= double(std::numeric_limits<qint64>::min()) ||
        ms >= double(std::numeric_limits<qint64>::max()))
        return std::nullopt;
    return static_cast<qint64>(ms);
}

// "GPSLatitude" as "GPS Latitude", "HometownCity" as "Hometown City".
QString spacedTagName(const QString& tag)
{
    QString spaced;
    for (qsizetype i = 0; i < tag.size(); ++i) {
        const QChar c = tag[i];
        if (i > 0 && c.isUpper() &&
            (tag[i - 1].isLower() || (i + 1 < tag.size() && tag[i + 1].isLower() &&
                                      tag[i - 1].isUpper())))
            spaced += QLatin1Char(' ');
        spaced += c;
    }
    return spaced;
}

struct Section
{
    QString name;
    QList<FileFactEntry> entries;
};

// One section's tree items, parameter records and export keys; a section without tree
// items is left out altogether.
void addSection(const Section& section, PreparedData& prepared)
{
    ParameterMap parameters;
    QStringList exportKeys;
    ExtTreeList children;
    for (const FileFactEntry& entry : section.entries) {
        parameters.insert(entry.key, ParameterRecord{entry.label, entry.value,
                                                     entry.skipInComparison, entry.isPrivateInfo});
        if (!entry.skipInExport)
            exportKeys.append(entry.key);
        if (!entry.skipInExtended) {
            auto item = ExtTreeItem::itemWithKey(entry.key, entry.label, entry.value);
            item->setParamDictStore(entry);
            children.append(item);
        }
    }
    if (children.isEmpty())
        return;
    prepared.extended.append(
        ExtTreeItem::groupTreeWithKey(section.name, section.name, children, 0));
    prepared.data.insert(section.name, {parameters});
    prepared.exportOptions.insert(section.name, {exportKeys});
}

} // namespace

bool PerspixData::runExiftoolBranch(std::optional<GeneralRecord>& general,
                                    std::optional<PreparedData>& prepared)
{
    const QByteArray path = NativePath::encoded(filename);
    const auto taglink = taglink::Taglink::initWithFilename(path.toStdString(), exiftool);
    if (!taglink) {
        logLine(QStringLiteral("Failed to parse with exiftool: %1").arg(filename));
        return false;
    }
    general = prepareExiftoolGeneral(*taglink);
    prepared = prepareExiftoolData(*taglink, *general);
    return true;
}

GeneralRecord PerspixData::prepareExiftoolGeneral(const taglink::Taglink& taglink)
{
    const taglink::TaglinkData& data = taglink.data();
    GeneralRecord general;
    getFileInfo(general);
    general.insert(keys::kImageSize, QString());
    general.insert(keys::kBitrate, QString());
    general.insert(keys::kFormat, data.fileType ? fromUtf8(*data.fileType) : QString());
    const auto duration = data.exifData.find(taglink::Taglink::kDurationKey);
    if (duration != data.exifData.end()) {
        general.insert(keys::kDuration, fromUtf8(duration->second.value));
        const auto ms = data.durationSeconds ? milliseconds(*data.durationSeconds) : std::nullopt;
        this->duration = ms.value_or(0);
    } else {
        general.insert(keys::kDuration, QString());
    }
    // A film gets the same frame as on the MediaInfo branch.
    bool film = false;
    qint64 edge = 0;
    for (const auto& [key, tag] : data.exifData) {
        const std::string_view name = std::string_view(key).substr(key.rfind('.') + 1);
        if (name == "MIMEType")
            film = film || tag.value.starts_with("video/");
        else if (name == "ImageWidth" || name == "ImageHeight")
            edge = std::max(edge, fromUtf8(tag.value).toLongLong());
    }
    if (film)
        addFilmFrame(general, edge);
    return general;
}

PreparedData PerspixData::prepareExiftoolData(const taglink::Taglink& taglink,
                                              const GeneralRecord& general) const
{
    const taglink::TaglinkData& data = taglink.data();
    QList<Section> sections;
    sections.append(Section{keys::kSectionFile, prepareFileStream(general)});
    QHash<QString, qsizetype> sectionIndex;
    sectionIndex.insert(keys::kSectionFile, 0);

    for (const std::string& key : data.exifKeys) {
        const auto found = data.exifData.find(key);
        if (found == data.exifData.end())
            continue;
        const taglink::TagEntry& tag = found->second;
        const QString name = fromUtf8(tag.ifd);
        auto at = sectionIndex.constFind(name);
        if (at == sectionIndex.constEnd()) {
            at = sectionIndex.insert(name, sections.size());
            sections.append(Section{name, {}});
        }
        FileFactEntry entry =
            FileFactEntry::make(fromUtf8(key), fromUtf8(tag.label), fromUtf8(tag.value));
        entry.ifd = name;
        sections[*at].entries.append(std::move(entry));
    }

    PreparedData prepared;
    for (const Section& section : sections)
        addSection(section, prepared);
    return prepared;
}

} // namespace perspix

namespace perspix {

void PerspixData::addExiftoolImageSections(PreparedData& prepared) const
{
    const auto status = [&prepared](const QString& value) {
        ParameterMap parameters;
        parameters.insert(keys::kExiftoolReadingStatus,
                          ParameterRecord{keys::kExiftoolReadingStatus, value, true, false});
        prepared.data.insert(keys::kSectionExiftoolReading, {parameters});
    };
    const QByteArray path = NativePath::encoded(filename);
    const auto tags = exiftool ? exiftool->plainTags(path.toStdString()) : std::nullopt;
    if (!tags) {
        logLine(QStringLiteral("Failed to parse with exiftool: %1").arg(filename));
        status(QStringLiteral("failed"));
        return;
    }
    QHash<QString, ParameterMap> sections;
    for (const auto& [name, value] : *tags) {
        // "Family0:Family1:Tag"; the short form has no descriptions, so the tag's name is
        // its label.
        // ExifTool writes a group once where both families name it alike ("File:Comment").
        QStringList parts = fromUtf8(name).split(QLatin1Char(':'));
        if (parts.size() == 2)
            parts.prepend(parts.first());
        if (parts.size() != 3)
            continue;
        // Composite tags are worked out from others: the file does not hold them.
        if (parts[1] == QLatin1String("Composite") || parts[1] == QLatin1String("ExifTool") ||
            parts[1] == QLatin1String("System"))
            continue;
        const QString section = keys::kExiftoolSectionPrefix + parts[1];
        sections[section].insert(parts.join(QLatin1Char('.')),
                                 ParameterRecord{spacedTagName(parts[2]),
                                                 fromUtf8(taglink::Taglink::valueText(value)),
                                                 true, false});
    }
    for (auto it = sections.cbegin(); it != sections.cend(); ++it)
        prepared.data.insert(it.key(), {it.value()});
    status(QStringLiteral("read"));
}

} // namespace perspix
