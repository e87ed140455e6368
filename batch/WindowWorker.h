// A window's record of the file the user looks at and of how far the background analysis of
// its list has got (the progress counts). Lives on the main thread; posts no notifications
// itself: the window does.
#pragma once

#include <QHash>
#include <QVariantMap>
#include <memory>
#include <optional>

#include "filelist/FilelistItem.h"

namespace perspix {

class DataCacher;
class PerspixProject;

class WindowWorker
{
public:
    // Clean start: both counts and both counted sets start again from nothing. Otherwise
    // the run goes on with what is still to do. Then the items are counted in.
    void startNewProcessingWithFiles(const Filelist& items, bool cleanStart);
    // Counts an item as finished once per queuing; called for every result message.
    void fileIsReady(const FilelistItemPtr& item);
    // Takes a removed item out of the counts.
    void fileIsRemoved(const FilelistItemPtr& item);

    void setDataCacher(DataCacher* cacher) { m_cacher = cacher; }
    DataCacher* dataCacher() const { return m_cacher; }

    const FilelistItemPtr& currentFile() const { return m_currentFile; }
    void setCurrentFile(const FilelistItemPtr& item) { m_currentFile = item; }
    std::optional<QString> currentFilePath() const;
    PerspixDataPtr currentPerspixData() const;
    std::optional<QVariantMap> currentMapLocationInfo() const;

    qint64 countProcessed() const { return m_countProcessed; }
    qint64 countToProcess() const { return m_countToProcess; }
    bool processingIsDone() const { return m_processingIsDone; }
    bool isTotalDurationChanged() const { return m_isTotalDurationChanged; }
    void setIsTotalDurationChanged(bool v) { m_isTotalDurationChanged = v; }

    // The project the list was opened from, if any.
    const std::shared_ptr<PerspixProject>& project() const { return m_project; }
    void setProject(std::shared_ptr<PerspixProject> project) { m_project = std::move(project); }

private:
    // Counted sets of items, compared by identity; they keep the items alive, so that a
    // new item never takes the place of a counted one. A QHash, whose storage comes in
    // blocks: counting in a hundred thousand files with one allocation each held the
    // window for a tenth of a second.
    struct Counted
    {
        FilelistItemPtr item;
        qint64 count = 0;
    };
    using CountedSet = QHash<const FilelistItem*, Counted>;
    static qint64 countOf(const CountedSet& set, const FilelistItemPtr& item);
    static void removeOne(CountedSet& set, const FilelistItemPtr& item);

    FilelistItemPtr m_currentFile;
    DataCacher* m_cacher = nullptr;
    bool m_isTotalDurationChanged = false;
    CountedSet m_filesToBeDone;
    CountedSet m_filesDone;
    qint64 m_countToProcess = 0;
    qint64 m_countProcessed = 0;
    bool m_processingIsDone = false;
    std::shared_ptr<PerspixProject> m_project;
};

} // namespace perspix
