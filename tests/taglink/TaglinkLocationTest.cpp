// Film copies without their location, written by the real ExifTool and checked with the
// peers: exiftool and mediainfo find no location, every other tag stays, ffmpeg finds the
// streams bit-identical, and the source never changes.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <unistd.h>

#include "support/PeerTools.h"
#include "support/TestSupport.h"
#include "taglink/Taglink.h"

using namespace taglink;
using perspix::test::dataPath;
using perspix::test::TempDir;
namespace peer = perspix::test::peer;

namespace {

std::string bytes(const QString& s)
{
    return QFile::encodeName(s).toStdString();
}

bool isLocationKey(const QString& key)
{
    return key.contains(QLatin1String("GPS"), Qt::CaseInsensitive) ||
           key.contains(QLatin1String("Location"), Qt::CaseInsensitive);
}

QStringList locationKeys(const QJsonObject& tags)
{
    QStringList keys;
    for (const QString& key : tags.keys())
        if (isLocationKey(key))
            keys.append(key);
    return keys;
}

// mediainfo's lines that give a place: the keyed items, "xyz" and "location".
QStringList mediainfoLocationLines(const QString& report)
{
    static const QRegularExpression line(
        QStringLiteral("^(xyz|location|com\\.apple\\.quicktime\\.location\\S*)\\s+:.*$"),
        QRegularExpression::MultilineOption | QRegularExpression::CaseInsensitiveOption);
    QStringList lines;
    auto it = line.globalMatch(report);
    while (it.hasNext())
        lines.append(it.next().captured(0));
    return lines;
}

// The films' own names in a folder: no scratch folder or half-written file left beside.
QStringList entriesOf(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                  QDir::NoDotAndDotDot);
}

// A copy of paris.mp4 that carries a location in every place a writer may put one.
QString filmWithEveryLocation(const TempDir& dir)
{
    const QString path =
        dir.copyData(QStringLiteral("media/paris.mp4"), QStringLiteral("rich.mp4"));
    const auto r = peer::run(QStringLiteral("exiftool"),
                             {QStringLiteral("-q"), QStringLiteral("-overwrite_original"),
                              QStringLiteral("-XMP-exif:GPSLatitude=10"),
                              QStringLiteral("-XMP-exif:GPSLongitude=20"),
                              QStringLiteral("-XMP-dc:Title=Kept title"),
                              QStringLiteral("-ItemList:GPSCoordinates=1, 2"),
                              QStringLiteral("-ItemList:Title=Kept item"),
                              QStringLiteral("-UserData:GPSCoordinates=3, 4"),
                              QStringLiteral("-UserData:Title=Kept user data"),
                              QStringLiteral("-Keys:LocationName=Home"),
                              QStringLiteral("-Keys:LocationNote=Garden"), path});
    return r.exitCode == 0 ? path : QString();
}

} // namespace

TEST(TaglinkLocation, CopiesLoseEveryLocationAndKeepEverythingElse)
{
    TempDir dir;
    const QString rich = filmWithEveryLocation(dir);
    ASSERT_FALSE(rich.isEmpty());
    // Source, and what mediainfo shows of its location before (none for the XMP-only ones).
    const QStringList films{
        dataPath(QStringLiteral("media/paris.mp4")),  // keyed ISO 6709 item
        dataPath(QStringLiteral("media/sydney.mov")), // keyed items and "loci"
        dataPath(QStringLiteral("media/nyc.mp4")),    // user-data "©xyz" only
        dataPath(QStringLiteral("media/Été à Paris (2).mp4")),
        rich,
    };
    int n = 0;
    for (const QString& source : films) {
        SCOPED_TRACE(source.toStdString());
        const QByteArray digest = peer::fileDigest(source);
        const QJsonObject before = peer::exiftoolTags(source);
        ASSERT_FALSE(locationKeys(before).isEmpty());
        ASSERT_FALSE(mediainfoLocationLines(peer::mediainfoReport(source)).isEmpty());

        const QString target =
            dir.filePath(QStringLiteral("out%1/%2").arg(++n).arg(QFileInfo(source).fileName()));
        ASSERT_TRUE(QDir().mkpath(QFileInfo(target).absolutePath()));
        const auto result = Taglink::copyFileWithoutLocation(bytes(source), bytes(target));
        ASSERT_EQ(result.status, Taglink::LocationRemoval::Status::Written) << result.error;

        const QJsonObject after = peer::exiftoolTags(target);
        EXPECT_EQ(locationKeys(after), QStringList());
        EXPECT_EQ(mediainfoLocationLines(peer::mediainfoReport(target)), QStringList());
        for (const QString& key : before.keys()) {
            // The media data moves when the metadata boxes before it shrink, and the empty
            // "wide" placeholder box is not carried over.
            if (isLocationKey(key) || key == QLatin1String("QuickTime:MediaDataOffset") ||
                key == QLatin1String("QuickTime:Wide"))
                continue;
            EXPECT_EQ(after.value(key), before.value(key)) << key.toStdString();
        }
        EXPECT_EQ(peer::streamHashes(target), peer::streamHashes(source));
        EXPECT_FALSE(peer::streamHashes(target).isEmpty());
        EXPECT_EQ(entriesOf(QFileInfo(target).absolutePath()),
                  QStringList{QFileInfo(target).fileName()});
        EXPECT_EQ(peer::fileDigest(source), digest);
    }
}

