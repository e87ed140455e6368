#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "filelist/FilelistFiller.h"
#include "support/TestSupport.h"

using namespace perspix;
using perspix::test::TempDir;

namespace {

void makeFile(const QString& path)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
}

QStringList prefixes(const Filelist& list)
{
    QStringList out;
    for (const FilelistItemPtr& item : list)
        out.append(item->prefixedPath());
    return out;
}

QStringList filenames(const Filelist& list)
{
    QStringList out;
    for (const FilelistItemPtr& item : list)
        out.append(item->filename());
    return out;
}

// A file whose name is given as bytes; removed again by name bytes, which the temporary
// folder cannot do for a name that is not UTF-8.
struct RawFile
{
    explicit RawFile(const QByteArray& path) : path(path)
    {
        ::close(::open(path.constData(), O_CREAT | O_WRONLY, 0644));
    }
    ~RawFile() { ::unlink(path.constData()); }
    QByteArray path;
};

} // namespace

TEST(FilelistSort, OrdersLikeAFileBrowser)
{
    // Each row: the expected order; the sort gets it reversed and rotated.
    const QStringList cases[] = {
        {"clip2.mov", "Clip3.mov", "clip10.mov"},
        {"A.mov", "a.mov", "b.mov"}, // equal but for case: both kept, in a fixed order
        {"a.mov", QString::fromUtf8("\uff42.mov"), "c.mov"}, // full-width b sorts as b
        {"take 9", "take 10", "take 100", "Take 101"},
        {"Folder/a.mov", "Folder/sub/a.mov", "Folder2/a.mov"},
        {"e.mov", QString::fromUtf8("\u00e9.mov"), "f.mov"},
    };
    for (const QStringList& expected : cases) {
        QStringList reversed(expected.crbegin(), expected.crend());
        FilelistFiller::sortLikeFinder(reversed);
        EXPECT_EQ(reversed, expected);
        QStringList rotated = expected.mid(1) + expected.mid(0, 1);
        FilelistFiller::sortLikeFinder(rotated);
        EXPECT_EQ(rotated, expected);
    }
}

TEST(FilelistFiller, PrefixesForOneFolderAndForSeveralSources)
{
    TempDir dir;
    const QString root = dir.filePath("Folder");
    makeFile(root + "/sub/a.mov");
    makeFile(root + "/b.mov");
    makeFile(root + "/.hidden.mov");
    makeFile(root + "/.DS_Store");
    makeFile(root + "/onlyds/.DS_Store");
    makeFile(root + "/Movie.app/Contents/clip.mov"); // packages are folders like any other
    makeFile(dir.filePath("c.mov"));

    const Filelist alone = FilelistFiller::fillerWithPaths({root}).filelist();
    EXPECT_EQ(prefixes(alone),
              QStringList({".hidden.mov", "b.mov", "Movie.app/Contents/clip.mov", "sub/a.mov"}));
    EXPECT_EQ(alone.last()->filename(), root + "/sub/a.mov");

    const Filelist together =
        FilelistFiller::fillerWithSourceArray(
            {QUrl::fromLocalFile(dir.filePath("c.mov")), QUrl::fromLocalFile(root)})
            .filelist();
    EXPECT_EQ(prefixes(together),
              QStringList({"c.mov", "Folder/.hidden.mov", "Folder/b.mov",
                           "Folder/Movie.app/Contents/clip.mov", "Folder/sub/a.mov"}));

    // Files given directly keep their own name, ".DS_Store" and missing paths included.
    const QString missing = dir.filePath("gone/none.mov");
    const Filelist files =
        FilelistFiller::fillerWithPaths({root + "/.DS_Store", missing, root + "/b.mov"}).filelist();
    EXPECT_EQ(prefixes(files), QStringList({".DS_Store", "b.mov", "none.mov"}));
    EXPECT_TRUE(filenames(files).contains(missing));
    for (const FilelistItemPtr& item : files) {
        EXPECT_FALSE(item->isProcessed());
        EXPECT_FALSE(item->data());
        EXPECT_FALSE(item->mapLocationInfo().has_value());
    }
}

