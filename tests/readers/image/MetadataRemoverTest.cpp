// Metadata removal on copies of real files, checked with exiv2, exiftool, mediainfo and
// ffmpeg rather than with our own readers. Sources are hashed before and after every run.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

#include "model/Log.h"
#include "model/PerspixData.h"
#include "readers/image/MetadataRemover.h"
#include "support/PeerTools.h"
#include "support/TestSupport.h"

using namespace perspix;
using perspix::test::dataPath;
using perspix::test::TempDir;
namespace peer = perspix::test::peer;
using Kind = MetadataRemovalOutcome::Kind;

namespace {

FileRecord recordOf(const QString& path, const QString& prefix = {})
{
    return {path, prefix.isEmpty() ? QFileInfo(path).fileName() : prefix,
            PerspixData::dataAboutFile(path, {})};
}

oEXIV2Metadata parts(const QString& names)
{
    oEXIV2Metadata p;
    for (const QString& name : names.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        p.exif |= name == QLatin1String("exif");
        p.makernote |= name == QLatin1String("makernote");
        p.gps |= name == QLatin1String("gps");
        p.iptc |= name == QLatin1String("iptc");
        p.xmp |= name == QLatin1String("xmp");
    }
    return p;
}

QStringList withPrefix(const QStringList& keys, const QString& prefix)
{
    QStringList kept;
    for (const QString& key : keys)
        if (key.startsWith(prefix))
            kept.append(key);
    return kept;
}

QStringList withoutPrefixes(QStringList keys, const QStringList& prefixes)
{
    keys.removeIf([&prefixes](const QString& key) {
        for (const QString& prefix : prefixes)
            if (key.startsWith(prefix))
                return true;
        return false;
    });
    keys.sort();
    return keys;
}

// The makernote's keys as exiv2 names them ("Exif.Canon.*", "Exif.Nikon3.*", ...).
QStringList makernoteKeys(const QStringList& keys)
{
    static const QStringList standardGroups{
        QStringLiteral("Exif.Image."),       QStringLiteral("Exif.Photo."),
        QStringLiteral("Exif.GPSInfo."),     QStringLiteral("Exif.Iop."),
        QStringLiteral("Exif.Thumbnail."),   QStringLiteral("Exif.SubImage"),
        QStringLiteral("Exif.Image2."),      QStringLiteral("Exif.Image3."),
        QStringLiteral("Exif.PanasonicRaw.")};
    QStringList found;
    for (const QString& key : keys) {
        if (!key.startsWith(QLatin1String("Exif.")))
            continue;
        bool standard = false;
        for (const QString& group : standardGroups)
            standard = standard || key.startsWith(group);
        if (!standard)
            found.append(key);
    }
    return found;
}

QString exiftoolXmpGps(const QString& path)
{
    QStringList keys;
    for (const QString& key : peer::exiftoolTags(path).keys())
        if (key.startsWith(QLatin1String("XMP")) && key.contains(QLatin1String("GPS")))
            keys.append(key);
    return keys.join(QLatin1Char(' '));
}

// Runs one record through a remover and returns its outcome.
MetadataRemovalOutcome strip(const FileRecord& record, const oEXIV2Metadata& what,
                             const QString& folder)
{
    MetadataRemover remover;
    remover.setMetadata(what);
    return remover.processRecord(record, folder);
}

} // namespace

TEST(MetadataRemover, SetMetadataPartsTakesOnlyTrueEntries)
{
    MetadataRemover remover;
    remover.setMetadata(parts(QStringLiteral("exif,makernote,gps,iptc,xmp")));
    remover.setMetadataParts({{QStringLiteral("exif"), 1},
                              {QStringLiteral("gps"), 0},
                              {QStringLiteral("xmp"), true},
                              {QStringLiteral("other"), 1}});
    EXPECT_EQ(remover.metadata(), parts(QStringLiteral("exif,xmp")));
}

