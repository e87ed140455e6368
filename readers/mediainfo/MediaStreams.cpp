// The MediaInfo branch of the analysis: a film's or sound file's streams become the
// general record (summary, cover, one line per stream) and the prepared data (extended
// tree, per-stream parameters, export keys). Reads only through the oMediaInfo adapter.
#include <QByteArray>
#include <algorithm>
#include <limits>

#include "model/Keys.h"
#include "model/Log.h"
#include "model/PerspixData.h"
#include "readers/mediainfo/oMediaInfo.h"

namespace perspix {

namespace {

// Films get frames as large as the covers the image branch makes.

// The leading integer of a library value ("2024.000" reads 2024), clamped to the range;
// 0 when the text does not start with a number.
qint64 leadingInteger(const QString& text, qint64 minimum, qint64 maximum)
{
    qsizetype i = 0;
    while (i < text.size() && text.at(i).isSpace())
        ++i;
    bool negative = false;
    if (i < text.size() && (text.at(i) == QLatin1Char('-') || text.at(i) == QLatin1Char('+'))) {
        negative = text.at(i) == QLatin1Char('-');
        ++i;
    }
    qint64 value = 0;
    for (; i < text.size() && text.at(i) >= QLatin1Char('0') && text.at(i) <= QLatin1Char('9');
         ++i) {
        const int digit = text.at(i).unicode() - '0';
        if (value > (std::numeric_limits<qint64>::max() - digit) / 10)
            return negative ? minimum : maximum;
        value = value * 10 + digit;
    }
    value = negative ? -value : value;
    return std::clamp(value, minimum, maximum);
}

qint64 int32Value(const QString& text)
{
    return leadingInteger(text, std::numeric_limits<qint32>::min(),
                          std::numeric_limits<qint32>::max());
}

qint64 int64Value(const QString& text)
{
    return leadingInteger(text, std::numeric_limits<qint64>::min(),
                          std::numeric_limits<qint64>::max());
}

void addIfNotEmpty(QStringList& list, const QString& text)
{
    if (!text.isEmpty())
        list.append(text);
}

const QString kMultiSeparator = QStringLiteral(" / ");
const QStringList kAlsoShown = {QStringLiteral("FrameCount"), QStringLiteral("PixelAspectRatio")};

// Kinds in the order their sections appear in the extended tree.
constexpr StreamKind kSectionOrder[] = {StreamKind::General, StreamKind::Video, StreamKind::Audio,
                                        StreamKind::Text,    StreamKind::Menu,  StreamKind::Other,
                                        StreamKind::Image};

} // namespace

bool PerspixData::runMediainfoBranch(std::optional<GeneralRecord>& general,
                                     std::optional<PreparedData>& prepared)
{
    oMediaInfo mi;
    if (!mi.Open(filename)) {
        logLine(QStringLiteral("Failed to parse with MI: %1").arg(filename));
        return false;
    }
    general = prepareMediainfoGeneral(mi);
    prepared = prepareMediainfoData(mi, *general);
    return true;
}

GeneralRecord PerspixData::prepareMediainfoGeneral(oMediaInfo& mi)
{
    GeneralRecord general;
    const QString durationText = mi.GetGeneral(0, QStringLiteral("Duration"));
    duration = int64Value(durationText);

    getFileInfo(general);

    const QString format = mi.GetGeneral(0, QStringLiteral("Format"));
    general.insert(keys::kFormat, format.isEmpty() ? keys::kUnknownFormat : format);
    general.insert(keys::kFormatProfile, mi.GetGeneral(0, QStringLiteral("Format_Profile")));
    general.insert(keys::kDuration, oMediaInfo::formatDurationUpToSeconds(duration));
    general.insert(keys::kBitrate, mi.GetGeneral(0, QStringLiteral("OverallBitRate/String")));
    general.insert(keys::kImageSize, QString());

    QString cover = mi.GetGeneral(0, QStringLiteral("Cover_Data"));
    if (cover.isEmpty())
        cover = mi.GetGeneral(0, QStringLiteral("Thumbnail_Data"));
    if (!cover.isEmpty()) {
        const QString first = cover.left(cover.indexOf(kMultiSeparator));
        const auto decoded = QByteArray::fromBase64Encoding(
            first.trimmed().toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
        if (decoded && !decoded.decoded.isEmpty())
            general.insert(keys::kCoverData, decoded.decoded);
    }
    if (mi.numberOfStreams(StreamKind::Video) > 0)
        addFilmFrame(general, std::max(int64Value(mi.GetVideo(0, QStringLiteral("Width"))),
                                       int64Value(mi.GetVideo(0, QStringLiteral("Height")))));

    dataFillGeneralStreamsFrom(mi, general);
    return general;
}

void PerspixData::dataFillGeneralStreamsFrom(oMediaInfo& mi, GeneralRecord& general)
{
    ExtTreeList lines;
    // One summary line per stream of the kind; facts() answers nothing for a stream that
    // gets no line.
    const auto addLines = [&](StreamKind kind, const QString& shortName, bool withTitle,
                              const auto& facts) {
        const std::size_t count = mi.numberOfStreams(kind);
        const QString section = *oMediaInfo::streamKindToHumanString(int(kind));
        for (std::size_t s = 0; s < count; ++s) {
            const std::optional<QStringList> parts = facts(s);
            if (!parts)
                continue;
            const QString name =
                count == 1 ? shortName : QStringLiteral("%1 #%2").arg(shortName).arg(s + 1);
            const QString text = parts->join(QStringLiteral(", "));
            const QString title =
                withTitle ? mi.GetFromStream(kind, s, QStringLiteral("Title")) : QString();
            QVariant value = text;
            if (!title.isEmpty())
                value = QVariant::fromValue(
                    StyledText{text + QStringLiteral(" - ") + title, text.size() + 3});
            lines.append(ExtTreeItem::mediaStreamItemWithKey(section, name, value, s));
        }
    };

    addLines(StreamKind::Video, QStringLiteral("Video"), true,
             [&](std::size_t s) -> std::optional<QStringList> {
                 markVideo();
                 QStringList facts;
                 const QString hint = mi.myCodecHint(StreamKind::Video, s);
                 addIfNotEmpty(facts,
                               hint.isEmpty() ? mi.GetVideo(s, QStringLiteral("Format")) : hint);
                 const QString width = mi.GetVideo(s, QStringLiteral("Width"));
                 const QString height = mi.GetVideo(s, QStringLiteral("Height"));
                 if (!width.isEmpty() && !height.isEmpty())
                     facts.append(QStringLiteral("%1x%2").arg(width, height));
                 const QString frameRate = mi.GetVideo(s, QStringLiteral("FrameRate"));
                 if (!frameRate.isEmpty())
                     facts.append(frameRate + QStringLiteral(" fps"));
                 QString bitRate = mi.GetVideo(s, QStringLiteral("BitRate/String"));
                 if (bitRate.isEmpty())
                     bitRate = mi.GetVideo(s, QStringLiteral("BitRate_Nominal/String"));
                 addIfNotEmpty(facts, bitRate);
                 addIfNotEmpty(facts, mi.GetVideo(s, QStringLiteral("Language/String")));
                 return facts;
             });

    addLines(StreamKind::Audio, QStringLiteral("Audio"), true,
             [&](std::size_t s) -> std::optional<QStringList> {
                 markAudio();
                 QStringList facts;
                 QString codec = mi.myCodecHint(StreamKind::Audio, s);
                 if (codec.isEmpty())
                     codec = mi.GetAudio(s, QStringLiteral("CodecID/Hint"));
                 if (codec.isEmpty())
                     codec = mi.GetAudio(s, QStringLiteral("Format"));
                 addIfNotEmpty(facts, codec);
                 const QString bitRate = mi.GetAudio(s, QStringLiteral("BitRate/String"));
                 if (!bitRate.isEmpty())
                     facts.append(QStringLiteral("%1 %2").arg(
                         bitRate, mi.GetAudio(s, QStringLiteral("BitRate_Mode"))));
                 addIfNotEmpty(facts, mi.GetAudio(s, QStringLiteral("SamplingRate/String")));
                 const QString channels = mi.GetAudio(s, QStringLiteral("Channel(s)"));
                 if (channels == QLatin1String("2"))
                     facts.append(QStringLiteral("Stereo"));
                 else if (channels == QLatin1String("1"))
                     facts.append(QStringLiteral("Mono"));
                 else if (!channels.isEmpty())
                     facts.append(channels + QStringLiteral(" ch"));
                 addIfNotEmpty(facts, mi.GetAudio(s, QStringLiteral("Language/String")));
                 return facts;
             });

    addLines(StreamKind::Text, QStringLiteral("Subtitles"), true,
             [&](std::size_t s) -> std::optional<QStringList> {
                 QStringList facts;
                 addIfNotEmpty(facts, mi.GetText(s, QStringLiteral("Format")));
                 addIfNotEmpty(facts, mi.GetText(s, QStringLiteral("Language/String")));
                 return facts;
             });

    const bool programStream = general.string(keys::kFormat) == QLatin1String("MPEG-PS");
    addLines(StreamKind::Menu, QStringLiteral("Menu"), false,
             [&](std::size_t s) -> std::optional<QStringList> {
                 const qint64 begin =
                     int32Value(mi.GetMenu(s, QStringLiteral("Chapters_Pos_Begin")));
                 const qint64 end = int32Value(mi.GetMenu(s, QStringLiteral("Chapters_Pos_End")));
                 // Program streams carry menus without chapters.
                 if (end <= begin && programStream)
                     return std::nullopt;
                 return QStringList{QStringLiteral("%1 chapters").arg(end - begin)};
             });

    if (otherTracksInGeneral)
        addLines(StreamKind::Other, QStringLiteral("Other"), true,
                 [&](std::size_t s) -> std::optional<QStringList> {
                     QStringList facts;
                     addIfNotEmpty(facts,
                                   mi.GetFromStream(StreamKind::Other, s, QStringLiteral("Type")));
                     return facts;
                 });

    general.streams = lines;
}

PreparedData PerspixData::prepareMediainfoData(oMediaInfo& mi, const GeneralRecord& general) const
{
    PreparedData prepared;
    addFileSection(prepareFileStream(general), prepared);

    for (const StreamKind kind : kSectionOrder) {
        const QString section = *oMediaInfo::streamKindToHumanString(int(kind));
        const std::size_t count = mi.numberOfStreams(kind);
        QList<ParameterMap> sectionData;
        QList<QStringList> sectionExport;
        for (std::size_t s = 0; s < count; ++s) {
            ParameterMap parameters;
            QStringList exportKeys;
            ExtTreeList children;
            const std::size_t parameterCount = mi.numberOfOptionsInStreamAtIndex(s, kind);
            for (std::size_t p = 0; p < parameterCount; ++p) {
                // Shown: what the library's own report shows, and two counts it does not.
                const ParameterHead head = mi.parameterHead(kind, s, p);
                if (!head.shown && !kAlsoShown.contains(head.name))
                    continue;
                QString name = head.name;
                // The File section already shows the file's name and size.
                if (kind == StreamKind::General &&
                    (name == QLatin1String("FileSize/String") ||
                     name == QLatin1String("CompleteName") || name == QLatin1String("FrameCount")))
                    continue;
                QString value = mi.GetI(kind, s, p, InfoKind::Text);
                if (value.isEmpty())
                    continue;
                const QString label = head.label.isEmpty() ? name : head.label;
                if (useSIUnits && (name == QLatin1String("StreamSize/String") ||
                                   name == QLatin1String("Source_StreamSize/String"))) {
                    name += QStringLiteral("/SI");
                    value = mi.GetFromStream(kind, s, name);
                } else if (name == QLatin1String("Duration/String")) {
                    name = QStringLiteral("Duration/String1");
                    value = mi.GetFromStream(kind, s, name);
                }
                addStreamItemsToData(parameters, exportKeys, children, name, label, value);
            }
            if (children.isEmpty())
                continue;
            const QString groupName =
                count == 1 ? section : QStringLiteral("%1 #%2").arg(section).arg(s + 1);
            prepared.extended.append(
                ExtTreeItem::groupTreeWithKey(section, groupName, children, s + 1));
            sectionData.append(parameters);
            sectionExport.append(exportKeys);
        }
        prepared.data.insert(section, sectionData);
        if (!sectionExport.isEmpty())
            prepared.exportOptions.insert(section, sectionExport);
    }
    return prepared;
}

void PerspixData::addStreamItemsToData(ParameterMap& parameters, QStringList& exportKeys,
                                       ExtTreeList& children, const QString& key,
                                       const QString& label, const QString& value)
{
    parameters.insert(key, ParameterRecord{label, value});
    exportKeys.append(key);
    children.append(ExtTreeItem::itemWithKey(key, label, value));
}

} // namespace perspix
