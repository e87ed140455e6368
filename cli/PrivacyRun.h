// The --privacy run of perspix-cli: the listed files are analysed with the batch engine as
// in the ordinary run, and each file's privacy report is written in list order as soon as
// it is ready, with the per-category counts at the end.
#pragma once

#include <QEventLoop>
#include <QHash>
#include <QTextStream>
#include <memory>

#include "batch/DataCacher.h"
#include "cli/CommandLine.h"
#include "cli/TerminalProgress.h"
#include "privacy/PrivacyOutput.h"

namespace perspix::cli {

// True when the arguments ask for --privacy.
bool isPrivacyRun(const QStringList& arguments);
QString privacyUsageText();
// The whole run, from the arguments (without the program name) to the exit status.
int runPrivacy(const QStringList& arguments, QTextStream& out, QTextStream& err);

class PrivacyRun : public DataCacherDelegate
{
public:
    PrivacyRun(const CliOptions& options, const QVariantMap& analysisOptions,
               privacy::Output& output, QTextStream& err, bool showProgress);
    ~PrivacyRun() override;

    // Runs to the end: 0 when every file was analysed, 1 when one failed.
    int exec();

    void dataCacherNewObjectReady(const CacherResult& result) override;

private:
    struct PathState
    {
        int entries = 0;
        int answered = 0;
        int written = 0;
        PerspixDataPtr data;
    };

    void writeReady();
    void finishIfDone();
    void checkStalled();

    CliOptions m_options;
    QVariantMap m_analysisOptions;
    privacy::Output& m_output;
    QTextStream& m_err;
    TerminalProgress m_progress;

    DataCacher m_cacher;
    Filelist m_items;
    QHash<QString, PathState> m_paths;
    qsizetype m_next = 0;
    qsizetype m_answered = 0;
    qsizetype m_failed = 0;
    bool m_done = false;
    QEventLoop m_loop;
};

} // namespace perspix::cli
