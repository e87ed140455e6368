// The --privacy run of perspix-cli: the listed files are analysed with the batch engine as
// in the ordinary run, and each file's privacy report is written in list order as soon as
// it is ready, with the per-category counts at the end.
#pragma once

#include <QTextStream>

#include "cli/CommandLine.h"
#include "cli/OrderedRun.h"
#include "privacy/PrivacyOutput.h"

namespace perspix::cli {

// True when the arguments ask for --privacy.
bool isPrivacyRun(const QStringList& arguments);
QString privacyUsageText();
// The whole run, from the arguments (without the program name) to the exit status.
int runPrivacy(const QStringList& arguments, QTextStream& out, QTextStream& err);

class PrivacyRun : public OrderedRun
{
public:
    PrivacyRun(const CliOptions& options, const QVariantMap& analysisOptions,
               privacy::Output& output, QTextStream& err, bool showProgress);

    // Runs to the end: 0 when every file was analysed, 1 when one failed.
    int exec();

private:
    void handleItem(const FilelistItem& item, const PerspixDataPtr& data) override;

    CliOptions m_options;
    QVariantMap m_analysisOptions;
    privacy::Output& m_output;
};

} // namespace perspix::cli