// The parts against the peers' view of the copies.
TEST(MetadataRemover, ImagePartsAsExiv2AndExiftoolSeeThem)
{
    TempDir dir;
    // A JPEG with GPS in its Exif and in its XMP.
    const QString xmpGps =
        dir.copyData(QStringLiteral("images/DSCN0010.jpg"), QStringLiteral("xmp-gps.jpg"));
    ASSERT_EQ(peer::run(QStringLiteral("exiftool"),
                        {QStringLiteral("-q"), QStringLiteral("-overwrite_original"),
                         QStringLiteral("-XMP-exif:GPSLatitude=10"),
                         QStringLiteral("-XMP-exif:GPSLongitude=20"),
                         QStringLiteral("-XMP-dc:Title=Kept"), xmpGps})
                  .exitCode,
              0);
    ASSERT_FALSE(exiftoolXmpGps(xmpGps).isEmpty());

    struct Case
    {
        QString source;
        const char* parts;
        std::function<void(const QStringList& before, const QStringList& after,
                           const QString& copy)>
            check;
    };
    // Exif.Image.GPSTag points at the GPS block: it goes when no GPS version keeps it.
    const QStringList gpsGroups{QStringLiteral("Exif.GPSInfo."), QStringLiteral("Xmp.exif.GPS"),
                                QStringLiteral("Exif.Image.GPSTag")};
    const auto gpsGone = [&](const QStringList& before, const QStringList& after,
                             const QString& copy) {
        ASSERT_FALSE(withPrefix(before, QStringLiteral("Exif.GPSInfo.GPSLatitude")).isEmpty());
        QStringList gpsLeft = withPrefix(after, QStringLiteral("Exif.GPSInfo."));
        gpsLeft.removeAll(QStringLiteral("Exif.GPSInfo.GPSVersionID"));
        EXPECT_EQ(gpsLeft, QStringList());
        EXPECT_EQ(withPrefix(before, QStringLiteral("Exif.GPSInfo.GPSVersionID")),
                  withPrefix(after, QStringLiteral("Exif.GPSInfo.GPSVersionID")));
        EXPECT_EQ(exiftoolXmpGps(copy), QString());
        // Everything else is still there.
        EXPECT_EQ(withoutPrefixes(after, gpsGroups), withoutPrefixes(before, gpsGroups));
    };
    const Case cases[] = {
        {dataPath(QStringLiteral("images/DSCN0010.jpg")), "gps", gpsGone},
        {dataPath(QStringLiteral("images/et-GPS.jpg")), "gps", gpsGone},
        {xmpGps, "gps", gpsGone},
        // With xmp chosen the whole XMP block goes.
        {xmpGps, "gps,xmp",
         [](const QStringList& before, const QStringList& after, const QString&) {
             ASSERT_FALSE(withPrefix(before, QStringLiteral("Xmp.dc.")).isEmpty());
             EXPECT_EQ(withPrefix(after, QStringLiteral("Xmp.")), QStringList());
             EXPECT_EQ(withPrefix(after, QStringLiteral("Exif.GPSInfo.")),
                       withPrefix(before, QStringLiteral("Exif.GPSInfo.GPSVersionID")));
         }},
        // JPEG copies lose their makernote; the standard Exif tags stay.
        {dataPath(QStringLiteral("images/et-Canon.jpg")), "makernote",
         [](const QStringList& before, const QStringList& after, const QString&) {
             ASSERT_FALSE(makernoteKeys(before).isEmpty());
             EXPECT_EQ(makernoteKeys(after), QStringList());
             EXPECT_FALSE(after.contains(QStringLiteral("Exif.Photo.MakerNote")));
             EXPECT_TRUE(after.contains(QStringLiteral("Exif.Image.Make")));
             EXPECT_TRUE(after.contains(QStringLiteral("Exif.Photo.ExposureTime")));
         }},
        // exif alone keeps the makernote, and other files lose Make and Model.
        // exif alone keeps the makernote, and with it the Make the library needs to write
        // it back; Model goes.
        {dataPath(QStringLiteral("images/et-Canon.jpg")), "exif",
         [](const QStringList& before, const QStringList& after, const QString&) {
             ASSERT_FALSE(makernoteKeys(before).isEmpty());
             EXPECT_EQ(makernoteKeys(after), makernoteKeys(before));
             EXPECT_TRUE(after.contains(QStringLiteral("Exif.Image.Make")));
             EXPECT_FALSE(after.contains(QStringLiteral("Exif.Image.Model")));
             EXPECT_FALSE(after.contains(QStringLiteral("Exif.Photo.ExposureTime")));
             EXPECT_FALSE(after.contains(QStringLiteral("Exif.Photo.DateTimeOriginal")));
             EXPECT_EQ(withPrefix(after, QStringLiteral("Exif.GPSInfo.")),
                       withPrefix(before, QStringLiteral("Exif.GPSInfo.")));
         }},
        {dataPath(QStringLiteral("images/et-Canon.jpg")), "exif,makernote",
         [](const QStringList&, const QStringList& after, const QString&) {
             EXPECT_EQ(makernoteKeys(after), QStringList());
             EXPECT_FALSE(after.contains(QStringLiteral("Exif.Image.Make")));
             EXPECT_FALSE(after.contains(QStringLiteral("Exif.Image.Model")));
             // The library writes the pointer to the interoperability block it keeps.
             QStringList photo = withPrefix(after, QStringLiteral("Exif.Photo."));
             photo.removeAll(QStringLiteral("Exif.Photo.InteroperabilityTag"));
             EXPECT_EQ(photo, QStringList());
         }},
        // A NEF keeps Make and Model, and its makernote.
        {dataPath(QStringLiteral("raw/Nikon.nef")), "exif,makernote",
         [](const QStringList& before, const QStringList& after, const QString&) {
             EXPECT_TRUE(after.contains(QStringLiteral("Exif.Image.Make")));
             EXPECT_TRUE(after.contains(QStringLiteral("Exif.Image.Model")));
             ASSERT_FALSE(makernoteKeys(before).isEmpty());
             EXPECT_EQ(makernoteKeys(after), makernoteKeys(before));
             EXPECT_FALSE(after.contains(QStringLiteral("Exif.Photo.ExposureTime")));
         }},
        // A CR2 keeps its makernote, so its Make too.
        {dataPath(QStringLiteral("raw/CanonRaw.cr2")), "exif,makernote",
         [](const QStringList& before, const QStringList& after, const QString&) {
             ASSERT_FALSE(makernoteKeys(before).isEmpty());
             EXPECT_EQ(makernoteKeys(after), makernoteKeys(before));
             EXPECT_TRUE(after.contains(QStringLiteral("Exif.Image.Make")));
             EXPECT_FALSE(after.contains(QStringLiteral("Exif.Image.Model")));
         }},
        {dataPath(QStringLiteral("images/et-IPTC.jpg")), "iptc",
         [](const QStringList& before, const QStringList& after, const QString&) {
             ASSERT_FALSE(withPrefix(before, QStringLiteral("Iptc.")).isEmpty());
             EXPECT_EQ(withPrefix(after, QStringLiteral("Iptc.")), QStringList());
             EXPECT_EQ(withPrefix(after, QStringLiteral("Exif.")),
                       withPrefix(before, QStringLiteral("Exif.")));
         }},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source.toStdString() + " " + c.parts);
        const QByteArray digest = peer::fileDigest(c.source);
        const QString folder = dir.filePath(QStringLiteral("out%1").arg(++n));
        const auto outcome = strip(recordOf(c.source), parts(QString::fromLatin1(c.parts)), folder);
        ASSERT_EQ(outcome.kind, Kind::Stripped);
        EXPECT_EQ(outcome.copyPath,
                  QString(folder + QLatin1Char('/') + QFileInfo(c.source).fileName()));
        c.check(peer::exiv2Keys(c.source), peer::exiv2Keys(outcome.copyPath), outcome.copyPath);
        EXPECT_EQ(peer::fileDigest(c.source), digest);
    }
}