TEST(TaglinkLocation, FailuresLeaveNothingUnderTheTargetName)
{
    TempDir dir;
    const QString existing = dir.write(QStringLiteral("taken.mp4"), "already here");
    struct Case
    {
        const char* source;
        QString target;
        const char* errorFragment;
    };
    const Case cases[] = {
        // ExifTool refuses to write a film whose media data is cut short.
        {"media/truncated.mp4", dir.filePath(QStringLiteral("a/truncated.mp4")), "Truncated"},
        // Matroska is not written by ExifTool.
        {"media/multi.mkv", dir.filePath(QStringLiteral("b/multi.mkv")), "MKV"},
        // An existing file is never replaced.
        {"media/paris.mp4", existing, "exists"},
        // A folder that does not exist.
        {"media/paris.mp4", dir.filePath(QStringLiteral("missing/paris.mp4")), "target folder"},
        {"media/no such film.mp4", dir.filePath(QStringLiteral("c/none.mp4")), ""},
    };
    ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("a"))));
    ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("b"))));
    ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("c"))));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        const QString source = dataPath(QString::fromUtf8(c.source));
        const QByteArray digest = peer::fileDigest(source);
        const auto result = Taglink::copyFileWithoutLocation(bytes(source), bytes(c.target));
        EXPECT_EQ(result.status, Taglink::LocationRemoval::Status::Failed);
        EXPECT_NE(result.error.find(c.errorFragment), std::string::npos) << result.error;
        EXPECT_EQ(peer::fileDigest(source), digest);
    }
    EXPECT_EQ(entriesOf(dir.filePath(QStringLiteral("a"))), QStringList());
    EXPECT_EQ(entriesOf(dir.filePath(QStringLiteral("b"))), QStringList());
    EXPECT_EQ(entriesOf(dir.filePath(QStringLiteral("c"))), QStringList());
    QFile taken(existing);
    ASSERT_TRUE(taken.open(QIODevice::ReadOnly));
    EXPECT_EQ(taken.readAll(), QByteArray("already here"));
}

TEST(TaglinkLocation, NamesThatLookLikeOptionsOrCarryPercentSigns)
{
    TempDir dir;
    const QString source =
        dir.copyData(QStringLiteral("media/paris.mp4"), QStringLiteral("-o.mp4"));
    // ExifTool expands "%d", "%f", "%e" and "%c" in the name it writes: the copy must still
    // land in the folder of that name and nowhere else.
    const QStringList folders = {"100%", "%d", "%f.%e", "a%%b", "-x %c"};
    for (const QString& folder : folders)
        ASSERT_TRUE(QDir(dir.path()).mkdir(folder));
    // Relative paths starting with "-" must reach ExifTool as files, not options.
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    for (const QString& folder : folders) {
        SCOPED_TRACE(folder.toStdString());
        const auto result =
            Taglink::copyFileWithoutLocation("-o.mp4", bytes(folder + "/100%d -%f.mp4"));
        EXPECT_EQ(result.status, Taglink::LocationRemoval::Status::Written) << result.error;
        const QString target = dir.filePath(folder + "/100%d -%f.mp4");
        EXPECT_EQ(entriesOf(dir.filePath(folder)), QStringList{"100%d -%f.mp4"});
        EXPECT_EQ(locationKeys(peer::exiftoolTags(target)), QStringList());
        EXPECT_EQ(peer::streamHashes(target), peer::streamHashes(source));
    }
    QDir::setCurrent(previous);
    QStringList expected = QStringList({"-o.mp4"}) + folders;
    QStringList found = entriesOf(dir.path());
    expected.sort();
    found.sort();
    EXPECT_EQ(found, expected);
}

TEST(TaglinkLocation, ReadOnlyTargetFolder)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind the superuser";
    TempDir dir;
    const QString folder = dir.filePath(QStringLiteral("locked"));
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
    const auto result = Taglink::copyFileWithoutLocation(
        bytes(dataPath(QStringLiteral("media/paris.mp4"))), bytes(folder + "/paris.mp4"));
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(result.status, Taglink::LocationRemoval::Status::Failed);
    EXPECT_EQ(entriesOf(folder), QStringList());
}
