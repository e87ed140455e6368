#include <gtest/gtest.h>

#include <functional>

#include "comparison/ComparisonAssistant.h"
#include "tests/comparison/HandMadeFiles.h"

using namespace perspix;
using namespace perspix::test;

namespace {

const Param kAac{"Format/String", "Format", "AAC LC"};
const Param kOpus{"Format/String", "Format", "Opus"};

struct ExtendedCase
{
    const char* expected; // file under tests/data/expected/comparison/
    std::function<QList<PerspixDataPtr>()> files;
    ParametersOrder order;
};

QList<PerspixDataPtr> audioStreams()
{
    return {handMadeFile("/m/one.m4a",
                         {{"Container", {{{"Format/String", "Format", "MPEG-4"}}}},
                          {"Audio", {{kAac, {"Channel(s)/String", "Channel(s)", "2 channels"}}}}}),
            handMadeFile("/m/two.mkv", {{"Container", {{{"Format/String", "Format", "Matroska"}}}},
                                        {"Audio",
                                         {{kAac, {"Channel(s)/String", "Channel(s)", "2 channels"}},
                                          {kOpus, {"Language/String", "Language", "en"}}}}})};
}

QList<PerspixDataPtr> parameterInOneOfThree()
{
    return {handMadeFile("/m/a.mp4", {{"Video", {{{"Format/String", "Format", "AVC"}}}}}),
            handMadeFile("/m/b.mp4", {{"Video",
                                       {{{"Format/String", "Format", "AVC"},
                                         {"Title", "Title (from b)", "Holiday"}}}}}),
            handMadeFile("/m/c.mp4", {{"Video", {{{"Format/String", "Format", "HEVC"}}}}})};
}

QList<PerspixDataPtr> skipInComparison()
{
    const auto file = [](const QString& path, const QString& size, bool skipSize) {
        return handMadeFile(
            path,
            {{"File", {{{"FileName", "Name", path, true}, {"FileSize", "Size", size, skipSize}}}},
             // A stream whose every parameter is skipped still has
             // its header.
             {"Other", {{{"Type", "Type", "Time code", true}}}}});
    };
    return {file("/m/a.mov", "1 MB", true), file("/m/b.mov", "2 MB", false),
            file("/m/c.mov", "1 MB", true)};
}

QList<PerspixDataPtr> coincidences()
{
    const auto file = [](const QString& path, const QStringList& v) {
        return handMadeFile(path, {{"Audio",
                                    {{{"A", "a, b, a", v[0]},
                                      {"B", "all different", v[1]},
                                      {"C", "all the same", v[2]},
                                      {"D", "two empty", v[3]},
                                      {"E", "tie", v[4]}}}}});
    };
    // The fourth file lacks D (an empty value) and breaks the tie between a and b.
    return {file("/m/1.wav", {"a", "a", "s", "", "a"}), file("/m/2.wav", {"b", "b", "s", "", "b"}),
            file("/m/3.wav", {"a", "c", "s", "x", "b"}),
            handMadeFile("/m/4.wav", {{"Audio",
                                       {{{"A", "a, b, a", "a"},
                                         {"B", "all different", "d"},
                                         {"C", "all the same", "s"},
                                         {"E", "tie", "a"}}}}})};
}

QList<PerspixDataPtr> singleFile()
{
    return {handMadeFile("/m/only.mp3",
                         {{"Audio", {{kAac}}}, {"File", {{{"FileSize", "Size", "3 MB"}}}}})};
}

QList<PerspixDataPtr> kindAndKeyOrder()
{
    const Stream video = {{"Zoom", "Zoom", "1"},          {"bitrate", "bit rate (lower)", "2"},
                          {"BitRate", "Bit rate", "3"},   {"codec", "Codec", "4"},
                          {"Width/String", "Width", "5"}, {"Format/String", "Format", "6"}};
    const Stream empty;
    return {handMadeFile("/m/1.mp4", {{"Zeta", {{{"k", "K", "z"}}}},
                                      {"XMP/crs", {{{"k", "K", "x"}}}},
                                      {"Video", {video}},
                                      {"GPS", {{{"k", "K", "g"}}}},
                                      {"Menu/Chapters", {{{"k", "K", "m"}}}}}),
            handMadeFile("/m/2.jpg", {{"Alpha", {{{"k", "K", "a"}}}},
                                      {"EXIF", {{{"k", "K", "e"}}}},
                                      {"File", {{{"k", "K", "f"}}}},
                                      {"Image", {{{"k", "K", "i"}}}},
                                      {"Container", {empty}}})};
}

TEST(ComparisonAssistant, ExtendedComparisonMatchesExpectedRows)
{
    const ParametersOrder videoFirst = {{"Video", {"Format/String", "Width/String", "Missing"}},
                                        {"Audio", {"Format/String"}}};
    const ExtendedCase cases[] = {
        {"extended-audio-streams.txt", audioStreams, {}},
        {"extended-parameter-in-one-of-three.txt", parameterInOneOfThree, {}},
        {"extended-skip-in-comparison.txt", skipInComparison, {}},
        {"extended-coincidences.txt", coincidences, {}},
        {"extended-single-file.txt", singleFile, {}},
        {"extended-kind-and-key-order.txt", kindAndKeyOrder, videoFirst},
    };
    for (const ExtendedCase& c : cases) {
        SCOPED_TRACE(c.expected);
        const ComparisonResult result =
            ComparisonAssistant::prepareExtendedComparisonWithPerspixDataArray(c.files(), c.order);
        expectMatchesFile(rowsText(result), c.expected);
    }
}

TEST(ComparisonAssistant, GeneralComparisonMatchesExpectedRows)
{
    const QList<PerspixDataPtr> files = {
        handMadeFile("/m/one-video.mp4", {},
                     {{"Video", "AVC, 1920x1080"}, {"Audio", "AAC LC, Stereo"}}),
        handMadeFile("/m/two-videos.mkv", {},
                     {{"Video #1", "AVC, 1920x1080"},
                      {"Video #2", "AVC, 640x360"},
                      {"Audio", "AAC LC, Stereo"},
                      {"Subtitles", "UTF-8, en"}}),
        handMadeFile("/m/two-audio.mkv", {},
                     {{"Audio #1", "Opus, Mono"}, {"Audio #2", "AAC LC, Mono"}}),
        handMadeFile("/m/photo.jpg", {}, {{"Device", "EOS 5D (Canon)"}, {"ISO", "100"}}),
    };
    expectMatchesFile(
        rowsText(ComparisonAssistant::prepareGeneralComparisonWithPerspixDataArray(files)),
        "general-numbered-streams.txt");
}

TEST(ComparisonAssistant, EdgeListsOfFiles)
{
    // No files: nothing at all.
    const ComparisonResult noneGeneral =
        ComparisonAssistant::prepareGeneralComparisonWithPerspixDataArray({});
    const ComparisonResult noneExtended =
        ComparisonAssistant::prepareExtendedComparisonWithPerspixDataArray({}, {});
    EXPECT_TRUE(noneGeneral.content.isEmpty() && noneGeneral.descr.isEmpty());
    EXPECT_TRUE(noneExtended.content.isEmpty() && noneExtended.descr.isEmpty());

    // A file compared with itself agrees on every row; a missing entry gets no column.
    const PerspixDataPtr file = audioStreams().last();
    const ComparisonResult self =
        ComparisonAssistant::prepareExtendedComparisonWithPerspixDataArray({file, nullptr, file},
                                                                           {});
    EXPECT_EQ(self.descr, QStringList({"/m/two.mkv", "/m/two.mkv"}));
    ASSERT_FALSE(self.content.isEmpty());
    for (const ComparisonRow& row : self.content) {
        if (row.isHeader())
            continue;
        EXPECT_EQ(row.values.size(), 3);
        EXPECT_TRUE(row.allEqual) << row.values.join("|").toStdString();
        EXPECT_EQ(row.coincidences, 2);
    }

    // A file without an analysis result keeps its column, with empty values.
    auto unread = std::make_shared<PerspixData>("/m/unread.bin");
    const ComparisonResult withUnread =
        ComparisonAssistant::prepareExtendedComparisonWithPerspixDataArray({file, unread}, {});
    EXPECT_EQ(withUnread.descr.size(), 2);
    for (const ComparisonRow& row : withUnread.content) {
        if (!row.isHeader()) {
            EXPECT_EQ(row.values.last(), "");
        }
    }
}

} // namespace

