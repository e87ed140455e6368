// perspix-cli: the headless front end. Analyses the given files and folders with the batch
// engine and prints each file's general summary.
#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>
#include <unistd.h>

#include "batch/CoreSetup.h"
#include "cli/CliRun.h"
#include "cli/CommandLine.h"
#include "cli/CompareStatsRun.h"
#include "cli/MediaCopyRun.h"
#include "cli/PacketsRun.h"
#include "cli/PrivacyRun.h"
#include "model/NativePath.h"
#include "model/Settings.h"

using namespace perspix;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Perspix"));
    QTextStream out(stdout);
    QTextStream err(stderr);

    // The arguments as given: Qt's own list would turn the bytes of a name that is not
    // UTF-8 into U+FFFD, and such a path would then name no file.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(NativePath::decoded(argv[i]));
    if (cli::isPacketsRun(arguments))
        return cli::runPackets(arguments, stdout, err);
    if (cli::isPrivacyRun(arguments))
        return cli::runPrivacy(arguments, out, err);
    if (cli::isCompareOrStatsRun(arguments))
        return cli::runCompareOrStats(arguments, out, err);
    const cli::ParseOutcome parsed = cli::parseCommandLine(arguments);
    switch (parsed.action) {
    case cli::ParseOutcome::Help:
        out << cli::usageText() << cli::compareStatsUsageText() << cli::privacyUsageText()
            << cli::packetsUsageText();
        return cli::kExitOk;
    case cli::ParseOutcome::Version:
        out << cli::versionText();
        return cli::kExitOk;
    case cli::ParseOutcome::ListKeys:
        out << cli::statsKeysText();
        return cli::kExitOk;
    case cli::ParseOutcome::UsageError:
        err << "perspix-cli: " << parsed.error << "\n\n" << cli::usageText();
        return cli::kExitUsage;
    case cli::ParseOutcome::Run:
        break;
    }

    setupCore();
    Settings::registerDefaults();
    const QVariantMap analysisOptions = cli::analysisOptions(parsed.options, Settings());
    const bool showProgress = !parsed.options.quiet && isatty(STDERR_FILENO);
    if (parsed.options.copy.mode != cli::MediaCopyOptions::Mode::None) {
        cli::MediaCopyRun run(parsed.options, analysisOptions, out, err, showProgress);
        return run.exec();
    }
    cli::CliRun run(parsed.options, analysisOptions, out, err, showProgress);
    return run.exec();
}
