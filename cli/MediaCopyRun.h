// One run of perspix-cli with --strip, --strip-location or --extract-attachments: expands
// the paths into a file list, analyses it with the batch engine and hands each analysed
// file, in list order, to the metadata remover or the attachments extractor, printing every
// written file. Needs a Qt core application.
#pragma once

#include <QTextStream>
#include <memory>

#include "cli/CommandLine.h"
#include "cli/OrderedRun.h"

namespace perspix {

class AttachmentsExtractor;
class LogCapture;
class MetadataRemover;

namespace cli {

class MediaCopyRun : public OrderedRun
{
public:
    // showProgress: draw a progress bar on err (a terminal).
    MediaCopyRun(const CliOptions& options, const QVariantMap& analysisOptions, QTextStream& out,
                 QTextStream& err, bool showProgress);
    ~MediaCopyRun() override;

    // Runs to the end: 0 when the run ended (failed files are reported and counted), 1 when
    // it could not begin.
    int exec();

private:
    // Files are handed over in list order, so that numbered names follow the list.
    void handleItem(const FilelistItem& item, const PerspixDataPtr& data) override;

    MediaCopyOptions m_options;
    QStringList m_paths;
    quint32 m_threads;
    QVariantMap m_analysisOptions;
    QTextStream& m_out;

    std::unique_ptr<MetadataRemover> m_remover;
    std::unique_ptr<AttachmentsExtractor> m_extractor;
    qsizetype m_written = 0;
};

} // namespace cli
} // namespace perspix
