// Attachment extraction over real files: what lands in each folder is compared with what
// ffmpeg and exiv2 extract from the same files; folders without anything are not left.
#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include "export/AttachmentsExtractor.h"
#include "model/Log.h"
#include "model/PerspixData.h"
#include "support/PeerTools.h"
#include "support/TestSupport.h"

using namespace perspix;
using perspix::test::dataPath;
using perspix::test::TempDir;
namespace peer = perspix::test::peer;

namespace {

FileRecord recordOf(const QString& path, const QString& prefix = {})
{
    return {path, prefix.isEmpty() ? QFileInfo(path).fileName() : prefix,
            PerspixData::dataAboutFile(path, {})};
}

// Every file below the folder, relative to it, sorted.
QStringList filesBelow(const QString& folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(QDir(folder).relativeFilePath(it.next()));
    files.sort();
    return files;
}

QStringList foldersIn(const QString& folder)
{
    QStringList folders = QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    folders.sort();
    return folders;
}

// The process's living children, from /proc.
QStringList childProcesses()
{
    QStringList children;
    QDirIterator tasks(QStringLiteral("/proc/self/task"), QDir::Dirs | QDir::NoDotAndDotDot);
    while (tasks.hasNext()) {
        QFile file(tasks.next() + QStringLiteral("/children"));
        if (file.open(QIODevice::ReadOnly))
            children +=
                QString::fromLatin1(file.readAll()).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    }
    return children;
}

QList<AttachmentsOutcome> extract(const FileRecordList& records, const QString& folder)
{
    AttachmentsExtractor extractor;
    extractor.setArrayWithData(records);
    QList<AttachmentsOutcome> outcomes;
    extractor.fileProcessedBlock = [&](const AttachmentsOutcome& o) { outcomes.append(o); };
    EXPECT_TRUE(extractor.doProcessInFolderUrl(folder));
    return outcomes;
}

} // namespace

TEST(AttachmentsExtractor, WritesWhatThePeersExtract)
{
    TempDir dir;
    const QString out = dir.filePath(QStringLiteral("out"));
    const QStringList sources{
        dataPath(QStringLiteral("media/multi.mkv")),
        dataPath(QStringLiteral("audio/song.mp3")),
        dataPath(QStringLiteral("audio/song.m4a")),
        dataPath(QStringLiteral("images/Canon_40D.jpg")),
        dataPath(QStringLiteral("audio/stereo.wav")),
        dataPath(QStringLiteral("media/paris.mp4")),
        dataPath(QStringLiteral("media/attach-evil.mkv")),
    };
    QList<QByteArray> digests;
    FileRecordList records;
    for (const QString& source : sources) {
        digests.append(peer::fileDigest(source));
        records.append(recordOf(source, QStringLiteral("list/") + QFileInfo(source).fileName()));
    }
    const QList<AttachmentsOutcome> outcomes = extract(records, out);
    ASSERT_EQ(outcomes.size(), sources.size());

    // Nothing in stereo.wav and paris.mp4: no folder for them.
    EXPECT_EQ(foldersIn(out + QStringLiteral("/list")),
              (QStringList{
                  QStringLiteral("Canon_40D.jpg embedded"),
                  QStringLiteral("attach-evil.mkv embedded"), QStringLiteral("multi.mkv embedded"),
                  QStringLiteral("song.m4a embedded"), QStringLiteral("song.mp3 embedded")}));

    // Matroska: both attachments, as ffmpeg sees them (the cover is an attached picture).
    const QString peerDir = dir.filePath(QStringLiteral("peer"));
    ASSERT_TRUE(QDir().mkpath(peerDir));
    peer::run(QStringLiteral("ffmpeg"),
              {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-dump_attachment:t"),
               QString(), QStringLiteral("-i"), sources[0]},
              peerDir);
    peer::run(QStringLiteral("ffmpeg"),
              {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), sources[0],
               QStringLiteral("-map"), QStringLiteral("0:5"), QStringLiteral("-c"),
               QStringLiteral("copy"), QStringLiteral("-f"), QStringLiteral("image2"),
               peerDir + QStringLiteral("/cover.jpg")});
    const QString mkvFolder = out + QStringLiteral("/list/multi.mkv embedded");
    EXPECT_EQ(filesBelow(mkvFolder),
              (QStringList{QStringLiteral("cover.jpg"), QStringLiteral("font.ttf")}));
    for (const QString& name : {QStringLiteral("cover.jpg"), QStringLiteral("font.ttf")})
        EXPECT_EQ(peer::fileDigest(mkvFolder + QLatin1Char('/') + name),
                  peer::fileDigest(peerDir + QLatin1Char('/') + name))
            << name.toStdString();
    EXPECT_EQ(outcomes[0].written.size(), 2);

    // Covers of MP3 and M4A: one "Cover" file each, the bytes ffmpeg copies out.
    for (int i : {1, 2}) {
        SCOPED_TRACE(sources[i].toStdString());
        const QString folder =
            out + QStringLiteral("/list/") + QFileInfo(sources[i]).fileName() + " embedded";
        const QStringList files = filesBelow(folder);
        ASSERT_EQ(files.size(), 1);
        EXPECT_TRUE(files[0].startsWith(QLatin1String("Cover")));
        const QString peerCover = peerDir + QStringLiteral("/cover%1.jpg").arg(i);
        peer::run(QStringLiteral("ffmpeg"),
                  {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), sources[i],
                   QStringLiteral("-map"), QStringLiteral("0:v"), QStringLiteral("-c"),
                   QStringLiteral("copy"), QStringLiteral("-f"), QStringLiteral("image2"),
                   peerCover});
        EXPECT_EQ(peer::fileDigest(folder + QLatin1Char('/') + files[0]),
                  peer::fileDigest(peerCover));
    }

    // Image previews, as exiv2 extracts them.
    const QString imageFolder = out + QStringLiteral("/list/Canon_40D.jpg embedded");
    EXPECT_EQ(filesBelow(imageFolder), QStringList{QStringLiteral("Canon_40D #1.jpg")});
    peer::run(QStringLiteral("exiv2"), {QStringLiteral("-q"), QStringLiteral("-ep1"),
                                        QStringLiteral("-l"), peerDir, sources[3]});
    EXPECT_EQ(peer::fileDigest(imageFolder + QStringLiteral("/Canon_40D #1.jpg")),
              peer::fileDigest(peerDir + QStringLiteral("/Canon_40D-preview1.jpg")));

    // An attachment named "../evil" stays in its folder.
    EXPECT_EQ(filesBelow(out + QStringLiteral("/list/attach-evil.mkv embedded")),
              QStringList{QStringLiteral("evil")});
    EXPECT_EQ(filesBelow(out).size(), 6);

    for (qsizetype i = 0; i < sources.size(); ++i)
        EXPECT_EQ(peer::fileDigest(sources[i]), digests[i]) << sources[i].toStdString();
}

