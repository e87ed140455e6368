#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "model/Keys.h"
#include "model/Log.h"
#include "model/PerspixData.h"
#include "support/TestSupport.h"

using namespace perspix;
using perspix::test::TempDir;

// Files no reader opens: the analysis gives nothing, logs the reader's line with the path,
// and leaves the file alone.
TEST(PerspixData, FilesNoReaderOpensFailWithTheReadersLogLine)
{
    TempDir dir;
    const QString sample = dir.copyData(QStringLiteral("media/paris.mp4"));
    QFile original(sample);
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    const QByteArray contents = original.readAll();
    const QDateTime modified = QFileInfo(sample).lastModified();
    const QString loop = dir.filePath(QStringLiteral("loop.mp4"));
    QFile::link(loop, loop);

    EXPECT_NE(PerspixData::dataAboutFile(sample, {}), nullptr); // read, never written
    const QString paths[] = {dir.filePath(QStringLiteral("missing.mp4")), dir.path(), loop};
    for (const QString& path : paths) {
        SCOPED_TRACE(path.toStdString());
        {
            LogCapture log;
            EXPECT_EQ(PerspixData::dataAboutFile(path, {}), nullptr);
            EXPECT_EQ(log.lines(), QStringList{"Failed to parse with MI: " + path});
        }
        {
            LogCapture log;
            const QVariantMap exiftool{{keys::kOptVideoUtility, keys::kVideoUtilityExiftool}};
            EXPECT_EQ(PerspixData::dataAboutFile(path, exiftool), nullptr);
            // Taglink may explain first why it has no process; the analysis's line ends it.
            ASSERT_FALSE(log.lines().isEmpty());
            EXPECT_EQ(log.lines().last(), "Failed to parse with exiftool: " + path);
        }
    }
    QFile after(sample);
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), contents);
    EXPECT_EQ(QFileInfo(sample).lastModified(), modified);
    EXPECT_EQ(
        QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System).size(),
        2);
}

// Pipes, sockets and devices would block a reader for ever: they get their file facts and
// the status of a file without analysis, and are never opened.
TEST(PerspixData, PipesSocketsAndDevicesAreNeverOpened)
{
    TempDir dir;
    const QString fifo = dir.filePath(QStringLiteral("p.mp4"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
    const QString link = dir.filePath(QStringLiteral("link.jpg"));
    ASSERT_TRUE(QFile::link(fifo, link));
    const QString socketPath = dir.filePath(QStringLiteral("s.mov"));
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray socketBytes = QFile::encodeName(socketPath);
    ASSERT_LT(socketBytes.size(), qsizetype(sizeof address.sun_path));
    std::memcpy(address.sun_path, socketBytes.constData(), size_t(socketBytes.size()));
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

    const QVariantMap options[] = {
        {{keys::kOptComputeFileHashes, true}},
        {{keys::kOptVideoUtility, keys::kVideoUtilityExiftool}},
    };
    struct Case
    {
        QString path;
        QString name;
        QString mime;
    };
    const Case cases[] = {
        {fifo, "p.mp4", "inode/fifo"},
        {link, "link.jpg", "inode/fifo"},
        {socketPath, "s.mov", "inode/socket"},
        {QStringLiteral("/dev/null"), "null", "inode/chardevice"},
    };
    for (const Case& c : cases) {
        for (const QVariantMap& o : options) {
            SCOPED_TRACE(c.path.toStdString());
            const PerspixDataPtr data = PerspixData::dataAboutFile(c.path, o);
            ASSERT_TRUE(data && data->generalInfo());
            EXPECT_TRUE(data->isUnknown());
            EXPECT_EQ(data->format().value_or(QString()), keys::kUnknownFormat);
            const GeneralRecord& general = *data->generalInfo();
            EXPECT_EQ(general.string(keys::kFileUTI), c.mime);
            EXPECT_FALSE(general.contains(keys::kMd5));
            EXPECT_TRUE(general.contains(keys::kModificationDate));
            const SectionData& sections = *data->data();
            EXPECT_EQ(sections.keys(), QStringList{keys::kSectionFile});
            EXPECT_EQ(
                sections.value(keys::kSectionFile).first().value(keys::kFileName).valueString(),
                c.name);
        }
    }
    ::close(sock);
}

TEST(PerspixData, LocationFromIso6709)
{
    struct Case
    {
        const char* text;
        std::optional<MapLocation> expected;
    };
    const Case cases[] = {
        {"+48.8577+002.2950+035.000/", MapLocation{48.8577, 2.295}},
        {"-33.8688+151.2093/", MapLocation{-33.8688, 151.2093}},
        {"+40.7128-074.0060/", MapLocation{40.7128, -74.006}},
        {"-00.5-000.25", MapLocation{-0.5, -0.25}},
        {"48.8577+002.2950/", std::nullopt}, // no leading sign
        {"+48.8577/", std::nullopt},
        {"", std::nullopt},
        {"somewhere", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PerspixData::locationFromIso6709(QString::fromLatin1(c.text)), c.expected)
            << c.text;
}

TEST(PerspixData, OptionsApplyOnlyTheKeysPresent)
{
    PerspixData defaults(QStringLiteral("/x.mp4"));
    defaults.setInitOptions(nullptr);
    EXPECT_EQ(defaults.filename, "/x.mp4");
    EXPECT_TRUE(defaults.useSIUnits);
    EXPECT_FALSE(defaults.useSlowThumbProcessing || defaults.otherTracksInGeneral ||
                 defaults.computeFileHashes || defaults.skipExtAttributes ||
                 defaults.useExiftoolForVideo || defaults.skipCoverPictures);

    const QVariantMap all{{keys::kOptUseSIUnits, false},
                          {keys::kOptUseSlowThumbProcessing, true},
                          {keys::kOptDisplayOtherTracksInGeneral, true},
                          {keys::kOptComputeFileHashes, true},
                          {keys::kOptSkipExtAttributes, true},
                          {keys::kOptSkipCoverPictures, true},
                          {keys::kOptVideoUtility, keys::kVideoUtilityExiftool}};
    PerspixData set(QStringLiteral("/x.mp4"));
    set.setInitOptions(&all);
    EXPECT_FALSE(set.useSIUnits);
    EXPECT_TRUE(set.useSlowThumbProcessing && set.otherTracksInGeneral && set.computeFileHashes &&
                set.skipExtAttributes && set.useExiftoolForVideo && set.skipCoverPictures);

    // Absent keys leave what was set; any utility but ExifTool leaves the choice alone.
    const QVariantMap some{{keys::kOptVideoUtility, QStringLiteral("mediainfo")},
                           {keys::kOptSkipExtAttributes, false}};
    set.setInitOptions(&some);
    EXPECT_TRUE(set.useExiftoolForVideo);
    EXPECT_FALSE(set.skipExtAttributes);
    EXPECT_TRUE(set.computeFileHashes);
    EXPECT_FALSE(set.useSIUnits);
}