// Nothing to erase means nothing written: the copy is the source byte for byte.
TEST(MetadataRemover, CopiesWithNothingToEraseAreUntouched)
{
    TempDir dir;
    const struct
    {
        const char* file;
        const char* parts;
    } cases[] = {
        {"images/DSCN0010.jpg", "iptc"}, // no IPTC data
        {"raw/Nikon.nef", "makernote"},  // raw files keep their makernote
        {"raw/CanonRaw.cr2", "makernote"}, {"raw/DNG.dng", "makernote"},
        {"images/BlueSquare.jpg", "gps"}, // no GPS
        {"media/multi.mkv", "gps"},       // Matroska: copied
        {"audio/song.m4a", "gps"},        // not a film
        {"media/paris.mp4", "exif,xmp"},  // no location asked for
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " " + c.parts);
        const QString source = dataPath(QString::fromLatin1(c.file));
        const auto outcome = strip(recordOf(source), parts(QString::fromLatin1(c.parts)),
                                   dir.filePath(QStringLiteral("out%1").arg(++n)));
        ASSERT_NE(outcome.kind, Kind::Failed);
        EXPECT_EQ(peer::fileDigest(outcome.copyPath), peer::fileDigest(source));
    }
}

TEST(MetadataRemover, FilmsLoseTheirLocationWithBitIdenticalStreams)
{
    TempDir dir;
    const QString folder = dir.filePath(QStringLiteral("out"));
    for (const char* file : {"media/paris.mp4", "media/sydney.mov", "media/nyc.mp4"}) {
        SCOPED_TRACE(file);
        const QString source = dataPath(QString::fromLatin1(file));
        const QByteArray digest = peer::fileDigest(source);
        const auto outcome =
            strip(recordOf(source, QStringLiteral("films/") + QFileInfo(source).fileName()),
                  parts(QStringLiteral("gps")), folder);
        ASSERT_EQ(outcome.kind, Kind::LocationRemoved);
        EXPECT_EQ(outcome.copyPath,
                  QString(folder + QStringLiteral("/films/") + QFileInfo(source).fileName()));
        const QJsonObject tags = peer::exiftoolTags(outcome.copyPath);
        for (const QString& key : tags.keys())
            EXPECT_FALSE(key.contains(QLatin1String("GPS")) ||
                         key.contains(QLatin1String("Location")))
                << key.toStdString();
        EXPECT_EQ(peer::streamHashes(outcome.copyPath), peer::streamHashes(source));
        EXPECT_EQ(peer::fileDigest(source), digest);
    }
    EXPECT_EQ(QDir(folder + QStringLiteral("/films"))
                  .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              (QStringList{QStringLiteral("nyc.mp4"), QStringLiteral("paris.mp4"),
                           QStringLiteral("sydney.mov")}));
}

