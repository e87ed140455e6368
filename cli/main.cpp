// perspix-cli: the headless front end. Analyses the given files and folders with the batch
// engine and prints each file's general summary.
#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>
#include <unistd.h>

#include "cli/CliRun.h"
#include "cli/CommandLine.h"
#include "cli/CompareStatsRun.h"
#include "cli/MediaCopyRun.h"
#include "cli/PrivacyRun.h"
#include "model/CoreSetup.h"
#include "model/Settings.h"

using namespace perspix;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Perspix"));
    QTextStream out(stdout);
    QTextStream err(stderr);

    if (cli::isPrivacyRun(app.arguments().mid(1)))
        return cli::runPrivacy(app.arguments().mid(1), out, err);
    if (cli::isCompareOrStatsRun(app.arguments().mid(1)))
        return cli::runCompareOrStats(app.arguments().mid(1), out, err);
    const cli::ParseOutcome parsed = cli::parseCommandLine(app.arguments().mid(1));
    switch (parsed.action) {
    case cli::ParseOutcome::Help:
        out << cli::usageText() << cli::compareStatsUsageText() << cli::privacyUsageText();
        return cli::kExitOk;
    case cli::ParseOutcome::Version:
        out << cli::versionText();
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
