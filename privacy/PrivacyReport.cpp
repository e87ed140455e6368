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

// Image formats whose metadata Exiv2 writes back.
bool exiv2Writes(const QString& format)
{
    static const QSet<QString> writable = {
        QStringLiteral("JPEG"), QStringLiteral("TIFF"), QStringLiteral("PNG"),
        QStringLiteral("WEBP"), QStringLiteral("DNG"),  QStringLiteral("NEF"),
        QStringLiteral("CR2"),  QStringLiteral("JP2"),  QStringLiteral("PEF"),
        QStringLiteral("ORF"),  QStringLiteral("ARW"),  QStringLiteral("SR2")};
    return writable.contains(format.toUpper());
}

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
        if (exiftoolWrites(facts.reader, facts.format))
            return std::nullopt;
        return QStringLiteral("ExifTool writes no %1 files")
            .arg(facts.format.isEmpty() ? QStringLiteral("such") : facts.format);
    case Removal::EraseThumbnail:
        if (facts.format == QLatin1String("JPEG"))
            return std::nullopt;
        return QStringLiteral("only the Exif thumbnail of a JPEG file can be removed");
    case Removal::EraseKey:
        break;
    }
    if (!exiv2Writes(facts.format))
        return QStringLiteral("Exiv2 writes no %1 files").arg(facts.format);
    if (finding.key == QLatin1String("Exif.Image.Make") && facts.hasMakerNote)
        return QStringLiteral("Exiv2 keeps the maker's notes only with the make");
    if (facts.isRaw && (finding.key == QLatin1String("Exif.Image.Make") ||
                        finding.key == QLatin1String("Exif.Image.Model")))
        return QStringLiteral("raw converters need the make and model");
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
    const GeneralRecord* general = data->generalInfo();
    const double imageAspect = general ? aspectOf(general->string(keys::kImageSize)) : 0;
    const ExportOptions& exportOptions = data->dict()->exportOptions;

    QSet<QString> seen; // one finding per category, key and value
    for (auto section = sections->cbegin(); section != sections->cend(); ++section) {
        const QString& name = section.key();
        // ExifTool's composite tags are worked out from others; the file does not hold them.
        if (facts.reader == Reader::ExifTool && name == QLatin1String("Composite"))
            continue;
        const Reader reader = name == keys::kSectionFile ? Reader::File : facts.reader;
        const QList<ParameterMap>& streams = section.value();
        const QList<QStringList> order = exportOptions.value(name);
        for (qsizetype s = 0; s < streams.size(); ++s) {
            const ParameterMap& parameters = streams[s];
            QStringList keys = s < order.size() ? order[s] : QStringList();
            if (keys.size() != parameters.size()) {
                // Entries left out of the export (or no export list) are read too.
                for (auto it = parameters.cbegin(); it != parameters.cend(); ++it)
                    if (!keys.contains(it.key()))
                        keys.append(it.key());
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
                        ? name + QLatin1Char(':') + key.section(QLatin1Char('.'), -1)
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
                    finding.name = parameter->name;
                    finding.value = line;
                    finding.rule = rule;
                    if (const auto why = whyNotRemovable(*rule, finding, facts))
                        finding.whyNot = *why;
                    else
                        finding.removal = stripName(rule->level);
                    report.findings.append(finding);
                }
            }
        }
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
        if (report.has(category))
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
