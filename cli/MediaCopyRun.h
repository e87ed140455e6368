// One run of perspix-cli with --strip, --strip-location or --extract-attachments: expands
// the paths into a file list, analyses it with the batch engine and hands each analysed
// file, in list order, to the metadata remover or the attachments extractor, printing every
// written file. Needs a Qt core application.
#pragma once

#include <QElapsedTimer>
#include <QEventLoop>
#include <QHash>
#include <QTextStream>
#include <memory>

#include "batch/DataCacher.h"
#include "cli/CommandLine.h"
#include "cli/TerminalProgress.h"

namespace perspix {

class AttachmentsExtractor;
class LogCapture;
class MetadataRemover;

namespace cli {

class MediaCopyRun : public DataCacherDelegate
{
public:
    // showProgress: draw a progress bar on err (a terminal).
    MediaCopyRun(const CliOptions& options, const QVariantMap& analysisOptions, QTextStream& out,
                 QTextStream& err, bool showProgress);
    ~MediaCopyRun() override;

    // Runs to the end: 0 when the run ended (failed files are reported and counted), 1 when
    // it could not begin.
    int exec();

    void dataCacherNewObjectReady(const CacherResult& result) override;

private:
    struct PathState
    {
        int entries = 0;  // list items with this path
        int answered = 0; // result messages received
        int handled = 0;
        PerspixDataPtr data;
    };

    void handleReady();
    void handleItem(const FilelistItem& item, const PerspixDataPtr& data);
    void finishIfDone();
    void checkStalled();

    MediaCopyOptions m_options;
    QStringList m_paths;
    quint32 m_threads;
    QVariantMap m_analysisOptions;
    QTextStream& m_out;
    QTextStream& m_err;
    TerminalProgress m_progress;

    std::unique_ptr<MetadataRemover> m_remover;
    std::unique_ptr<AttachmentsExtractor> m_extractor;
    DataCacher m_cacher;
    Filelist m_items;
    QHash<QString, PathState> m_states;
    qsizetype m_next = 0;
    qsizetype m_answered = 0;
    qsizetype m_failed = 0;
    qsizetype m_written = 0;
    bool m_done = false;
    QEventLoop m_loop;
};

} // namespace cli
} // namespace perspix
