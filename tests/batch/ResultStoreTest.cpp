#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <sys/stat.h>
#include <utime.h>

#include "batch/ResultCoding.h"
#include "batch/ResultStore.h"
#include "export/ExportFormat.h"
#include "model/Keys.h"
#include "model/Log.h"
#include "support/TestSupport.h"

using namespace perspix;
using perspix::test::dataPath;
using perspix::test::TempDir;

namespace {

QVariantMap analysisOptions()
{
    return {{keys::kOptUseSIUnits, true},
            {keys::kOptUseSlowThumbProcessing, true}, // covers made from the images
            {keys::kOptDisplayOtherTracksInGeneral, true},
            {keys::kOptComputeFileHashes, true},
            {keys::kOptSkipExtAttributes, false},
            {keys::kOptVideoUtility, QStringLiteral("mediainfo")}};
}

// Copies of every sample, so that links made to the samples by other programs running
// alongside (which move their change time) leave the test alone.
QStringList sampleFiles(const TempDir& dir)
{
    QStringList files;
    const QDir data(dataPath(""));
    QDirIterator it(data.path(), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString relative = data.relativeFilePath(it.next());
        const QString copy = dir.filePath(QStringLiteral("samples/") + relative);
        QDir().mkpath(QFileInfo(copy).path());
        if (QFile::copy(data.filePath(relative), copy))
            files.append(copy);
    }
    files.sort();
    return files;
}

// Every output a result reaches: each export format, with and without private facts,
// and the summary.
QList<QByteArray> outputsOf(const QString& path, const PerspixDataPtr& data)
{
    QList<QByteArray> outputs;
    for (const QString& format : ExportFormat::commandLineIdentifiers())
        for (const bool skipPrivate : {false, true})
            outputs.append(ExportFormat::formatWithIdentifier(format)
                               ->prepare({{path, path, data}}, {skipPrivate, "v1"})
                               .value_or("(none)"));
    outputs.append(data->stringForExportGeneral().value_or("(none)").toUtf8());
    return outputs;
}

} // namespace

// A result read back from the store is the fresh analysis: every field, every value of
// the same type (the coded form is the same), every output byte for byte.
TEST(ResultStore, AStoredResultIsTheFreshAnalysis)
{
    TempDir dir;
    const QVariantMap options = analysisOptions();
    QList<std::pair<QString, PerspixDataPtr>> fresh;
    {
        LogCapture quiet;
        ResultStore store(dir.filePath("store"));
        ASSERT_TRUE(store.isOn());
        for (const QString& path : sampleFiles(dir)) {
            const auto facts = ResultStore::factsOf(path);
            ASSERT_TRUE(facts);
            PerspixDataPtr data = PerspixData::dataAboutFile(path, options);
            if (!data)
                continue;
            store.put(path, options, *facts, *data);
            fresh.append({path, data});
        }
    }
    ASSERT_GT(fresh.size(), 50);
    bool anyCover = false;
    ResultStore store(dir.filePath("store"));
    for (const auto& [path, data] : fresh) {
        SCOPED_TRACE(path.toStdString());
        const PerspixDataPtr stored = store.find(path, options, *ResultStore::factsOf(path));
        ASSERT_TRUE(stored);
        const auto a = ResultCoding::encode(*data);
        const auto b = ResultCoding::encode(*stored);
        ASSERT_TRUE(a && b);
        EXPECT_EQ(a->value, b->value);
        EXPECT_EQ(a->cover, b->cover);
        anyCover |= !a->cover.isEmpty();
        EXPECT_EQ(stored->isImage(), data->isImage());
        EXPECT_EQ(stored->isVideo(), data->isVideo());
        EXPECT_EQ(stored->isAudio(), data->isAudio());
        EXPECT_EQ(stored->isUnknown(), data->isUnknown());
        EXPECT_EQ(stored->mapLocation(), data->mapLocation());
        EXPECT_EQ(stored->duration, data->duration);
        EXPECT_EQ(stored->hasCover(), data->hasCover());
        EXPECT_EQ(outputsOf(path, stored), outputsOf(path, data));
    }
    EXPECT_TRUE(anyCover);
    EXPECT_TRUE(QDir(dir.filePath("store/covers")).count() > 2);

    // Read in one go, with only the part that a summary or an export needs: the same
    // summary, the same exports.
    QStringList paths;
    for (const auto& entry : fresh)
        paths.append(entry.first);
    const auto generals = store.findAll(paths, options, ResultStore::Part::General);
    const auto uncovered = store.findAll(paths, options, ResultStore::Part::WithoutCover);
    const auto summaries = store.findSummaries(paths, options);
    const auto records = store.findAll(paths, options, ResultStore::Part::ExportRecord);
    ASSERT_EQ(qsizetype(generals.size()), paths.size());
    ASSERT_EQ(qsizetype(uncovered.size()), paths.size());
    for (qsizetype i = 0; i < paths.size(); ++i) {
        SCOPED_TRACE(paths[i].toStdString());
        const PerspixDataPtr& data = fresh[i].second;
        ASSERT_TRUE(generals[i] && uncovered[i]);
        EXPECT_EQ(generals[i]->stringForExportGeneral(), data->stringForExportGeneral());
        EXPECT_EQ(summaries.at(i), data->stringForExportGeneral());
        EXPECT_EQ(generals[i]->isImage(), data->isImage());
        EXPECT_EQ(generals[i]->duration, data->duration);
        EXPECT_FALSE(uncovered[i]->generalInfo()->contains(keys::kCoverData));
        EXPECT_EQ(outputsOf(paths[i], uncovered[i]), outputsOf(paths[i], data));
        ASSERT_TRUE(records.at(i));
        for (const QString format : {"json", "jsonl"})
            for (const bool skipPrivate : {false, true}) {
                const ExportFormat* f = ExportFormat::formatWithIdentifier(format);
                ASSERT_TRUE(f);
                EXPECT_EQ(f->prepare({{paths[i], paths[i], records[i]}}, {skipPrivate, "v1"}),
                          f->prepare({{paths[i], paths[i], data}}, {skipPrivate, "v1"}));
            }
    }
}