TEST(FilelistFiller, UnreadableFolderAddsNothing)
{
    TempDir dir;
    makeFile(dir.filePath("open/a.mov"));
    makeFile(dir.filePath("closed/secret.mov"));
    ASSERT_EQ(::chmod(QFile::encodeName(dir.filePath("closed")).constData(), 0), 0);
    const bool stillReadable =
        ::access(QFile::encodeName(dir.filePath("closed")).constData(), R_OK | X_OK) == 0;
    const Filelist list = FilelistFiller::fillerWithPaths({dir.path()}).filelist();
    ::chmod(QFile::encodeName(dir.filePath("closed")).constData(), 0755);
    if (stillReadable)
        GTEST_SKIP() << "running with rights that read any folder";
    EXPECT_EQ(prefixes(list), QStringList({"open/a.mov"}));
}

TEST(FilelistFiller, LinkCyclesEndAndEveryFileComesOnce)
{
    TempDir dir;
    const QString root = dir.filePath("root");
    makeFile(root + "/a/one.mov");
    makeFile(root + "/b/two.mov");
    // a/up leads back to the root, b/self to itself, a/tob across to b.
    ASSERT_EQ(::symlink("..", QFile::encodeName(root + "/a/up").constData()), 0);
    ASSERT_EQ(::symlink(".", QFile::encodeName(root + "/b/self").constData()), 0);
    ASSERT_EQ(::symlink("../b", QFile::encodeName(root + "/a/tob").constData()), 0);
    // A link to a file is a file; a dangling link is an item like a missing path.
    ASSERT_EQ(::symlink("one.mov", QFile::encodeName(root + "/a/link.mov").constData()), 0);
    ASSERT_EQ(::symlink("nowhere", QFile::encodeName(root + "/dangling").constData()), 0);

    const Filelist list = FilelistFiller::fillerWithPaths({root}).filelist();
    QStringList names;
    for (const FilelistItemPtr& item : list)
        names.append(QFileInfo(item->filename()).fileName());
    names.sort();
    EXPECT_EQ(names, QStringList({"dangling", "link.mov", "one.mov", "two.mov"}));
}

TEST(FilelistFiller, OddNamesAndNumberedNames)
{
    TempDir dir;
    makeFile(dir.filePath("odd/line\nbreak.mov"));
    // A name that is not UTF-8 still becomes an item (its path cannot be opened again, so
    // its analysis fails later); nothing is skipped silently.
    const RawFile invalid(QFile::encodeName(dir.filePath("odd/")) + "bad\xff\xfe.mov");
    const Filelist odd = FilelistFiller::fillerWithPaths({dir.filePath("odd")}).filelist();
    ASSERT_EQ(odd.size(), 2);
    EXPECT_TRUE(odd[0]->prefixedPath().startsWith("bad"));
    EXPECT_EQ(odd[1]->prefixedPath(), "line\nbreak.mov");

    const QString many = dir.filePath("many");
    QDir().mkpath(many);
    for (int i = 0; i < 1000; ++i) {
        const int f =
            ::open(QFile::encodeName(many + QStringLiteral("/f%1.mov").arg(i)).constData(),
                   O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(f, 0);
        ::close(f);
    }
    const Filelist list = FilelistFiller::fillerWithPaths({many}).filelist();
    ASSERT_EQ(list.size(), 1000);
    EXPECT_EQ(list[0]->prefixedPath(), "f0.mov");
    EXPECT_EQ(list[9]->prefixedPath(), "f9.mov");
    EXPECT_EQ(list[10]->prefixedPath(), "f10.mov");
    EXPECT_EQ(list.last()->prefixedPath(), "f999.mov");
}

TEST(FilelistItem, HoldsDataAndDescribesItself)
{
    const FilelistItemPtr item = FilelistItem::itemWithFilename("/m/a.mov", "a.mov");
    EXPECT_EQ(item->description(), "FilelistItem: filename=/m/a.mov, isProcessed=NO");
    item->setIsProcessed(true);
    EXPECT_EQ(item->description(), "FilelistItem: filename=/m/a.mov, isProcessed=YES");

    // Data without a location gives no map record.
    item->setData(std::make_shared<PerspixData>("/m/a.mov"));
    EXPECT_TRUE(item->data());
    EXPECT_FALSE(item->mapLocationInfo().has_value());

    // With real data that carries a location, the record names the item's file.
    const QString paris = perspix::test::dataPath("media/paris.mp4");
    const PerspixDataPtr data = PerspixData::dataAboutFile(paris, {});
    if (!data || !data->mapLocation())
        GTEST_SKIP() << "no location read from the sample";
    const FilelistItemPtr located = FilelistItem::itemWithFilename(paris, "paris.mp4");
    located->setData(data);
    const auto info = located->mapLocationInfo();
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->value("filename"), paris);
    EXPECT_NEAR(info->value("latitude").toDouble(), 48.8577, 1e-6);
}
