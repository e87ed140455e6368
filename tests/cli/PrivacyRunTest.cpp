// perspix-cli --privacy: the built program over real samples in each output form, its exit
// statuses, and --strip privacy from the command line.
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

#include "support/PeerTools.h"
#include "support/TestSupport.h"

using namespace perspix::test;
namespace peer = perspix::test::peer;

namespace {

Outcome runCli(const QStringList& args, const TempDir& home)
{
    return runProgram(QStringLiteral(PERSPIX_CLI_PROGRAM), QStringList{"-q"} + args, home.path());
}

} // namespace

TEST(PrivacyRun, FormsAndExitStatuses)
{
    TempDir home;
    const QString image = dataPath("images/privacy-people.jpg");
    const QString film = dataPath("media/paris.mp4");

    // JSON: one object per file with the names scripts read, the full path even for a path
    // given relative to the working folder.
    const QString relative = QDir::current().relativeFilePath(film);
    const Outcome json = runCli({"--privacy", "--format", "json", image, relative}, home);
    ASSERT_EQ(json.status, 0) << json.err.toStdString();
    const QJsonArray files = QJsonDocument::fromJson(json.out.toUtf8()).array();
    ASSERT_EQ(files.size(), 2);
    QSet<QString> categories;
    for (const QJsonValue& file : files) {
        const QJsonObject object = file.toObject();
        EXPECT_TRUE(object.value("complete").toBool());
        EXPECT_TRUE(object.value("file").toString().startsWith('/'));
        for (const QJsonValue& value : object.value("findings").toArray()) {
            const QJsonObject finding = value.toObject();
            for (const char* name :
                 {"category", "level", "section", "key", "name", "value", "removal", "group"})
                EXPECT_TRUE(finding.value(name).isString()) << name;
            EXPECT_LE(finding.value("value").toString().size(), 80);
            categories.insert(finding.value("category").toString());
        }
    }
    EXPECT_TRUE(categories.contains("location"));
    EXPECT_TRUE(categories.contains("people-shown"));

    // JSON Lines: one object per line; CSV: a header and a row per finding.
    const Outcome jsonl = runCli({"--privacy", "--format", "jsonl", image, film}, home);
    EXPECT_EQ(jsonl.out.split('\n', Qt::SkipEmptyParts).size(), 2);
    const Outcome csv = runCli({"--privacy", "--format=csv", film}, home);
    EXPECT_TRUE(
        csv.out.startsWith("file,complete,category,level,section,key,name,value,removal,group\n"));
    EXPECT_TRUE(csv.out.contains(",location,high,")) << csv.out.toStdString();

    // Text: a block per file and the counts at the end.
    const Outcome text = runCli({"--privacy", image, film}, home);
    EXPECT_EQ(text.status, 0);
    EXPECT_TRUE(text.out.contains("remove with --strip privacy"));
    EXPECT_TRUE(text.out.contains("2 of 2 files reveal a location; 1 carry a camera serial number"))
        << text.out.toStdString();

    // A file that cannot be analysed fails the run, and neither it nor a file no reader
    // recognises is ever reported clean.
    const QString dangling = home.filePath("gone.mp4");
    QFile::link(home.filePath("nowhere.mp4"), dangling);
    const QString unknown = home.write("unknown.mp4", QByteArray(10, '\0'));
    const Outcome failed = runCli({"--privacy", "--format", "jsonl", dangling, unknown}, home);
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(failed.out.count("\"complete\":false"), 2) << failed.out.toStdString();

    EXPECT_EQ(runCli({"--privacy", "--format", "xml", film}, home).status, 2);
    EXPECT_EQ(runCli({"--privacy", "--strip", "gps", "--to", home.path(), film}, home).status, 2);
    EXPECT_EQ(runCli({"--strip", "privacy,gps", "--to", home.path(), film}, home).status, 2);
}

TEST(PrivacyRun, StripPrivacyFromTheCommandLine)
{
    TempDir home;
    TempDir out;
    const QString film = dataPath("media/sydney.mov");
    const QString image = dataPath("images/DSCN0010.jpg");
    const QByteArray filmBefore = peer::fileDigest(film);
    // HEIF pictures, which Exiv2 does not write, and places in IPTC go as well; the summary
    // counts copies read back clean.
    const QStringList heif = {dataPath("images/IMG_5195.HEIC"), dataPath("images/gps-from-jpeg.heic"),
                              dataPath("images/et-IPTC.jpg")};
    const Outcome strip =
        runCli(QStringList{"--strip", "privacy", "--to", out.path(), film, image} + heif, home);
    ASSERT_EQ(strip.status, 0) << strip.err.toStdString();
    EXPECT_TRUE(strip.err.contains("5 files, 5 written, 0 failed")) << strip.err.toStdString();
    for (const char* name : {"IMG_5195.HEIC", "gps-from-jpeg.heic", "et-IPTC.jpg"}) {
        const QJsonObject tags = peer::exiftoolTags(out.filePath(QString::fromLatin1(name)));
        for (auto it = tags.begin(); it != tags.end(); ++it)
            EXPECT_FALSE(it.key().startsWith("GPS:") || it.key().endsWith(":City"))
                << name << ": " << it.key().toStdString();
    }
    EXPECT_EQ(peer::fileDigest(film), filmBefore);
    const QString filmCopy = out.filePath("sydney.mov");
    const QString imageCopy = out.filePath("DSCN0010.jpg");
    EXPECT_EQ(peer::streamHashes(filmCopy), peer::streamHashes(film));

    const Outcome after = runCli({"--privacy", "--format", "json", filmCopy, imageCopy}, home);
    for (const QJsonValue& file : QJsonDocument::fromJson(after.out.toUtf8()).array())
        for (const QJsonValue& finding : file.toObject().value("findings").toArray())
            EXPECT_EQ(finding.toObject().value("level").toString(), "low")
                << finding.toObject().value("key").toString().toStdString();
    // The exposure the source had is still there.
    const QJsonObject tags = peer::exiftoolTags(imageCopy);
    EXPECT_EQ(tags.value("ExifIFD:ExposureTime"),
              peer::exiftoolTags(image).value("ExifIFD:ExposureTime"));
}
