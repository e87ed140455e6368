// Option parsing and usage text of perspix-cli.
#include "cli/CommandLine.h"

#include <QCommandLineParser>

#include "model/Keys.h"
#include "model/Settings.h"

namespace perspix::cli {

namespace {
const QString kThreads = QStringLiteral("threads");
const QString kExiftool = QStringLiteral("exiftool");
const QString kHashes = QStringLiteral("hashes");
const QString kNoXattr = QStringLiteral("no-xattr");
const QString kBinaryUnits = QStringLiteral("binary-units");
const QString kNoCovers = QStringLiteral("no-covers");
const QString kQuiet = QStringLiteral("quiet");
const QString kHelp = QStringLiteral("help");
const QString kVersion = QStringLiteral("version");
} // namespace

ParseOutcome parseCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    parser.addOption({kThreads, QString(), QStringLiteral("N")});
    parser.addOption({kExiftool, QString()});
    parser.addOption({kHashes, QString()});
    parser.addOption({kNoXattr, QString()});
    parser.addOption({kBinaryUnits, QString()});
    parser.addOption({kNoCovers, QString()});
    parser.addOption({{QStringLiteral("q"), kQuiet}, QString()});
    parser.addOption({{QStringLiteral("h"), kHelp}, QString()});
    parser.addOption({kVersion, QString()});
    addMediaCopyOptions(parser);

    ParseOutcome outcome;
    // The parser expects the program name first.
    if (!parser.parse(QStringList{QStringLiteral("perspix-cli")} + arguments)) {
        outcome.error = parser.errorText();
        return outcome;
    }
    if (parser.isSet(kHelp)) {
        outcome.action = ParseOutcome::Help;
        return outcome;
    }
    if (parser.isSet(kVersion)) {
        outcome.action = ParseOutcome::Version;
        return outcome;
    }

    CliOptions& o = outcome.options;
    if (parser.isSet(kThreads)) {
        bool ok = false;
        const uint n = parser.value(kThreads).toUInt(&ok);
        if (!ok || (n != 1 && n != 2 && n != 4 && n != 8 && n != 256)) {
            outcome.error = QStringLiteral("--threads takes 1, 2, 4, 8 or 256, not \"%1\"")
                                .arg(parser.value(kThreads));
            return outcome;
        }
        o.threads = n;
    }
    o.exiftool = parser.isSet(kExiftool);
    o.hashes = parser.isSet(kHashes);
    o.noXattr = parser.isSet(kNoXattr);
    o.binaryUnits = parser.isSet(kBinaryUnits);
    o.noCovers = parser.isSet(kNoCovers);
    o.quiet = parser.isSet(kQuiet);
    if (!readMediaCopyOptions(parser, o.copy, &outcome.error))
        return outcome;
    o.paths = parser.positionalArguments();
    if (o.paths.isEmpty()) {
        outcome.error = QStringLiteral("no file or folder given");
        return outcome;
    }
    outcome.action = ParseOutcome::Run;
    return outcome;
}

QString usageText()
{
    return QStringLiteral(
        "Usage: perspix-cli [OPTIONS] PATH...\n"
        "Analyses media files and folders (folders are expanded recursively and sorted like\n"
        "a file browser sorts names) and prints, per file, its path, a line of \"-\" and its\n"
        "general summary.\n"
        "\n"
        "Options:\n"
        "  --threads N      analysis threads: 1, 2, 4, 8, or 256 for one per core\n"
        "                   (default 256)\n"
        "  --exiftool       read films and sound with ExifTool instead of MediaInfo\n"
        "  --hashes         compute the files' MD5 and SHA-1 digests\n"
        "  --no-xattr       leave out the facts kept in extended attributes\n"
        "  --binary-units   sizes in binary multiples (KiB, MiB) instead of decimal ones\n"
        "  --no-covers      make no cover pictures from the images themselves\n"
        "  -q, --quiet      no progress display\n"
        "  -h, --help       show this help and exit\n"
        "  --version        show the version and exit\n"
        "\n") +
           mediaCopyUsage() +
           QStringLiteral(
        "\n"
        "Options not given take their values from the settings of Perspix.\n"
        "Progress is shown on standard error when it is a terminal.\n"
        "\n"
        "Exit status: 0 when every file was analysed, 1 when at least one failed (each\n"
        "failed path is named on standard error), 2 for a usage error.\n");
}

QString versionText()
{
    return QStringLiteral("perspix-cli %1\n").arg(QStringLiteral(PERSPIX_VERSION));
}

QVariantMap analysisOptions(const CliOptions& options, const Settings& settings)
{
    QVariantMap result = settings.analysisOptions();
    if (options.exiftool)
        result.insert(keys::kOptVideoUtility, keys::kVideoUtilityExiftool);
    if (options.hashes)
        result.insert(keys::kOptComputeFileHashes, true);
    if (options.noXattr)
        result.insert(keys::kOptSkipExtAttributes, true);
    if (options.binaryUnits)
        result.insert(keys::kOptUseSIUnits, false);
    if (options.noCovers)
        result.insert(keys::kOptUseSlowThumbProcessing, false);
    return result;
}

} // namespace perspix::cli
