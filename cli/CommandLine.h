// Options of perspix-cli: parsing, the usage text, and the analysis options they give
// together with the settings store. No running here (see CliRun).
#pragma once

#include <QString>
#include <QStringList>
#include <QVariantMap>

#include "cli/MediaCopyOptions.h"

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
    bool hashes = false;
    bool noXattr = false;
    bool binaryUnits = false;
    bool noCovers = false;
    bool quiet = false;
    MediaCopyOptions copy; // --strip, --strip-location, --to, --extract-attachments
};

struct ParseOutcome
{
    enum Action { Run, Help, Version, UsageError };
    Action action = UsageError;
    CliOptions options;
    QString error; // for UsageError
};

// Parses the arguments (without the program name).
ParseOutcome parseCommandLine(const QStringList& arguments);
QString usageText();
QString versionText();

// The analysis options of a run: the settings store's values, overridden by the options
// given on the command line.
QVariantMap analysisOptions(const CliOptions& options, const Settings& settings);

} // namespace cli
} // namespace perspix