// Only facts that still hold find a result: a touched file, other options, a file that
// changed while it was analysed.
TEST(ResultStore, OnlyFactsThatStillHoldFindAResult)
{
    TempDir dir;
    const QString file = dir.copyData("audio/song.mp3");
    const QVariantMap options = analysisOptions();
    const PerspixDataPtr data = PerspixData::dataAboutFile(file, options);
    ASSERT_TRUE(data);
    const auto facts = *ResultStore::factsOf(file);
    ResultStore::FileFacts before = facts;
    before.size += 1; // as read before the file grew
    {
        ResultStore store(dir.filePath("store"));
        store.put(file, options, before, *data);
        store.flush();
        EXPECT_FALSE(store.find(file, options, before));
        EXPECT_FALSE(store.find(file, options, facts));
        store.put(file, options, facts, *data);
        store.flush();
        EXPECT_TRUE(store.find(file, options, facts));
        QVariantMap other = options;
        other.insert(keys::kOptUseSIUnits, false);
        EXPECT_FALSE(store.find(file, other, facts));
    }
    // Touched: a new modification time.
    struct utimbuf times
    {
        0, 1000000
    };
    ASSERT_EQ(::utime(QFile::encodeName(file).constData(), &times), 0);
    ResultStore store(dir.filePath("store"));
    const auto touched = *ResultStore::factsOf(file);
    EXPECT_NE(touched.mtimeNs, facts.mtimeNs);
    EXPECT_FALSE(store.find(file, options, touched));
    // Looked up with the facts read at the look-up: a missing file finds nothing either.
    const auto found =
        store.findAll({file, dir.filePath("gone.mp3")}, options, ResultStore::Part::General);
    EXPECT_FALSE(found.at(0) || found.at(1));
    EXPECT_FALSE(store.findSummaries({file}, options).at(0));
}