namespace {

TEST(ComparisonAssistant, ShippedParameterOrder)
{
    const ParametersOrder& order = ComparisonAssistant::parametersOrder();
    for (const char* kind : {"File", "Container", "Video", "Audio", "Image", "EXIF"})
        EXPECT_FALSE(order.value(kind).isEmpty()) << kind;
    EXPECT_EQ(order.value("Video").first(), "Format/String");

    // Without an order of its own, the extended comparison follows the shipped one: the
    // format comes before the alphabetically smaller bit rate.
    const auto file = handMadeFile(
        "/m/v.mp4",
        {{"Video",
          {{{"BitRate/String", "Bit rate", "5 Mb/s"}, {"Format/String", "Format", "AVC"}}}}});
    const ComparisonResult result =
        ComparisonAssistant::prepareExtendedComparisonWithPerspixDataArray({file});
    ASSERT_EQ(result.content.size(), 3);
    EXPECT_EQ(result.content[1].values.first(), "Format");
    EXPECT_EQ(result.content[2].values.first(), "Bit rate");
}

TEST(ComparisonAssistant, ParameterOrderFromPropertyList)
{
    const QByteArray plist = R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
<key>Video</key><array><string>Width</string><integer>3</integer><string>Format</string></array>
<key>Audio</key><string>not a list</string>
</dict></plist>)";
    const auto order = ComparisonAssistant::parametersOrderFromPropertyList(plist);
    ASSERT_TRUE(order.has_value());
    EXPECT_EQ(order->value("Video"), QStringList({"Width", "Format"}));
    EXPECT_FALSE(order->contains("Audio"));

