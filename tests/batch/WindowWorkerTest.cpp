#include <gtest/gtest.h>

#include "batch/DataCacher.h"
#include "batch/WindowWorker.h"

using namespace perspix;

namespace {

Filelist makeItems(int n, const QString& stem = QStringLiteral("f"))
{
    Filelist items;
    for (int i = 0; i < n; ++i) {
        const QString name = stem + QString::number(i) + QStringLiteral(".mov");
        items.append(FilelistItem::itemWithFilename(QStringLiteral("/m/") + name, name));
    }
    return items;
}

void expectCounts(const WindowWorker& w, qint64 processed, qint64 toProcess, bool done)
{
    EXPECT_EQ(w.countProcessed(), processed);
    EXPECT_EQ(w.countToProcess(), toProcess);
    EXPECT_EQ(w.processingIsDone(), done);
}

} // namespace

TEST(WindowWorker, CleanRunCountsEachItemOnce)
{
    WindowWorker w;
    const Filelist items = makeItems(5);
    w.startNewProcessingWithFiles(items, true);
    expectCounts(w, 0, 5, false);
    for (int i = 0; i < 4; ++i)
        w.fileIsReady(items[i]);
    w.fileIsReady(items[0]); // reported twice (re-analysis): counted once
    expectCounts(w, 4, 5, false);
    w.fileIsReady(items[4]);
    expectCounts(w, 5, 5, true);
    w.fileIsReady(items[2]);
    w.fileIsReady(FilelistItem::itemWithFilename("/m/f2.mov", "f2.mov")); // same path, other item
    expectCounts(w, 5, 5, true);

    // A new clean start forgets the previous run.
    w.startNewProcessingWithFiles(makeItems(2), true);
    expectCounts(w, 0, 2, false);
}

TEST(WindowWorker, AddedFilesContinueWithWhatRemains)
{
    WindowWorker w;
    const Filelist items = makeItems(5);
    w.startNewProcessingWithFiles(items, true);
    for (int i = 0; i < 3; ++i)
        w.fileIsReady(items[i]);
    const Filelist added = makeItems(2, QStringLiteral("g"));
    w.startNewProcessingWithFiles(added, false);
    expectCounts(w, 0, 4, false);
    w.fileIsReady(items[0]); // finished earlier: not counted again
    expectCounts(w, 0, 4, false);
    for (const auto& item : {items[3], items[4], added[0], added[1]})
        w.fileIsReady(item);
    expectCounts(w, 4, 4, true);

    // The same item queued twice must be finished twice.
    w.startNewProcessingWithFiles({items[0]}, false);
    w.fileIsReady(items[0]);
    expectCounts(w, 1, 1, true);
}

TEST(WindowWorker, RemovingItemsLowersTheRightCountsAndNeverBelowZero)
{
    WindowWorker w;
    const Filelist items = makeItems(4);
    w.startNewProcessingWithFiles(items, true);
    w.fileIsReady(items[0]);
    w.fileIsReady(items[1]);

    w.fileIsRemoved(items[3]); // not finished: only the count to process
    expectCounts(w, 2, 3, false);
    w.fileIsRemoved(items[0]); // finished: both
    expectCounts(w, 1, 2, false);
    w.fileIsReady(items[2]);
    expectCounts(w, 2, 2, true);

    for (const auto& item : items)
        w.fileIsRemoved(item);
    w.fileIsRemoved(FilelistItem::itemWithFilename("/m/x.mov", "x.mov"));
    EXPECT_EQ(w.countProcessed(), 0);
    EXPECT_EQ(w.countToProcess(), 0);

    WindowWorker empty;
    empty.fileIsRemoved(items[0]);
    empty.startNewProcessingWithFiles({}, false);
    expectCounts(empty, 0, 0, false);
}

TEST(WindowWorker, CurrentFileThroughTheCacher)
{
    WindowWorker w;
    EXPECT_FALSE(w.currentFilePath().has_value());
    EXPECT_FALSE(w.currentPerspixData());
    EXPECT_FALSE(w.currentMapLocationInfo().has_value());

    DataCacher cacher;
    w.setDataCacher(&cacher);
    const FilelistItemPtr item = FilelistItem::itemWithFilename("/m/a.mov", "a.mov");
    w.setCurrentFile(item);
    EXPECT_EQ(w.currentFilePath(), QStringLiteral("/m/a.mov"));
    EXPECT_FALSE(w.currentPerspixData());

    const auto data = std::make_shared<PerspixData>("/m/a.mov");
    cacher.dataReady(data, item, kStatusAnalysed);
    EXPECT_EQ(w.currentPerspixData(), data);
    EXPECT_FALSE(w.currentMapLocationInfo().has_value()); // the item holds no data yet
}