// Names: the list's relative paths under the folder, numbered when taken, never outside.
TEST(MetadataRemover, TargetsAreUniqueAndStayInsideTheFolder)
{
    TempDir dir;
    const QString folder = dir.filePath(QStringLiteral("out"));
    ASSERT_TRUE(QDir().mkpath(folder + QStringLiteral("/trip")));
    const QString taken = folder + QStringLiteral("/trip/photo.jpg");
    QFile takenFile(taken);
    ASSERT_TRUE(takenFile.open(QIODevice::WriteOnly));
    takenFile.write("taken");
    takenFile.close();

    MetadataRemover remover;
    remover.setMetadata(parts(QStringLiteral("gps")));
    remover.setArrayWithData({
        recordOf(dataPath(QStringLiteral("images/DSCN0010.jpg")), QStringLiteral("trip/photo.jpg")),
        recordOf(dataPath(QStringLiteral("images/et-GPS.jpg")), QStringLiteral("trip/photo.jpg")),
        recordOf(dataPath(QStringLiteral("images/BlueSquare.jpg")),
                 QStringLiteral("../../escape/./BlueSquare.jpg")),
        recordOf(dataPath(QStringLiteral("audio/stereo.wav")), QStringLiteral("/")),
    });
    QList<MetadataRemovalOutcome> outcomes;
    int will = 0;
    int did = 0;
    remover.willProcessTheFileBlock = [&] { ++will; };
    remover.didProcessTheFileBlock = [&] { ++did; };
    remover.fileProcessedBlock = [&](const MetadataRemovalOutcome& o) { outcomes.append(o); };
    EXPECT_TRUE(remover.doProcessInFolderUrl(folder));

    EXPECT_EQ(will, 4);
    EXPECT_EQ(did, 4);
    ASSERT_EQ(outcomes.size(), 4);
    EXPECT_EQ(outcomes[0].copyPath, QString(folder + QStringLiteral("/trip/photo (1).jpg")));
    EXPECT_EQ(outcomes[1].copyPath, QString(folder + QStringLiteral("/trip/photo (2).jpg")));
    EXPECT_EQ(outcomes[2].copyPath, QString(folder + QStringLiteral("/escape/BlueSquare.jpg")));
    EXPECT_EQ(outcomes[3].copyPath, QString(folder + QStringLiteral("/stereo.wav")));
    EXPECT_EQ(outcomes[3].kind, Kind::Copied);
    ASSERT_TRUE(takenFile.open(QIODevice::ReadOnly));
    EXPECT_EQ(takenFile.readAll(), QByteArray("taken"));
    EXPECT_EQ(withPrefix(peer::exiv2Keys(outcomes[1].copyPath),
                         QStringLiteral("Exif.GPSInfo.GPSLatitude")),
              QStringList());
}