    EXPECT_FALSE(ComparisonAssistant::parametersOrderFromPropertyList("not a plist").has_value());
    const QByteArray array = R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><array><string>Format</string></array></plist>)";
    EXPECT_FALSE(ComparisonAssistant::parametersOrderFromPropertyList(array).has_value());
}

} // namespace

namespace {

PerspixDataPtr analysed(const QString& relative)
{
    PerspixDataPtr file = PerspixData::dataAboutFile(dataPath(relative), {});
    EXPECT_TRUE(file && file->data()) << relative.toStdString();
    return file;
}

QStringList headerTitles(const ComparisonResult& result)
{
    QStringList titles;
    for (const ComparisonRow& row : result.content)
        if (row.isHeader())
            titles.append(row.values.first());
    return titles;
}

TEST(ComparisonAssistant, RealFilesExtended)
{
    const PerspixDataPtr film = analysed("media/multi.mkv"); // one video, two audio streams
    const PerspixDataPtr song = analysed("audio/song.m4a");  // one audio stream
    ASSERT_TRUE(film && song);

    // A file compared with itself agrees everywhere.
    for (const ComparisonRow& row :
         ComparisonAssistant::prepareExtendedComparisonWithPerspixDataArray({film, film}).content) {
        if (!row.isHeader()) {
            EXPECT_TRUE(row.allEqual) << row.values.join(" | ").toStdString();
        }
    }

    const ComparisonResult result =
        ComparisonAssistant::prepareExtendedComparisonWithPerspixDataArray({song, film});
    EXPECT_EQ(result.descr, QStringList({song->filename, film->filename}));
    const QStringList headers = headerTitles(result);
    EXPECT_EQ(headers.mid(0, 2), QStringList({"File", "Container"}));
    EXPECT_TRUE(headers.contains("Audio #1") && headers.contains("Audio #2"));
    EXPECT_LT(headers.indexOf("Video"), headers.indexOf("Audio #1"));
    // The song has no second audio stream: its values there are empty.
    bool inSecondAudio = false;
    int secondAudioRows = 0;
    for (const ComparisonRow& row : result.content) {
        if (row.isHeader()) {
            inSecondAudio = row.values.first() == "Audio #2";
            continue;
        }
        ASSERT_EQ(row.values.size(), 3);
        EXPECT_FALSE(row.allEqual && row.values[1].isEmpty());
        if (inSecondAudio) {
            ++secondAudioRows;
            EXPECT_EQ(row.values[1], "");
            EXPECT_FALSE(row.values[2].isEmpty());
        }
    }
    EXPECT_GT(secondAudioRows, 3);
}

TEST(ComparisonAssistant, RealFilesGeneral)
{
    const PerspixDataPtr film = analysed("media/multi.mkv");
    const PerspixDataPtr paris = analysed("media/paris.mp4");
    ASSERT_TRUE(film && paris);
    const ComparisonResult result =
        ComparisonAssistant::prepareGeneralComparisonWithPerspixDataArray({paris, film});
    QStringList titles;
    for (const ComparisonRow& row : result.content)
        titles.append(row.values.first());
    // paris.mp4 has one video and one audio stream; multi.mkv one video, two audio, two
    // subtitles and chapters.
    EXPECT_EQ(titles, QStringList({"Video", "Audio #1", "Audio #2", "Subtitles #1", "Subtitles #2",
                                   "Menu"}));
    EXPECT_FALSE(result.content[0].values[1].isEmpty());
    EXPECT_FALSE(result.content[1].values[1].isEmpty());
    EXPECT_EQ(result.content[2].values[1], "");
}

} // namespace