// Taken names give numbered folders; a folder that was there is left as it was, and a file
// without anything to extract leaves no numbered folder either.
TEST(AttachmentsExtractor, ExistingFoldersAreLeftAlone)
{
    TempDir dir;
    const QString out = dir.filePath(QStringLiteral("out"));
    const QString existing = out + QStringLiteral("/song.mp3 embedded");
    const QString existingWav = out + QStringLiteral("/stereo.wav embedded");
    ASSERT_TRUE(QDir().mkpath(existing));
    ASSERT_TRUE(QDir().mkpath(existingWav));
    const QString song = dataPath(QStringLiteral("audio/song.mp3"));
    const auto outcomes = extract(
        {recordOf(song), recordOf(song), recordOf(dataPath(QStringLiteral("audio/stereo.wav")))},
        out);
    ASSERT_EQ(outcomes.size(), 3);
    // Numbered like a file name, before what follows the last dot.
    EXPECT_EQ(outcomes[0].folder, QString(out + QStringLiteral("/song (1).mp3 embedded")));
    EXPECT_EQ(outcomes[1].folder, QString(out + QStringLiteral("/song (2).mp3 embedded")));
    EXPECT_EQ(outcomes[2].folder, QString());
    EXPECT_EQ(foldersIn(out), (QStringList{QStringLiteral("song (1).mp3 embedded"),
                                           QStringLiteral("song (2).mp3 embedded"),
                                           QStringLiteral("song.mp3 embedded"),
                                           QStringLiteral("stereo.wav embedded")}));
    EXPECT_EQ(filesBelow(existing), QStringList());
}

// A Matroska file without attachments, an unknown file and a shown path with subfolders
// leave no folder behind, not even the subfolders.
TEST(AttachmentsExtractor, NothingToExtractLeavesNoFolder)
{
    TempDir dir;
    const QString out = dir.filePath(QStringLiteral("out"));
    const QString text = dir.write(QStringLiteral("notes.txt"), "plain text, no media\n");
    const FileRecord unknown = recordOf(text);
    ASSERT_TRUE(unknown.data);
    ASSERT_TRUE(unknown.data->isUnknown());

    AttachmentsExtractor extractor;
    extractor.setArrayWithData(
        {recordOf(dataPath(QStringLiteral("media/clip.webm")), QStringLiteral("a/b/clip.webm")),
         recordOf(dataPath(QStringLiteral("media/et-Matroska.mkv")), QStringLiteral("a/c.mkv")),
         unknown});
    int will = 0;
    int did = 0;
    extractor.willProcessTheFileBlock = [&] { ++will; };
    extractor.didProcessTheFileBlock = [&] { ++did; };
    LogCapture log;
    EXPECT_TRUE(extractor.doProcessInFolderUrl(out));
    EXPECT_EQ(will, 3);
    EXPECT_EQ(did, 3);
    EXPECT_FALSE(QFileInfo::exists(out + QStringLiteral("/a")));
    EXPECT_EQ(log.lines(), QStringList());
}

// One ExifTool per run, closed at the end, also for an empty list.
TEST(AttachmentsExtractor, TheRunsExiftoolEndsWithTheRun)
{
    TempDir dir;
    const QStringList before = childProcesses();
    EXPECT_EQ(extract({}, dir.filePath(QStringLiteral("empty"))).size(), 0);
    EXPECT_EQ(childProcesses(), before);
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("empty"))));

    EXPECT_EQ(extract({recordOf(dataPath(QStringLiteral("media/attach-twice.mkv")))},
                      dir.filePath(QStringLiteral("twice")))
                  .size(),
              1);
    EXPECT_EQ(childProcesses(), before);
}

TEST(AttachmentsExtractor, FolderThatCannotBeMadeIsLogged)
{
    TempDir dir;
    const QString blocker = dir.write(QStringLiteral("file"), "not a folder");
    LogCapture log;
    const auto outcomes = extract({recordOf(dataPath(QStringLiteral("audio/song.mp3")))}, blocker);
    ASSERT_EQ(outcomes.size(), 1);
    EXPECT_TRUE(outcomes[0].failed);
    EXPECT_TRUE(
        log.contains(QStringLiteral("Failed to create folder for song.mp3 in %1/song.mp3 embedded")
                         .arg(blocker)));
}