// A copy whose metadata could not be removed is not left behind, and the run goes on.
TEST(MetadataRemover, FailedRemovalLeavesNoCopyAndTheRunGoesOn)
{
    TempDir dir;
    const QString folder = dir.filePath(QStringLiteral("out"));
    // A PNG whose text chunk has no keyword end, which the library refuses; its record is
    // the analysis of the sound PNG it was made from (the file changed since).
    QFile png(dataPath(QStringLiteral("images/et-PNG.png")));
    ASSERT_TRUE(png.open(QIODevice::ReadOnly));
    QByteArray odd = png.readAll();
    const QByteArray chunk =
        QByteArray::fromHex("0000000d74455874") + "nonullkeyword" + QByteArray::fromHex("00000000");
    odd.insert(33, chunk);
    const QString oddPng = dir.write(QStringLiteral("odd.png"), odd);
    FileRecord oddRecord =
        recordOf(dataPath(QStringLiteral("images/et-PNG.png")), QStringLiteral("odd.png"));
    oddRecord.filename = oddPng;
    ASSERT_TRUE(oddRecord.data && oddRecord.data->isImage());

    const QString heic = dataPath(QStringLiteral("images/IMG_5195.HEIC"));
    // A film whose header comes first, cut short: a video to MediaInfo, which ExifTool
    // refuses to write. (truncated.mp4 lost its header and is no video at all: it is copied.)
    const QString faststart = dir.filePath(QStringLiteral("faststart.mp4"));
    ASSERT_EQ(peer::run(QStringLiteral("ffmpeg"),
                        {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"),
                         dataPath(QStringLiteral("media/paris.mp4")), QStringLiteral("-map"),
                         QStringLiteral("0"), QStringLiteral("-c"), QStringLiteral("copy"),
                         QStringLiteral("-movflags"), QStringLiteral("+faststart"), faststart})
                  .exitCode,
              0);
    QFile whole(faststart);
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    const QString truncated = dir.write(QStringLiteral("cut.mp4"), whole.read(30000));
    const QByteArray heicDigest = peer::fileDigest(heic);
    const QByteArray truncatedDigest = peer::fileDigest(truncated);

    MetadataRemover remover;
    remover.setMetadata(parts(QStringLiteral("gps,xmp")));
    remover.setArrayWithData({recordOf(heic), oddRecord, recordOf(truncated),
                              recordOf(dataPath(QStringLiteral("images/DSCN0010.jpg")))});
    QList<MetadataRemovalOutcome> outcomes;
    remover.fileProcessedBlock = [&](const MetadataRemovalOutcome& o) { outcomes.append(o); };
    LogCapture log;
    remover.doProcessInFolderUrl(folder);

    ASSERT_EQ(outcomes.size(), 4);
    EXPECT_EQ(outcomes[0].kind, Kind::Failed); // the library does not write HEIF files
    EXPECT_EQ(outcomes[1].kind, Kind::Failed);
    EXPECT_EQ(outcomes[2].kind, Kind::Failed); // ExifTool does not write a cut-off film
    EXPECT_EQ(outcomes[3].kind, Kind::Stripped);
    EXPECT_TRUE(log.contains(QStringLiteral("exception in removeMetadata()")));
    EXPECT_TRUE(log.contains(QStringLiteral("Removed the copy '%1/IMG_5195.HEIC'").arg(folder)));
    EXPECT_TRUE(log.contains(QStringLiteral("Removed the copy '%1/odd.png'").arg(folder)));
    EXPECT_TRUE(log.contains(QStringLiteral("ExportSession failed with")));
    EXPECT_EQ(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("DSCN0010.jpg")});
    EXPECT_EQ(peer::fileDigest(heic), heicDigest);
    EXPECT_EQ(peer::fileDigest(truncated), truncatedDigest);
}

