// Options of perspix-cli: parsing, the usage text, and the analysis options they give
// together with the settings store. No running here (see CliRun).
#pragma once

#include <QString>
#include <QStringList>
#include <QVariantMap>

#include "cli/MediaCopyOptions.h"
#include "export/CommandLineExport.h"

namespace perspix {

class Settings;

namespace cli {

// Exit statuses.
constexpr int kExitOk = 0;
constexpr int kExitFailedFiles = 1;
constexpr int kExitUsage = 2;

struct CliOptions
{
    QStringList paths;
    quint32 threads = 256; // one worker per core
    bool exiftool = false;
    double exiftoolTimeout = 0; // seconds; 0: the settings store's limit
    // Seconds the reading of one file may take in its helper process, 0 for no limit; below
    // 0: the settings store's limit.
    double analysisTimeout = -1;
    bool inProcess = false; // read the files in this process, not in helper processes
    bool hashes = false;
    bool noXattr = false;
    bool binaryUnits = false;
    bool noCovers = false;
    bool quiet = false;
    bool noStore = false; // neither read nor keep results in the result store
    // Export instead of summaries: the format, and where the output goes (standard output
    // when neither a file nor a folder is given).
    QString format;
    QString outputFile;
    QString separateDir;
    bool noPrivate = false;
    // Save the list as a project file.
    QString saveProject;

    bool exporting() const { return !format.isEmpty(); }

    MediaCopyOptions copy; // --strip, --strip-location, --to, --extract-attachments
};

struct ParseOutcome
{
    enum Action { Run, Help, Version, ListKeys, UsageError };
    Action action = UsageError;
    CliOptions options;
    QString error; // for UsageError
};

// Parses the arguments (without the program name).
ParseOutcome parseCommandLine(const QStringList& arguments);
QString usageText();
QString versionText();

// The export the options ask for.
CommandLineExport::Request exportRequest(const CliOptions& options);

// The given paths made absolute against the working folder, symbolic links kept, as the
// window makes the paths it opens; the listing and every output then name whole paths.
QStringList absolutePaths(const QStringList& paths);

// The analysis options of a run: the settings store's values, overridden by the options
// given on the command line.
QVariantMap analysisOptions(const CliOptions& options, const Settings& settings);

} // namespace cli
} // namespace perspix
