// The ordered run that perspix-cli's runs share: the batch engine analyses a file list, and
// each item is handed to the run in list order once it and every item before it are
// answered. Ends when every item is handed over, and also when answers stop coming while no
// worker is left. What is done with an item is the run's own.
#pragma once

#include <QEventLoop>
#include <QHash>
#include <QTextStream>
#include <memory>
#include <optional>

#include "batch/DataCacher.h"
#include "cli/TerminalProgress.h"

namespace perspix::cli {

// What a run reads of the results the store answers with: a part of each result, or the
// summaries alone (handed to OrderedRun::handleSummary).
struct StoreRead
{
    ResultStore::Part part = ResultStore::Part::Whole;
    bool summaries = false;
};

class OrderedRun : public DataCacherDelegate
{
public:
    // showProgress: draw the progress bar on err (when it is a terminal and not --quiet).
    OrderedRun(QTextStream& err, bool showProgress);
    ~OrderedRun() override;
    OrderedRun(const OrderedRun&) = delete;
    OrderedRun& operator=(const OrderedRun&) = delete;

    const Filelist& items() const { return m_items; }

    void dataCacherNewObjectReady(const CacherResult& result) override;

protected:
    // The documents of a project given alone, or the paths as given; nothing when the
    // project cannot be read (its messages are printed).
    std::optional<QStringList> pathsOrProject(const QStringList& paths);
    // Lists the files of the paths, each folder expanded.
    void listFiles(const QStringList& paths);
    // Analyses the listed files until each one is handed over (threads as the engine's
    // modes). With a store, the files it knows unchanged are answered from it first, as
    // the run reads them; the engine gets the others.
    void analyse(quint32 threads, const QVariantMap& options,
                 std::shared_ptr<ResultStore> store = nullptr, StoreRead read = {});
    // One item in list order; data is null when the file could not be analysed.
    virtual void handleItem(const FilelistItem& item, const PerspixDataPtr& data) = 0;
    // One item in list order that the store answered with its summary (StoreRead).
    virtual void handleSummary(const FilelistItem& item, const QString& summary)
    {
        Q_UNUSED(item);
        Q_UNUSED(summary);
    }
    // After the items that were ready are handed over, before the progress bar comes back.
    virtual void handedOver() {}
    void printMessages(const QStringList& messages);

    QTextStream& m_err;
    TerminalProgress m_progress;
    DataCacher m_cacher;
    Filelist m_items;
    qsizetype m_handed = 0;   // items handed over, the first ones of the list
    qsizetype m_answered = 0; // items answered, in any order
    qsizetype m_failed = 0;   // counted by the run

private:
    struct PathState
    {
        int entries = 0;  // list items with this path
        int answered = 0; // result messages received
        int handed = 0;
        PerspixDataPtr data;
        std::optional<QString> summary; // read from the store instead of data
    };

    // The listed files that the store does not answer.
    Filelist answerFromStore(ResultStore& store, const QVariantMap& options, StoreRead read);
    void handleReady();
    void finishIfDone();
    void checkStalled();

    QHash<QString, PathState> m_paths;
    bool m_done = false;
    QEventLoop m_loop;
};

} // namespace perspix::cli
