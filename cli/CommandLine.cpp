// Option parsing and usage text of perspix-cli.
#include "cli/CommandLine.h"

#include <QCommandLineParser>

#include "export/CommandLineExport.h"
#include "model/HelperKeys.h"
#include "model/Keys.h"
#include "model/NativePath.h"
#include "model/Settings.h"

namespace perspix::cli {

namespace {
const QString kThreads = QStringLiteral("threads");
const QString kExiftool = QStringLiteral("exiftool");
const QString kExiftoolTimeout = QStringLiteral("exiftool-timeout");
const QString kAnalysisTimeout = QStringLiteral("analysis-timeout");
const QString kInProcess = QStringLiteral("in-process");
const QString kHashes = QStringLiteral("hashes");
const QString kNoXattr = QStringLiteral("no-xattr");
const QString kBinaryUnits = QStringLiteral("binary-units");
const QString kNoCovers = QStringLiteral("no-covers");
const QString kQuiet = QStringLiteral("quiet");
const QString kNoStore = QStringLiteral("no-store");
const QString kHelp = QStringLiteral("help");
const QString kVersion = QStringLiteral("version");
const QString kListKeys = QStringLiteral("list-keys");
const QString kFormat = QStringLiteral("format");
const QString kOutput = QStringLiteral("o");
const QString kSeparate = QStringLiteral("separate");
const QString kNoPrivate = QStringLiteral("no-private");
const QString kSaveProject = QStringLiteral("save-project");
} // namespace

ParseOutcome parseCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    parser.addOption({kThreads, QString(), QStringLiteral("N")});
    parser.addOption({kExiftool, QString()});
    parser.addOption({kExiftoolTimeout, QString(), QStringLiteral("S")});
    parser.addOption({kAnalysisTimeout, QString(), QStringLiteral("S")});
    parser.addOption({kInProcess, QString()});
    parser.addOption({kHashes, QString()});
    parser.addOption({kNoXattr, QString()});
    parser.addOption({kBinaryUnits, QString()});
    parser.addOption({kNoCovers, QString()});
    parser.addOption({{QStringLiteral("q"), kQuiet}, QString()});
    parser.addOption({kNoStore, QString()});
    parser.addOption({{QStringLiteral("h"), kHelp}, QString()});
    parser.addOption({kVersion, QString()});
    parser.addOption({kListKeys, QString()});
    parser.addOption({kFormat, QString(), QStringLiteral("FMT")});
    parser.addOption({kOutput, QString(), QStringLiteral("FILE")});
    parser.addOption({kSeparate, QString(), QStringLiteral("DIR")});
    parser.addOption({kNoPrivate, QString()});
    parser.addOption({kSaveProject, QString(), QStringLiteral("FILE")});
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
    if (parser.isSet(kListKeys)) {
        outcome.action = ParseOutcome::ListKeys;
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
    if (parser.isSet(kExiftoolTimeout)) {
        bool ok = false;
        const double seconds = parser.value(kExiftoolTimeout).toDouble(&ok);
        if (!ok || !(seconds > 0) || seconds > 1e6) {
            outcome.error = QStringLiteral("--exiftool-timeout takes a number of seconds above "
                                           "0, not \"%1\"")
                                .arg(parser.value(kExiftoolTimeout));
            return outcome;
        }
        o.exiftoolTimeout = seconds;
    }
    if (parser.isSet(kAnalysisTimeout)) {
        bool ok = false;
        const double seconds = parser.value(kAnalysisTimeout).toDouble(&ok);
        if (!ok || !(seconds >= 0) || seconds > 1e6) {
            outcome.error = QStringLiteral("--analysis-timeout takes a number of seconds, 0 for "
                                           "no limit, not \"%1\"")
                                .arg(parser.value(kAnalysisTimeout));
            return outcome;
        }
        o.analysisTimeout = seconds;
    }
    o.inProcess = parser.isSet(kInProcess);
    o.hashes = parser.isSet(kHashes);
    o.noXattr = parser.isSet(kNoXattr);
    o.binaryUnits = parser.isSet(kBinaryUnits);
    o.noCovers = parser.isSet(kNoCovers);
    o.quiet = parser.isSet(kQuiet);
    o.noStore = parser.isSet(kNoStore);
    o.format = parser.value(kFormat);
    o.outputFile = parser.value(kOutput);
    o.separateDir = parser.value(kSeparate);
    o.noPrivate = parser.isSet(kNoPrivate);
    o.saveProject = parser.value(kSaveProject);
    if (parser.isSet(kFormat)) {
        QString error;
        if (CommandLineExport::validate(exportRequest(o), &error) != CommandLineExport::Ok) {
            outcome.error = error;
            return outcome;
        }
    } else if (parser.isSet(kOutput) || parser.isSet(kSeparate) || parser.isSet(kNoPrivate)) {
        outcome.error = QStringLiteral("-o, --separate and --no-private go with --format");
        return outcome;
    }
    if (parser.isSet(kSaveProject) && o.saveProject.isEmpty()) {
        outcome.error = QStringLiteral("--save-project needs a file name");
        return outcome;
    }
    if (!readMediaCopyOptions(parser, o.copy, &outcome.error))
        return outcome;
    if (o.copy.mode != MediaCopyOptions::Mode::None &&
        (parser.isSet(kFormat) || parser.isSet(kSaveProject))) {
        outcome.error = QStringLiteral("--format and --save-project do not go with --strip, "
                                       "--strip-location or --extract-attachments");
        return outcome;
    }
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
    QString text = QStringLiteral(
        "Usage: perspix-cli [OPTIONS] PATH...\n"
        "  or:  perspix-cli [OPTIONS] PROJECT.perspixproj\n"
        "Analyses media files and folders (folders are expanded recursively and sorted like\n"
        "a file browser sorts names) and prints, per file, its path, a line of \"-\" and its\n"
        "general summary, or exports every analysed file in one format. A project file given\n"
        "alone stands for the files it lists.\n"
        "\n"
        "Options:\n"
        "  --threads N      analysis threads: 1, 2, 4, 8, or 256 for one per core\n"
        "                   (default 256)\n"
        "  --exiftool       read films and sound with ExifTool instead of MediaInfo\n"
        "  --exiftool-timeout S\n"
        "                   seconds ExifTool may take over one file before it is stopped\n"
        "                   and the file fails (default 60)\n"
        "  --analysis-timeout S\n"
        "                   seconds the reading of one file may take before its helper\n"
        "                   process is stopped and the file fails (default 60, 0 for none)\n"
        "  --in-process     read the files in this process instead of sandboxed helper\n"
        "                   processes (for comparison and debugging)\n"
        "  --hashes         compute the files' MD5 and SHA-1 digests\n"
        "  --no-xattr       leave out the facts kept in extended attributes\n"
        "  --binary-units   sizes in binary multiples (KiB, MiB) instead of decimal ones\n"
        "  --no-covers      make no cover pictures from the images themselves\n"
        "  -q, --quiet      no progress display\n"
        "  --no-store       neither read nor keep results in the result store (kept in\n"
        "                   $XDG_CACHE_HOME/perspix, by default ~/.cache/perspix, so\n"
        "                   that unchanged files are not analysed again)\n"
        "  -h, --help       show this help and exit\n"
        "  --version        show the version and exit\n"
        "  --list-keys      list the usual SECTION/KEY names for --stats and exit\n"
        "\n"
        "Export:\n"
        "  --format FMT     export every analysed file instead of the summaries; FMT is\n"
        "                   txt, html, xml, json, csv, jsonl (JSON Lines: one JSON\n"
        "                   object per line and file) or plist (a binary property list,\n"
        "                   which needs -o or --separate). Every format but plist is\n"
        "                   written file by file as the analyses finish; plist holds\n"
        "                   every result in memory until the end\n"
        "  -o FILE          write the export to FILE instead of standard output\n"
        "  --separate DIR   write one file per input into the existing folder DIR, named\n"
        "                   after the input (\"clip.mov\" gives \"clip.json\", then\n"
        "                   \"clip (1).json\" for a second clip)\n"
        "  --no-private     leave out private file facts (folder, kind, comments, tags, ...)\n"
        "  --save-project FILE\n"
        "                   save the list of files as a project; without --format\n"
        "                   nothing is analysed\n"
        "\n");
    text += mediaCopyUsage();
    text += QStringLiteral(
        "\n"
        "Options not given take their values from the settings of Perspix.\n"
        "Progress is shown on standard error when it is a terminal.\n"
        "\n"
        "Exit status of analyses and exports: 0 when every file was analysed, 1 when at\n"
        "least one failed (each failed path is named on standard error) or an export or\n"
        "project could not be written or read, 2 for a usage error.\n");
    return text;
}

QString versionText()
{
    return QStringLiteral("perspix-cli %1\n").arg(QStringLiteral(PERSPIX_VERSION));
}

CommandLineExport::Request exportRequest(const CliOptions& options)
{
    CommandLineExport::Request request;
    request.format = options.format;
    request.outputFile = options.outputFile;
    request.separateDir = options.separateDir;
    request.noPrivate = options.noPrivate;
    return request;
}

QStringList absolutePaths(const QStringList& paths)
{
    QStringList absolute;
    absolute.reserve(paths.size());
    for (const QString& path : paths)
        absolute.append(NativePath::absolute(path));
    return absolute;
}

QVariantMap analysisOptions(const CliOptions& options, const Settings& settings)
{
    QVariantMap result = settings.analysisOptions();
    // No output of the command line shows a cover picture (attachments are copied from the
    // files themselves), so no image is decoded to make one.
    result.insert(keys::kOptSkipCoverPictures, true);
    if (options.exiftool)
        result.insert(keys::kOptVideoUtility, keys::kVideoUtilityExiftool);
    if (options.exiftoolTimeout > 0)
        result.insert(keys::kOptExiftoolTimeout, options.exiftoolTimeout);
    if (options.analysisTimeout >= 0)
        result.insert(keys::kOptAnalysisTimeout, options.analysisTimeout);
    if (options.inProcess)
        result.insert(keys::kOptInProcessAnalysis, true);
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
