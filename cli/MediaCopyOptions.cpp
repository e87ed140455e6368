// Parsing of the copy and extraction options of perspix-cli.
#include "cli/MediaCopyOptions.h"

#include <QCommandLineParser>
#include <QStringList>

namespace perspix::cli {

namespace {
const QString kStrip = QStringLiteral("strip");
const QString kStripLocation = QStringLiteral("strip-location");
const QString kTo = QStringLiteral("to");
const QString kExtractAttachments = QStringLiteral("extract-attachments");
const QString kExiftool = QStringLiteral("exiftool");

// Sets the part named; false for a name that is no part.
bool setPart(oEXIV2Metadata& parts, const QString& name)
{
    if (name == QLatin1String("exif"))
        parts.exif = true;
    else if (name == QLatin1String("makernote"))
        parts.makernote = true;
    else if (name == QLatin1String("gps"))
        parts.gps = true;
    else if (name == QLatin1String("iptc"))
        parts.iptc = true;
    else if (name == QLatin1String("xmp"))
        parts.xmp = true;
    else
        return false;
    return true;
}
} // namespace

void addMediaCopyOptions(QCommandLineParser& parser)
{
    parser.addOption({kStrip, QString(), QStringLiteral("PARTS")});
    parser.addOption({kStripLocation, QString()});
    parser.addOption({kTo, QString(), QStringLiteral("DIR")});
    parser.addOption({kExtractAttachments, QString(), QStringLiteral("DIR")});
}

bool readMediaCopyOptions(const QCommandLineParser& parser, MediaCopyOptions& options,
                          QString* error)
{
    const bool strip = parser.isSet(kStrip);
    const bool stripLocation = parser.isSet(kStripLocation);
    const bool extract = parser.isSet(kExtractAttachments);
    const bool to = parser.isSet(kTo);
    const auto fail = [error](const QString& message) {
        if (error)
            *error = message;
        return false;
    };

    if (int(strip) + int(stripLocation) + int(extract) > 1)
        return fail(QStringLiteral(
            "--strip, --strip-location and --extract-attachments exclude each other"));
    if (!strip && !stripLocation && !extract) {
        if (to)
            return fail(QStringLiteral("--to needs --strip or --strip-location"));
        options = MediaCopyOptions{};
        return true;
    }
    // Films and sound read by ExifTool are not told apart, and the copies depend on that.
    if (parser.isSet(kExiftool))
        return fail(QStringLiteral("--exiftool cannot be combined with --strip, "
                                   "--strip-location or --extract-attachments"));

    MediaCopyOptions result;
    if (extract) {
        if (to)
            return fail(QStringLiteral("--to does not go with --extract-attachments"));
        result.mode = MediaCopyOptions::Mode::ExtractAttachments;
        result.folder = parser.value(kExtractAttachments);
    } else {
        if (!to)
            return fail(QStringLiteral("--strip and --strip-location need --to DIR"));
        result.mode = MediaCopyOptions::Mode::Strip;
        result.folder = parser.value(kTo);
        if (stripLocation) {
            result.parts.gps = true;
        } else {
            for (const QString& value : parser.values(kStrip)) {
                for (const QString& name : value.split(QLatin1Char(','))) {
                    const QString part = name.trimmed().toLower();
                    if (part == QLatin1String("privacy") || part == QLatin1String("privacy-all")) {
                        result.privacy = part == QLatin1String("privacy")
                                             ? privacy::Strip::High
                                             : privacy::Strip::All;
                        continue;
                    }
                    if (!setPart(result.parts, part))
                        return fail(QStringLiteral("--strip takes exif, makernote, gps, iptc "
                                                   "and xmp, not \"%1\"")
                                        .arg(name));
                }
            }
        }
    }
    if (result.privacy != privacy::Strip::None && result.parts.any())
        return fail(QStringLiteral("--strip privacy and privacy-all go alone"));
    if (result.folder.isEmpty())
        return fail(QStringLiteral("no folder given"));
    options = result;
    return true;
}

QString mediaCopyUsage()
{
    return QStringLiteral(
        "Copies without metadata (the files themselves are never changed):\n"
        "  --strip PARTS    remove the comma-separated PARTS (exif, makernote, gps, iptc,\n"
        "                   xmp) from copies of the images; with gps, MPEG-4 and QuickTime\n"
        "                   films are copied without their location; other files are\n"
        "                   copied as they are. Raw files keep their makernote.\n"
        "  --strip privacy  copies without what --privacy reports at the high level;\n"
        "                   privacy-all also without the low-level findings\n"
        "  --strip-location\n"
        "                   copies without the location: --strip gps\n"
        "  --to DIR         the folder for the copies, which keep the files' relative paths\n"
        "Attachments:\n"
        "  --extract-attachments DIR\n"
        "                   save image previews, covers and Matroska attachments, each\n"
        "                   file's into its own folder \"<path> embedded\" in DIR\n"
        "These print each written file on standard output; a file that fails is reported\n"
        "on standard error and the run goes on. The last line on standard error counts the\n"
        "files written and failed; the exit status is 0 once the run has ended. Films and\n"
        "sound are read with MediaInfo here.\n");
}

} // namespace perspix::cli
