// The privacy report of one analysed file and the counts over many (see PrivacyReport.h).
#include "privacy/PrivacyReport.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>

#include "model/Keys.h"

namespace perspix::privacy {

namespace {

const QString kIsTruncated = QStringLiteral("IsTruncated");
const QString kSectionMakerNote = QStringLiteral("MakerNote");

// Which reader made the file's result. Only the MediaInfo branch records a format profile
// in the general record; the image branch marks the file as an image.
Reader readerOf(const PerspixData& data)
{
    if (data.isImage())
        return Reader::Image;
    const GeneralRecord* general = data.generalInfo();
    if (general && general->contains(keys::kFormatProfile))
        return Reader::MediaInfo;
    return Reader::ExifTool;
}

// Values that say nothing: blanks, zero dates, an Exif comment that holds only its
// character set, the marker of an XMP structure or array (its fields follow on their own).
bool saysNothing(const QString& value)
{
    QString text = value.trimmed();
    // A value too long to show is no text anyone can read from the report either.
    if (text.startsWith(QLatin1String("type=\"")) || text.startsWith(QLatin1String("(Binary data")))
        return true;
    if (text.startsWith(QLatin1String("charset=")))
        text = text.section(QLatin1Char(' '), 1).trimmed();
    if (text.isEmpty())
        return true;
    static const QRegularExpression zeroDate(
        QStringLiteral("^(UTC )?(0000[-:]00[-:]00|1904-01-01)([ T]00:00:00)?( UTC)?$"));
    return zeroDate.match(text).hasMatch();
}

// "6000 x 4000", "160 x 120 (image/jpeg, 5000 bytes)": width over height, or 0.
double aspectOf(const QString& text)
{
    static const QRegularExpression size(QStringLiteral("^\\s*(\\d+)\\s*x\\s*(\\d+)"));
    const QRegularExpressionMatch match = size.match(text);
    if (!match.hasMatch())
        return 0;
    const double width = match.captured(1).toDouble();
    const double height = match.captured(2).toDouble();
    return width > 0 && height > 0 ? width / height : 0;
}

} // namespace

QString plainFormat(const QString& format)
{
    // Formats without a short name of their own come as MIME types ("image/webp",
    // "image/x-sony-arw"): their last word names them.
    if (!format.contains(QLatin1Char('/')))
        return format.toUpper();
    return format.section(QLatin1Char('/'), -1).section(QLatin1Char('-'), -1).toUpper();
}

bool exiv2WritesImages(const QString& format)
{
    // Exiv2 writes these back in place; HEIF, AVIF and PNG go through ExifTool, which
    // writes them where Exiv2 0.28 refuses. WebP stays with Exiv2: ExifTool 12 cannot write it.
    static const QSet<QString> writable = {
        QStringLiteral("JPEG"), QStringLiteral("JPG"), QStringLiteral("TIFF"),
        QStringLiteral("WEBP"),
        QStringLiteral("TIF"),  QStringLiteral("DNG"), QStringLiteral("NEF"),
        QStringLiteral("CR2"),  QStringLiteral("JP2"), QStringLiteral("PEF"),
        QStringLiteral("ORF"),  QStringLiteral("ARW"), QStringLiteral("SR2")};
    return writable.contains(plainFormat(format));
}

bool exiftoolWritesImages(const QString& format)
{
    static const QSet<QString> writable = {
        QStringLiteral("JPEG"), QStringLiteral("JPG"),  QStringLiteral("TIFF"),
        QStringLiteral("TIF"),  QStringLiteral("PNG"),
        QStringLiteral("HEIC"), QStringLiteral("HEIF"), QStringLiteral("AVIF"),
        QStringLiteral("JP2"),  QStringLiteral("DNG"),  QStringLiteral("NEF"),
        QStringLiteral("CR2"),  QStringLiteral("CR3"),  QStringLiteral("PEF"),
        QStringLiteral("ORF"),  QStringLiteral("ARW"),  QStringLiteral("SR2"),
        QStringLiteral("RW2"),  QStringLiteral("RAF"),  QStringLiteral("GIF"),
        QStringLiteral("JXL"),  QStringLiteral("PSD"),  QStringLiteral("EPS")};
    return writable.contains(plainFormat(format));
}

namespace {

// Films and sound whose metadata ExifTool writes into a copy.
bool exiftoolWrites(Reader reader, const QString& format)
{
    if (reader == Reader::MediaInfo)
        return format == QLatin1String("MPEG-4") || format == QLatin1String("QuickTime");
    static const QSet<QString> writable = {QStringLiteral("MP4"), QStringLiteral("MOV"),
                                           QStringLiteral("M4A"), QStringLiteral("M4V"),
                                           QStringLiteral("3GP"), QStringLiteral("3G2")};
    return writable.contains(format.toUpper());
}

struct FileFacts
{
    Reader reader = Reader::Image;
    QString format;
    bool hasMakerNote = false;
    bool isRaw = false;
};

// Why a finding cannot leave a copy; nothing when it can.
std::optional<QString> whyNotRemovable(const Rule& rule, const Finding& finding,
                                       const FileFacts& facts)
{
    switch (rule.removal) {
    case Removal::NotCopied:
        return std::nullopt;
    case Removal::Exiftool:
        if (facts.reader == Reader::Image)
            break; // ExifTool's reading of an image: removed like the image's own keys
        if (exiftoolWrites(facts.reader, facts.format))
            return std::nullopt;
        return QStringLiteral("this kind of file (%1) cannot be rewritten without changing it")
            .arg(facts.format.isEmpty() ? QStringLiteral("unknown") : facts.format);
    case Removal::EraseThumbnail:
        if (facts.format == QLatin1String("JPEG"))
            return std::nullopt;
        return QStringLiteral("only the small preview inside a JPEG picture can be removed");
    case Removal::EraseKey:
        break;
    }
    if (!exiv2WritesImages(facts.format) && !exiftoolWritesImages(facts.format))
        return QStringLiteral("this kind of picture (%1) cannot be rewritten without changing it")
            .arg(plainFormat(facts.format));
    const QString tag = finding.key.section(QLatin1Char('.'), -1);
    const bool make = tag == QLatin1String("Make");
    if (make && facts.hasMakerNote)
        return QStringLiteral("the camera's own notes, which hold the lens and exposure "
                              "details, are only understood together with the make");
    if (facts.isRaw && (make || tag == QLatin1String("Model")))
        return QStringLiteral("raw converters need the make and model to develop the picture");
    return std::nullopt;
}

QString shownSection(const QString& section, qsizetype index, qsizetype count)
{
    return count > 1 ? QStringLiteral("%1 #%2").arg(section).arg(index + 1) : section;
}

} // namespace

QString Report::oneLine(const QString& value)
{
    QString text;
    text.reserve(std::min<qsizetype>(value.size(), kMaxValueLength + 1));
    bool blank = false;
    for (const QChar c : value) {
        if (c.isSpace() || c.category() == QChar::Other_Control) {
            blank = !text.isEmpty();
            continue;
        }
        if (blank)
            text += QLatin1Char(' ');
        blank = false;
        text += c;
        if (text.size() > kMaxValueLength)
            break;
    }
    if (text.size() > kMaxValueLength) {
        text.truncate(kMaxValueLength - 1);
        // A surrogate pair is not cut in half.
        if (!text.isEmpty() && text.back().isHighSurrogate())
            text.chop(1);
        text += QChar(0x2026);
    }
    return text;
}

QString Report::stripName(Level level)
{
    return level == Level::Low ? QStringLiteral("privacy-all") : QStringLiteral("privacy");
}

QString Report::removalTitle(const QString& removal)
{
    if (removal == QLatin1String("privacy-all"))
        return QStringLiteral("Privacy and details");
    if (removal == QLatin1String("privacy"))
        return QStringLiteral("Privacy");
    return QString();
}

QList<const Finding*> Finding::tags() const
{
    QList<const Finding*> all{this};
    for (const Finding& twin : twins)
        all.append(&twin);
    for (const Finding& detail : details)
        all.append(detail.tags());
    return all;
}

QString Finding::exiftoolTag() const
{
    if (reader != Reader::ExifTool || !section.startsWith(keys::kExiftoolSectionPrefix))
        return QString();
    QString group = section.mid(keys::kExiftoolSectionPrefix.size());
    if (const qsizetype hash = group.indexOf(QStringLiteral(" #")); hash >= 0)
        group.truncate(hash);
    return group + QLatin1Char(':') + key.section(QLatin1Char('.'), -1);
}

bool Finding::inMakerNote() const
{
    if (reader == Reader::ExifTool)
        return key.startsWith(QLatin1String("MakerNotes."));
    if (reader != Reader::Image || !key.startsWith(QLatin1String("Exif.")))
        return false;
    static const QSet<QString> standard = {
        QStringLiteral("Image"),   QStringLiteral("Photo"),  QStringLiteral("GPSInfo"),
        QStringLiteral("Iop"),     QStringLiteral("Thumbnail"), QStringLiteral("Image2"),
        QStringLiteral("Image3"),  QStringLiteral("SubImage1"), QStringLiteral("SubImage2"),
        QStringLiteral("MpfInfo"), QStringLiteral("PanasonicRaw")};
    return !standard.contains(key.section(QLatin1Char('.'), 1, 1));
}

namespace {

// A tag's name without its reader's spelling: "Exif.GPSInfo.GPSLatitude", "GPS:GPSLatitude"
// and "Iptc.Application2.ProvinceState" / "Province-State" meet as "gpslatitude" and
// "provincestate".
QString plainTagName(const Finding& finding)
{
    QString name = finding.key.section(QLatin1Char('.'), -1);
    name = name.section(QLatin1Char(':'), -1);
    QString plain;
    for (const QChar c : std::as_const(name))
        if (c.isLetterOrNumber())
            plain += c.toLower();
    return plain;
}

QString plainValue(const QString& value)
{
    return value.simplified().toLower();
}

bool isGpsTag(const Finding& finding)
{
    return finding.category == Category::Location &&
           plainTagName(finding).startsWith(QLatin1String("gps"));
}

// Degrees from "43deg 28' 2.81\"", "43 deg 28' 2.81\" N", "43,28.0468N" or "43.467"; the
// hemisphere letter, when the value holds one, is given back in `reference`.
std::optional<double> degreesOf(const QString& value, QString* reference)
{
    static const QRegularExpression number(QStringLiteral("[-+]?\\d+(?:\\.\\d+)?"));
    double parts[3] = {0, 0, 0};
    int count = 0;
    for (auto it = number.globalMatch(value); it.hasNext() && count < 3;)
        parts[count++] = it.next().captured().toDouble();
    if (count == 0)
        return std::nullopt;
    static const QRegularExpression hemisphere(QStringLiteral("([NSEW])\\s*$"));
    if (const auto match = hemisphere.match(value.trimmed()); match.hasMatch() && reference)
        *reference = match.captured(1);
    const double sign = parts[0] < 0 ? -1 : 1;
    return sign * (std::abs(parts[0]) + parts[1] / 60 + parts[2] / 3600);
}

// "North", "N", "South latitude" to one letter; "" for none.
QString referenceLetter(const QString& value)
{
    const QString text = value.trimmed();
    if (text.isEmpty())
        return QString();
    const QChar first = text.at(0).toUpper();
    return QStringLiteral("NSEW").contains(first) ? QString(first) : QString();
}

// The position of a file's GPS tags as "48.858 N, 2.294 E, 35 m"; nothing without both
// coordinates, or for zero coordinates without references (an empty GPS block).
std::optional<QString> positionOf(const QList<const Finding*>& tags)
{
    QString latitude, longitude, latitudeRef, longitudeRef, altitude, altitudeRef;
    for (const Finding* tag : tags) {
        const QString name = plainTagName(*tag);
        // ExifTool prints coordinates to the hundredth of a second, Exiv2 to the second.
        const auto set = [&tag](QString& field) {
            if (field.isEmpty() || tag->reader == Reader::ExifTool)
                field = tag->value;
        };
        if (name == QLatin1String("gpslatitude"))
            set(latitude);
        else if (name == QLatin1String("gpslongitude"))
            set(longitude);
        else if (name == QLatin1String("gpslatituderef"))
            set(latitudeRef);
        else if (name == QLatin1String("gpslongituderef"))
            set(longitudeRef);
        else if (name == QLatin1String("gpsaltitude"))
            set(altitude);
        else if (name == QLatin1String("gpsaltituderef"))
            set(altitudeRef);
        else if (name == QLatin1String("gpsposition") || name == QLatin1String("gpscoordinates")) {
            const QStringList parts = tag->value.split(QLatin1Char(','));
            if (parts.size() >= 2 && latitude.isEmpty() && longitude.isEmpty()) {
                latitude = parts[0];
                longitude = parts[1];
            }
        }
    }
    QString latLetter = referenceLetter(latitudeRef);
    QString lonLetter = referenceLetter(longitudeRef);
    const auto lat = degreesOf(latitude, &latLetter);
    const auto lon = degreesOf(longitude, &lonLetter);
    if (!lat || !lon)
        return std::nullopt;
    if (*lat == 0 && *lon == 0 && latLetter.isEmpty() && lonLetter.isEmpty())
        return std::nullopt;
    const bool south = latLetter == QLatin1String("S") || *lat < 0;
    const bool west = lonLetter == QLatin1String("W") || *lon < 0;
    QString text = QStringLiteral("%1 %2, %3 %4")
                       .arg(std::abs(*lat), 0, 'f', 3)
                       .arg(south ? QLatin1Char('S') : QLatin1Char('N'))
                       .arg(std::abs(*lon), 0, 'f', 3)
                       .arg(west ? QLatin1Char('W') : QLatin1Char('E'));
    if (const auto metres = degreesOf(altitude, nullptr)) {
        const bool below = altitudeRef.contains(QLatin1String("Below"), Qt::CaseInsensitive) ||
                           altitudeRef.trimmed() == QLatin1String("1") ||
                           altitude.contains(QLatin1String("Below"), Qt::CaseInsensitive);
        text += QStringLiteral(", %1 m").arg(qRound(below ? -std::abs(*metres) : *metres));
    }
    return text;
}

// Folds ExifTool's findings of an image into Exiv2's where both name one fact: the same
// category, and the same value or the same tag name.
void mergeTwins(QList<Finding>& findings)
{
    QList<Finding> merged;
    QList<Finding> fromExiftool;
    for (Finding& finding : findings)
        (finding.reader == Reader::ExifTool && !finding.exiftoolTag().isEmpty() ? fromExiftool
                                                                                : merged)
            .append(std::move(finding));
    for (Finding& other : fromExiftool) {
        const QString name = plainTagName(other);
        const QString value = plainValue(other.value);
        Finding* twin = nullptr;
        for (Finding& candidate : merged) {
            if (candidate.category != other.category || candidate.reader != Reader::Image)
                continue;
            if (plainValue(candidate.value) == value) {
                twin = &candidate;
                break;
            }
            if (!twin && candidate.twins.isEmpty() && plainTagName(candidate) == name)
                twin = &candidate;
        }
        if (twin)
            twin->twins.append(std::move(other));
        else
            merged.append(std::move(other));
    }
    findings = std::move(merged);
}

// The GPS tags of an image make one finding: its position (high), or, for a GPS block that
// holds none, a note of the block (low).
void groupPosition(QList<Finding>& findings)
{
    QList<Finding> gps;
    qsizetype at = -1;
    for (qsizetype i = 0; i < findings.size();) {
        if (isGpsTag(findings[i])) {
            if (at < 0)
                at = i;
            gps.append(std::move(findings[i]));
            findings.removeAt(i);
        } else {
            ++i;
        }
    }
    if (gps.isEmpty())
        return;
    QList<const Finding*> tags;
    for (const Finding& tag : gps)
        tags.append(tag.tags());
    Finding position = gps.first();
    position.twins.clear();
    const auto place = positionOf(tags);
    position.level = place ? Level::High : Level::Low;
    position.name = place ? QStringLiteral("GPS position") : QStringLiteral("GPS block without a position");
    if (place) {
        position.value = *place;
    } else {
        QStringList names;
        for (const Finding& tag : gps)
            names.append(tag.name);
        position.value = Report::oneLine(names.join(QStringLiteral(", ")));
    }
    if (!position.removal.isEmpty())
        position.removal = Report::stripName(position.level);
    for (Finding& tag : gps) {
        tag.group = position.key;
        tag.level = position.level;
        if (!tag.removal.isEmpty())
            tag.removal = position.removal;
    }
    position.group = position.key;
    position.details = std::move(gps);
    findings.insert(at, std::move(position));
}

} // namespace

bool Report::hasBothReaders(const PerspixData* data)
{
    return !data || !data->isImage() || !data->data() ||
           data->data()->contains(keys::kSectionExiftoolReading);
}

Report Report::ofFile(const QString& path, const PerspixData* data)
{
    Report report;
    report.file = QFileInfo(path).absoluteFilePath();
    const SectionData* sections = data ? data->data() : nullptr;
    if (!sections) {
        report.complete = false;
        return report;
    }

    FileFacts facts;
    facts.reader = readerOf(*data);
    facts.format = data->format().value_or(QString());
    // A file no reader recognised was not read at all.
    if (facts.format.isEmpty() || facts.format == keys::kUnknownFormat)
        report.complete = false;
    facts.hasMakerNote = sections->contains(kSectionMakerNote);
    facts.isRaw = facts.format == QLatin1String("NEF") || facts.format == QLatin1String("CR2") ||
                  facts.format == QLatin1String("DNG");
    if (const auto reading = sections->constFind(keys::kSectionExiftoolReading);
        reading != sections->cend() && !reading->isEmpty() &&
        reading->first().value(keys::kExiftoolReadingStatus).valueString() !=
            QLatin1String("read"))
        report.complete = false; // what only ExifTool would have seen is not known
    const GeneralRecord* general = data->generalInfo();
    const double imageAspect = general ? aspectOf(general->string(keys::kImageSize)) : 0;
    const ExportOptions& exportOptions = data->dict()->exportOptions;

    QSet<QString> seen; // one finding per category, key and value
    for (auto section = sections->cbegin(); section != sections->cend(); ++section) {
        const QString& name = section.key();
        if (name == keys::kSectionExiftoolReading)
            continue;
        // ExifTool's composite tags are worked out from others; the file does not hold them.
        if (facts.reader == Reader::ExifTool && name == QLatin1String("Composite"))
            continue;
        const bool exiftoolOfImage = name.startsWith(keys::kExiftoolSectionPrefix);
        const Reader reader = exiftoolOfImage            ? Reader::ExifTool
                              : name == keys::kSectionFile ? Reader::File
                                                           : facts.reader;
        const QString group = exiftoolOfImage ? name.mid(keys::kExiftoolSectionPrefix.size()) : name;
        const QList<ParameterMap>& streams = section.value();
        const QList<QStringList> order = exportOptions.value(name);
        for (qsizetype s = 0; s < streams.size(); ++s) {
            const ParameterMap& parameters = streams[s];
            QStringList keys = s < order.size() ? order[s] : QStringList();
            if (keys.size() != parameters.size()) {
                // Entries left out of the export (or no export list) are read too, in an
                // order that does not change from run to run.
                QStringList rest;
                for (auto it = parameters.cbegin(); it != parameters.cend(); ++it)
                    if (!keys.contains(it.key()))
                        rest.append(it.key());
                rest.sort();
                keys += rest;
            }
            for (const QString& key : std::as_const(keys)) {
                const auto parameter = parameters.constFind(key);
                if (parameter == parameters.cend())
                    continue;
                if (reader == Reader::MediaInfo && key == kIsTruncated &&
                    parameter->valueString().startsWith(QLatin1String("Yes")))
                    report.complete = false;
                // ExifTool keys are "family0.family1.family2.family4.Tag"; the rules read
                // the family-1 group (the section) and the tag.
                const QString ruleKey =
                    reader == Reader::ExifTool
                        ? group + QLatin1Char(':') + key.section(QLatin1Char('.'), -1)
                        : key;
                const std::vector<const Rule*> matched = matchingRules(reader, ruleKey);
                if (matched.empty())
                    continue;
                const QString value = parameter->valueString();
                const bool empty = saysNothing(value);
                for (const Rule* rule : matched) {
                    if (empty && (rule->check != Check::Present || value.trimmed().isEmpty()))
                        continue;
                    // Only a JPEG's Exif thumbnail is a copy of the picture as it was
                    // taken; raw and HEIF previews have shapes of their own.
                    if (rule->check == Check::ThumbnailAspect) {
                        const double aspect = aspectOf(value);
                        if (facts.format != QLatin1String("JPEG") || imageAspect <= 0 ||
                            aspect <= 0 || std::abs(aspect - imageAspect) <= 0.02 * imageAspect)
                            continue;
                    }
                    const QString line = oneLine(value);
                    const QString identity =
                        QStringLiteral("%1\n%2\n%3").arg(categoryName(rule->category), key, line);
                    if (seen.contains(identity))
                        continue;
                    seen.insert(identity);
                    Finding finding;
                    finding.category = rule->category;
                    finding.level = rule->level;
                    finding.section = shownSection(name, s, streams.size());
                    finding.key = key;
                    finding.group = key;
                    finding.name = parameter->name;
                    finding.value = line;
                    finding.rule = rule;
                    finding.reader = reader;
                    FileFacts findingFacts = facts;
                    if (exiftoolOfImage)
                        findingFacts.reader = Reader::Image;
                    if (const auto why = whyNotRemovable(*rule, finding, findingFacts))
                        finding.whyNot = *why;
                    else
                        finding.removal = stripName(rule->level);
                    report.findings.append(finding);
                }
            }
        }
    }
    if (data->isImage()) {
        mergeTwins(report.findings);
        groupPosition(report.findings);
    }
    std::stable_sort(
        report.findings.begin(), report.findings.end(),
        [](const Finding& a, const Finding& b) { return int(a.category) < int(b.category); });
    return report;
}

bool Report::has(Category category) const
{
    return std::any_of(findings.cbegin(), findings.cend(),
                       [category](const Finding& f) { return f.category == category; });
}

bool Report::has(Category category, Level level) const
{
    return std::any_of(findings.cbegin(), findings.cend(), [category, level](const Finding& f) {
        return f.category == category && f.level == level;
    });
}

void Tally::add(const Report& report)
{
    ++m_files;
    for (Category category : kCategories)
        if (category == Category::Location ? report.located() : report.has(category))
            ++m_counts[std::size_t(category)];
    if (report.has(Category::Device, Level::High))
        ++m_serials;
    if (!report.complete)
        ++m_incomplete;
}

QString Tally::summary() const
{
    QStringList parts;
    parts.append(QStringLiteral("%1 of %2 %3 reveal a location")
                     .arg(count(Category::Location))
                     .arg(m_files)
                     .arg(m_files == 1 ? QStringLiteral("file") : QStringLiteral("files")));
    parts.append(QStringLiteral("%1 carry a camera serial number").arg(m_serials));
    parts.append(QStringLiteral("%1 name the device").arg(count(Category::Device)));
    parts.append(QStringLiteral("%1 name an author or owner").arg(count(Category::People)));
    parts.append(QStringLiteral("%1 name people shown").arg(count(Category::PeopleShown)));
    parts.append(QStringLiteral("%1 carry a capture time").arg(count(Category::Time)));
    parts.append(QStringLiteral("%1 name software or history").arg(count(Category::Software)));
    parts.append(
        QStringLiteral("%1 keep a thumbnail of another picture").arg(count(Category::Thumbnail)));
    parts.append(QStringLiteral("%1 say where they came from").arg(count(Category::Origin)));
    parts.append(QStringLiteral("%1 carry free text").arg(count(Category::Text)));
    QString text = parts.join(QStringLiteral("; "));
    if (m_incomplete > 0)
        text += QStringLiteral("; %1 could not be read whole").arg(m_incomplete);
    return text + QLatin1Char('.');
}

} // namespace perspix::privacy
