// Progress counts of a window's analysis run.
#include "batch/WindowWorker.h"

#include <algorithm>

#include "batch/DataCacher.h"

namespace perspix {

qint64 WindowWorker::countOf(const CountedSet& set, const FilelistItemPtr& item)
{
    const auto it = set.constFind(item.get());
    return it == set.cend() ? 0 : it->count;
}

void WindowWorker::removeOne(CountedSet& set, const FilelistItemPtr& item)
{
    const auto it = set.find(item.get());
    if (it == set.end())
        return;
    if (--it->count <= 0)
        set.erase(it);
}

void WindowWorker::startNewProcessingWithFiles(const Filelist& items, bool cleanStart)
{
    if (cleanStart) {
        m_countToProcess = 0;
        m_countProcessed = 0;
        m_filesToBeDone.clear();
        m_filesDone.clear();
    } else {
        m_countToProcess = std::max<qint64>(m_countToProcess - m_countProcessed, 0);
        m_countProcessed = 0;
    }
    // A list of a hundred thousand files rehashed a dozen times on the way.
    m_filesToBeDone.reserve(m_filesToBeDone.size() + items.size());
    for (const FilelistItemPtr& item : items) {
        if (!item)
            continue;
        Counted& counted = m_filesToBeDone[item.get()];
        if (!counted.item)
            counted.item = item;
        ++counted.count;
        ++m_countToProcess;
    }
    m_processingIsDone = false;
}

void WindowWorker::fileIsReady(const FilelistItemPtr& item)
{
    if (item && countOf(m_filesDone, item) < countOf(m_filesToBeDone, item)) {
        ++m_countProcessed;
        Counted& counted = m_filesDone[item.get()];
        if (!counted.item)
            counted.item = item;
        ++counted.count;
    }
    if (m_countProcessed >= m_countToProcess)
        m_processingIsDone = true;
}

void WindowWorker::fileIsRemoved(const FilelistItemPtr& item)
{
    if (!item)
        return;
    const qint64 done = countOf(m_filesDone, item);
    const qint64 toBeDone = countOf(m_filesToBeDone, item);
    removeOne(m_filesToBeDone, item);
    if (m_countToProcess > 0)
        --m_countToProcess;
    if (done >= toBeDone) {
        removeOne(m_filesDone, item);
        if (m_countProcessed > 0)
            --m_countProcessed;
    }
}

std::optional<QString> WindowWorker::currentFilePath() const
{
    if (!m_currentFile)
        return std::nullopt;
    return m_currentFile->filename();
}

PerspixDataPtr WindowWorker::currentPerspixData() const
{
    if (!m_currentFile || !m_cacher)
        return nullptr;
    return m_cacher->dataFromCacheForFile(m_currentFile->filename());
}

std::optional<QVariantMap> WindowWorker::currentMapLocationInfo() const
{
    if (!m_currentFile)
        return std::nullopt;
    return m_currentFile->mapLocationInfo();
}

} // namespace perspix
