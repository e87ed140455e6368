// Taglink's reduction of ExifTool's tag records, its one-shot calls and the export of
// files embedded in Matroska files, with the real ExifTool.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <cstdlib>

#include "model/Log.h"
#include "support/TestSupport.h"
#include "taglink/JSON/Json5ParserHandler.h"
#include "taglink/JSON/JsonStreamParser.h"
#include "taglink/Taglink.h"

using namespace taglink;
using perspix::LogCapture;
using perspix::test::dataPath;
using perspix::test::TempDir;

namespace {

std::string utf8(const QString& s)
{
    return QFile::encodeName(s).toStdString();
}

// Tag records as imageInfo() gives them, from a JSON list of records.
std::vector<JsonObject> records(const std::string& json)
{
    Json5ParserHandler handler;
    JsonStreamParser parser(&handler);
    EXPECT_EQ(parser.parse(json), JsonParserStatus::Complete);
    std::vector<JsonObject> result;
    for (const JsonValue& v : handler.data()->asArray())
        result.push_back(v.asObject());
    return result;
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class LibexecOverride
{
public:
    explicit LibexecOverride(const QString& folder)
    {
        ::setenv("TAGLINK_LIBEXEC", QFile::encodeName(folder).constData(), 1);
    }
    ~LibexecOverride() { ::unsetenv("TAGLINK_LIBEXEC"); }
};

} // namespace

TEST(Taglink, TagRecordsBecomeKeysAndEntries)
{
    const TaglinkData data = Taglink::dataFromTagRecords(records(R"([
        {"key":"ExifTool:ExifTool:ExifTool::ExifToolVersion","desc":"ExifTool Version Number","val":12.57},
        {"key":"File:System:Other::FileName","desc":"File Name","val":"a.mkv"},
        {"key":"File:File:Other::FileType","desc":"File Type","val":"MKV"},
        {"key":"Matroska:Matroska:Video::Duration","desc":"Duration","val":"00:00:02.008000000"},
        {"key":"Matroska:Matroska:Video:Copy1:Duration","desc":"Duration","num":2.008,"val":"2.01 s"},
        {"key":"Matroska:Track1:Video::Brands","desc":"Brands","val":["a","b",25]},
        {"key":"Matroska:Track1:Video::Count","desc":"Count","val":25},
        {"key":"Matroska:Track1:Video::Version","desc":"Version","val":1.10},
        {"key":"Matroska:Track1:Video::NoDesc","val":"x"},
        {"key":"Matroska:Track1:Video::NoValue","desc":"No Value"},
        {"key":"Short:Key:Tag","desc":"Short","val":"x"},
        {"key":"QuickTime:Track2:Audio::Duration","desc":"Duration","val":"0:01:00"}
    ])"));
    EXPECT_EQ(data.exifKeys, (std::vector<std::string>{
                                 "File.File.Other..FileType", "Duration", "Duration",
                                 "Matroska.Track1.Video..Brands", "Matroska.Track1.Video..Count",
                                 "Matroska.Track1.Video..Version", "Duration"}));
    EXPECT_EQ(data.exifData.size(), 5u);
    // ExifTool's "File" group is the section "Container".
    EXPECT_EQ(data.exifData.at("File.File.Other..FileType"),
              (TagEntry{"MKV", "File Type", "Container"}));
    // The last Duration tag wins the entry; the numeric duration is the last one given.
    EXPECT_EQ(data.exifData.at("Duration"), (TagEntry{"0:01:00", "Duration", "Track2"}));
    EXPECT_EQ(data.durationSeconds, 2.008);
    EXPECT_EQ(data.fileType, "MKV");
    // Lists joined, numbers as ExifTool wrote them.
    EXPECT_EQ(data.exifData.at("Matroska.Track1.Video..Brands").value, "a, b, 25");
    EXPECT_EQ(data.exifData.at("Matroska.Track1.Video..Count").value, "25");
    EXPECT_EQ(data.exifData.at("Matroska.Track1.Video..Version").value, "1.10");

    // A Duration whose value is already a number; a Duration without any number.
    const TaglinkData plain = Taglink::dataFromTagRecords(
        records(R"([{"key":"RIFF:RIFF:Audio::Duration","desc":"Duration","val":1.5}])"));
    EXPECT_EQ(plain.durationSeconds, 1.5);
    EXPECT_FALSE(plain.fileType);
    const TaglinkData text = Taglink::dataFromTagRecords(records(
        R"([{"key":"Matroska:Matroska:Video::Duration","desc":"Duration","val":"0:00:02"}])"));
    EXPECT_FALSE(text.durationSeconds);
    EXPECT_EQ(text.exifKeys, std::vector<std::string>{"Duration"});
}

TEST(Taglink, ReadsAFilmThroughTheProcess)
{
    {
        LogCapture log;
        EXPECT_FALSE(
            Taglink::initWithFilename(utf8(dataPath(QStringLiteral("media/paris.mp4"))), nullptr));
        EXPECT_TRUE(log.contains(QStringLiteral("Taglink: No process at init()")));
    }
    auto process = TaglinkStayOpenProcess::init();
    ASSERT_TRUE(process);
    const auto taglink =
        Taglink::initWithFilename(utf8(dataPath(QStringLiteral("media/paris.mp4"))), process.get());
    ASSERT_TRUE(taglink);
    const TaglinkData& data = taglink->data();
    EXPECT_EQ(data.fileType, "MP4");
    EXPECT_EQ(data.durationSeconds, 2.0);
    EXPECT_EQ(data.exifData.at("Duration").value, "2.00 s");
    for (const std::string& key : data.exifKeys) {
        EXPECT_EQ(key.rfind("File.System.", 0), std::string::npos) << key;
        EXPECT_EQ(key.rfind("ExifTool.", 0), std::string::npos) << key;
    }
    ASSERT_TRUE(data.exifData.count("QuickTime.Keys.Other..Title"));
    EXPECT_EQ(data.exifData.at("QuickTime.Keys.Other..Title").value, "Trip to Paris");

    TempDir dir;
    EXPECT_FALSE(
        Taglink::initWithFilename(utf8(dir.filePath(QStringLiteral("none"))), process.get()));
}

TEST(Taglink, OneShotCalls)
{
    EXPECT_EQ(Taglink::exiftoolVersion(), std::string("12.57\n"));
    const auto report =
        Taglink::exiftoolOutputForFile(utf8(dataPath(QStringLiteral("media/paris.mp4"))));
    ASSERT_TRUE(report);
    EXPECT_NE(report->find("[File]"), std::string::npos);
    EXPECT_NE(report->find("Title"), std::string::npos);
    const auto json =
        Taglink::exiftoolBinaryOutputForFile(utf8(dataPath(QStringLiteral("media/multi.mkv"))));
    ASSERT_TRUE(json);
    EXPECT_EQ(json->rfind("[{", 0), 0u);
    EXPECT_NE(json->find("Matroska:Matroska:Video:Copy1:AttachedFileName"), std::string::npos);

    TempDir empty;
    LibexecOverride libexec(empty.path());
    LogCapture log;
    EXPECT_FALSE(Taglink::exiftoolVersion());
    EXPECT_TRUE(log.contains(QStringLiteral("exiftool not found in the framework")));
}

TEST(Taglink, SavesEmbeddedFilesInsideTheFolderOnly)
{
    auto process = TaglinkStayOpenProcess::init();
    ASSERT_TRUE(process);
    TempDir outer;
    const QString folder = outer.filePath(QStringLiteral("out"));
    ASSERT_TRUE(QDir().mkpath(folder));

    // Binary attachments come as base64.
    std::vector<std::string> files{"stale"};
    ASSERT_TRUE(Taglink::saveEmbeddedFilesFromFile(
        utf8(dataPath(QStringLiteral("media/multi.mkv"))), utf8(folder), &files, process.get()));
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(readAll(folder + QStringLiteral("/cover.jpg")).left(3), QByteArray("\xFF\xD8\xFF"));
    EXPECT_EQ(readAll(folder + QStringLiteral("/font.ttf")).left(4), QByteArray("true"));

    // A name that climbs out of the folder is reduced to its last component.
    files.clear();
    ASSERT_TRUE(
        Taglink::saveEmbeddedFilesFromFile(utf8(dataPath(QStringLiteral("media/attach-evil.mkv"))),
                                           utf8(folder), &files, process.get()));
    EXPECT_EQ(files, std::vector<std::string>{utf8(folder + QStringLiteral("/evil"))});
    EXPECT_EQ(readAll(folder + QStringLiteral("/evil")), QByteArray("first attachment\n"));
    EXPECT_EQ(QDir(outer.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("out")});

    // Two attachments of one name: the later overwrites the earlier, the path is listed
    // twice.
    files.clear();
    ASSERT_TRUE(
        Taglink::saveEmbeddedFilesFromFile(utf8(dataPath(QStringLiteral("media/attach-twice.mkv"))),
                                           utf8(folder), &files, process.get()));
    const std::string same = utf8(folder + QStringLiteral("/same.txt"));
    EXPECT_EQ(files, (std::vector<std::string>{same, same}));
    EXPECT_EQ(readAll(QString::fromStdString(same)), QByteArray("first attachment\n"));

    // No attachment: success with an empty list.
    files = {"stale"};
    EXPECT_TRUE(Taglink::saveEmbeddedFilesFromFile(
        utf8(dataPath(QStringLiteral("media/paris.mp4"))), utf8(folder), &files, process.get()));
    EXPECT_TRUE(files.empty());

    // No answer, or no process: failure, and the list is left as it was.
    files = {"kept"};
    EXPECT_FALSE(Taglink::saveEmbeddedFilesFromFile(utf8(folder + QStringLiteral("/missing.mkv")),
                                                    utf8(folder), &files, process.get()));
    EXPECT_FALSE(Taglink::saveEmbeddedFilesFromFile(
        utf8(dataPath(QStringLiteral("media/multi.mkv"))), utf8(folder), &files, nullptr));
    EXPECT_EQ(files, std::vector<std::string>{"kept"});
}

TEST(Taglink, SafeFileNames)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"cover.jpg", "cover.jpg"}, {"../evil", "evil"},
        {"/etc/passwd", "passwd"},  {"a/b/", "b"},
        {"sub/../..", "sub"},       {"..", "attachment"},
        {".", "attachment"},        {"", "attachment"},
        {"///", "attachment"},      {std::string("nul\0byte", 8), "nul_byte"},
        {"..hidden", "..hidden"},
    };
    for (const auto& [name, safe] : cases)
        EXPECT_EQ(Taglink::safeFileName(name), safe) << name;
}