// A database that cannot be used is moved aside with one log line and made anew, or, when
// the folder cannot hold one, the store is off for the run with one log line.
TEST(ResultStore, UnusableDatabasesAreMovedAsideOrTheStoreIsOff)
{
    const TempDir copies; // links made to the samples alongside would move their change time
    const QString sample = copies.copyData("audio/song.mp3");
    const QVariantMap options = analysisOptions();
    const PerspixDataPtr data = PerspixData::dataAboutFile(sample, options);
    ASSERT_TRUE(data);
    const auto facts = *ResultStore::factsOf(sample);
    const auto fill = [&](const QString& folder) {
        ResultStore store(folder);
        for (int i = 0; i < 40; ++i) // a few pages
            store.put(sample, {{QStringLiteral("n"), i}}, facts, *data);
    };
    struct Case
    {
        const char* name;
        std::function<void(const QString& folder, const QString& db)> damage;
        bool on;
        const char* logged;
    };
    const Case cases[] = {
        {"truncated",
         [&](const QString& folder, const QString& db) {
             fill(folder);
             QFile f(db);
             ASSERT_TRUE(f.resize(f.size() / 2));
         },
         true, "moved aside"},
        {"random bytes",
         [](const QString&, const QString& db) {
             QByteArray bytes(70000, 0);
             for (char& c : bytes)
                 c = char(QRandomGenerator::global()->generate());
             QFile f(db);
             ASSERT_TRUE(f.open(QIODevice::WriteOnly));
             f.write(bytes);
         },
         true, "moved aside"},
        {"newer version",
         [&](const QString& folder, const QString& db) {
             fill(folder);
             QFile f(db);
             ASSERT_TRUE(f.open(QIODevice::ReadWrite));
             ASSERT_TRUE(f.seek(60)); // the header's user version, big-endian
             f.write(QByteArray("\0\0\0\x63", 4));
         },
         true, "newer version"},
        {"a folder", [](const QString&, const QString& db) { QDir().mkpath(db); }, false,
         "is not a file"},
        {"a symbolic link",
         [](const QString& folder, const QString& db) {
             ASSERT_EQ(::symlink(QFile::encodeName(folder + "/elsewhere").constData(),
                                 QFile::encodeName(db).constData()),
                       0);
         },
         false, "is a symbolic link"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const QString db = dir.filePath(ResultStore::databaseName());
        c.damage(dir.path(), db);
        LogCapture log;
        ResultStore store(dir.path());
        EXPECT_EQ(store.isOn(), c.on);
        ASSERT_EQ(log.lines().size(), 1) << log.lines().join('\n').toStdString();
        EXPECT_TRUE(log.lines().first().contains(c.logged)) << log.lines().first().toStdString();
        if (!c.on)
            continue;
        // Made anew: empty, and it keeps what it is given.
        EXPECT_FALSE(store.find(sample, options, facts));
        store.put(sample, options, facts, *data);
        store.flush();
        EXPECT_TRUE(store.find(sample, options, facts));
        EXPECT_EQ(QDir(dir.path()).entryList({"*.broken-*"}).size(), 1);
    }
}

// Beyond its size limit the store drops the least recently used results.
TEST(ResultStore, SizeLimitDropsTheLeastRecentlyUsed)
{
    TempDir dir;
    const TempDir copies; // links made to the samples alongside would move their change time
    const QString sample = copies.copyData("audio/song.mp3");
    const PerspixDataPtr data = PerspixData::dataAboutFile(sample, {});
    ASSERT_TRUE(data);
    const auto facts = *ResultStore::factsOf(sample);
    const auto optionsNumbered = [](int i) { return QVariantMap{{QStringLiteral("n"), i}}; };
    const auto coded = ResultCoding::encode(*data);
    const qint64 oneEntry = coded->value.size() + coded->cover.size();
    {
        ResultStore store(dir.path(), oneEntry * 5);
        for (int i = 0; i < 10; ++i)
            store.put(sample, optionsNumbered(i), facts, *data);
    }
    ResultStore store(dir.path());
    EXPECT_LE(store.entryCount(), 5);
    EXPECT_GE(store.entryCount(), 3);
    EXPECT_FALSE(store.find(sample, optionsNumbered(0), facts));
    EXPECT_TRUE(store.find(sample, optionsNumbered(9), facts));
}