TEST(MetadataRemover, FolderProblemsAreLoggedPerFile)
{
    TempDir dir;
    // "sub" is a link to nowhere: the name of the copy is free, its folder cannot be made.
    const QString blocked = dir.filePath(QStringLiteral("blocked"));
    ASSERT_TRUE(QDir().mkpath(blocked));
    ASSERT_EQ(::symlink("nowhere", QFile::encodeName(blocked + QStringLiteral("/sub")).constData()),
              0);
    const FileRecord record = recordOf(dataPath(QStringLiteral("images/DSCN0010.jpg")),
                                       QStringLiteral("sub/DSCN0010.jpg"));
    LogCapture log;
    EXPECT_EQ(strip(record, parts(QStringLiteral("gps")), blocked).kind, Kind::Failed);
    EXPECT_TRUE(log.contains(QStringLiteral("Failed to create subdirectory %1/sub").arg(blocked)));
    // Below a file, not even a name can be found.
    const QString file = dir.write(QStringLiteral("file"), "not a folder");
    EXPECT_EQ(strip(record, parts(QStringLiteral("gps")), file).kind, Kind::Failed);
    EXPECT_TRUE(log.contains(
        QStringLiteral("Failed to find unique name for sub/DSCN0010.jpg in %1").arg(file)));
    EXPECT_EQ(strip(record, parts(QStringLiteral("gps")), QString()).kind, Kind::Failed);
    EXPECT_TRUE(log.contains(QStringLiteral("Failed to find unique name for sub/DSCN0010.jpg")));

    if (::geteuid() != 0) {
        const QString locked = dir.filePath(QStringLiteral("locked"));
        ASSERT_TRUE(QDir().mkpath(locked));
        ASSERT_TRUE(QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner));
        const FileRecord film = recordOf(dataPath(QStringLiteral("media/paris.mp4")));
        EXPECT_EQ(strip(record, parts(QStringLiteral("gps")), locked).kind, Kind::Failed);
        EXPECT_EQ(strip(film, parts(QStringLiteral("gps")), locked).kind, Kind::Failed);
        QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        EXPECT_TRUE(QDir(locked).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    }
}

// A read-only source, whose copy may be read-only too, gives a stripped copy all the same.
TEST(MetadataRemover, ReadOnlySourceGivesAStrippedCopy)
{
    TempDir dir;
    const QString source = dir.copyData(QStringLiteral("images/DSCN0010.jpg"));
    ASSERT_EQ(::chmod(QFile::encodeName(source).constData(), 0444), 0);
    const auto outcome =
        strip(recordOf(source), parts(QStringLiteral("gps")), dir.filePath(QStringLiteral("out")));
    ASSERT_EQ(outcome.kind, Kind::Stripped);
    EXPECT_EQ(
        withPrefix(peer::exiv2Keys(outcome.copyPath), QStringLiteral("Exif.GPSInfo.GPSLatitude")),
        QStringList());
}

TEST(MetadataRemover, BackgroundRunReportsOnTheCreatingThread)
{
    TempDir dir;
    struct Delegate : MetadataRemoverDelegate
    {
        int result = -1;
        QThread* thread = nullptr;
        QEventLoop loop;
        void metadataRemoverDidFinish(MetadataRemover*, int r) override
        {
            result = r;
            thread = QThread::currentThread();
            loop.quit();
        }
    } delegate;
    MetadataRemover remover;
    remover.setMetadata(parts(QStringLiteral("gps")));
    remover.setDelegate(&delegate);
    remover.setArrayWithData({recordOf(dataPath(QStringLiteral("images/DSCN0010.jpg"))),
                              recordOf(dataPath(QStringLiteral("media/paris.mp4")))});
    std::atomic<int> did{0};
    std::atomic<bool> offMainThread{true};
    QThread* main = QThread::currentThread();
    remover.didProcessTheFileBlock = [&] {
        ++did;
        offMainThread = offMainThread && QThread::currentThread() != main;
    };
    ASSERT_TRUE(remover.startInFolder(dir.filePath(QStringLiteral("out"))));
    QTimer::singleShot(60000, &delegate.loop, &QEventLoop::quit);
    delegate.loop.exec();
    EXPECT_EQ(delegate.result, MetadataRemover::kResultFinished);
    EXPECT_EQ(delegate.thread, main);
    EXPECT_EQ(did.load(), 2);
    EXPECT_TRUE(offMainThread.load());
}

// Without ExifTool a film gets no copy at all: a plain one would still say where it was made.
TEST(MetadataRemover, FilmWithoutExiftoolIsLoggedAndNotCopied)
{
    TempDir dir;
    const QString folder = dir.filePath(QStringLiteral("out"));
    const FileRecord film = recordOf(dataPath(QStringLiteral("media/paris.mp4")));
    const QByteArray previous = qgetenv("TAGLINK_LIBEXEC");
    const bool hadPrevious = qEnvironmentVariableIsSet("TAGLINK_LIBEXEC");
    qputenv("TAGLINK_LIBEXEC", QFile::encodeName(dir.path()));
    LogCapture log;
    const auto outcome = strip(film, parts(QStringLiteral("gps")), folder);
    if (hadPrevious)
        qputenv("TAGLINK_LIBEXEC", previous);
    else
        qunsetenv("TAGLINK_LIBEXEC");
    EXPECT_EQ(outcome.kind, Kind::Failed);
    EXPECT_TRUE(log.contains(QStringLiteral("Failed to create ExportSession")));
    EXPECT_TRUE(QDir(folder).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
}
