// One run of perspix-cli: expands the paths into a file list, analyses it with the batch
// engine while an event loop receives the results, and prints each file's summary in list
// order. Needs a Qt core application; prints nothing but the summaries, the progress and
// the failures.
#pragma once

#include <QBuffer>
#include <QTextStream>
#include <memory>
#include <optional>

#include "cli/CommandLine.h"
#include "cli/OrderedRun.h"
#include "model/FileRecord.h"

namespace perspix {

class LogCapture;

namespace cli {

class CliRun : public OrderedRun
{
public:
    // showProgress: draw the progress bar on err (when it is a terminal and not --quiet).
    CliRun(const CliOptions& options, const QVariantMap& analysisOptions, QTextStream& out,
           QTextStream& err, bool showProgress);

    // Runs to the end and returns the exit status.
    int exec();

    // exec() in its steps, for callers that deliver the results themselves: start() lists
    // the files and opens the export, and gives the exit status when nothing is left to
    // analyse; finish() ends the output after the last result and gives the exit status.
    std::optional<int> start();
    int finish();

private:
    // The paths to analyse: the ones given, or the documents of a project given alone.
    std::optional<QStringList> listedPaths();
    // Saves the list as a project when asked to: the exit status so far.
    int saveProjectIfAsked();
    bool openExport();
    int exportRecords();
    void handleItem(const FilelistItem& item, const PerspixDataPtr& data) override;
    void handleSummary(const FilelistItem& item, const QString& summary) override;
    void printSummary(const FilelistItem& item, const QString& summary);
    void handedOver() override;

    CliOptions m_options;
    QVariantMap m_analysisOptions;
    QTextStream& m_out;
    qsizetype m_blocks = 0; // summaries printed
    // The export written while results come in, or, for a format that needs them all,
    // the analysed files in list order.
    std::unique_ptr<ExportStream> m_stream;
    std::unique_ptr<QBuffer> m_streamBuffer; // when `out` is a stream on a string
    FileRecordList m_records;
    int m_projectStatus = kExitOk;
};

} // namespace cli
} // namespace perspix
