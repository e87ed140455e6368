#include <gtest/gtest.h>

#include "model/Keys.h"
#include "model/PerspixData.h"
#include "support/ResultBuilder.h"

using namespace perspix;
using perspix::test::Param;
using perspix::test::ResultBuilder;

namespace {

// A film with one file section, a container, one video and two audio streams.
ResultBuilder film()
{
    ResultBuilder b;
    b.stream("File", "File",
             {{"FileName", "Name", "clip.mov"},
              {"FileSize", "Size", "1.50 MB", false, false, true},
              {"FileSizeAndBytes", "Size", "1.50 MB (1500000 bytes)", false, true},
              {"FileLocation", "Location", "/home/me/films", true},
              {"FileKind", "Kind", "QuickTime video", true}});
    b.stream(
        "Container", "Container",
        {{"Format", "Format", "MPEG-4"}, {"OverallBitRate", "Overall bit rate", "2 000 kb/s"}});
    b.stream("Video", "Video", {{"Format", "Format", "AVC"}, {"Width", "Width", "1 920 pixels"}});
    b.stream("Audio", "Audio #1",
             {{"Format", "Format", "AAC"}, {"BitRate", "Bit rate", "128 kb/s"}});
    b.stream("Audio", "Audio #2",
             {{"Format", "Format", "AC-3"}, {"Title", "Title", "Video commentary"}});
    return b;
}

QStringList names(const ExtTreeList& items)
{
    QStringList out;
    for (const auto& item : items) {
        out.append(item->extValue());
        if (const auto children = item->children())
            for (const QString& n : names(*children))
                out.append("  " + n);
    }
    return out;
}

} // namespace

TEST(PerspixDataExport, TextRendering)
{
    const auto data = film().data("/home/me/films/clip.mov");
    EXPECT_EQ(data->stringForExportText(), "File\n"
                                           "Name: clip.mov\n"
                                           "Size: 1.50 MB (1500000 bytes)\n"
                                           "Location: /home/me/films\n"
                                           "Kind: QuickTime video\n"
                                           "\n"
                                           "Container\n"
                                           "Format: MPEG-4\n"
                                           "Overall bit rate: 2 000 kb/s\n"
                                           "\n"
                                           "Video\n"
                                           "Format: AVC\n"
                                           "Width: 1 920 pixels\n"
                                           "\n"
                                           "Audio #1\n"
                                           "Format: AAC\n"
                                           "Bit rate: 128 kb/s\n"
                                           "\n"
                                           "Audio #2\n"
                                           "Format: AC-3\n"
                                           "Title: Video commentary");
    // Without private facts: name, size still there, folder and kind gone.
    const QString withoutPrivate = *data->stringForExportTextWithoutFilePrivate();
    EXPECT_TRUE(withoutPrivate.startsWith("File\nName: clip.mov\nSize: 1.50 MB (1500000 bytes)\n\n"
                                          "Container\n"));
    EXPECT_FALSE(withoutPrivate.contains("Location"));
    EXPECT_FALSE(withoutPrivate.contains("Kind"));

    // Nested and empty groups: a blank line before every group but the very first line.
    auto leaf = ExtTreeItem::itemWithKey("k", "Leaf", "v");
    auto inner = ExtTreeItem::groupTreeWithKey("Inner", "Inner", {leaf}, 0);
    ResultRecord nested;
    nested.extended = {ExtTreeItem::groupTreeWithKey("Outer", "Outer", {inner}, 0),
                       ExtTreeItem::groupTreeWithKey("Empty", "Empty", {}, 0),
                       ExtTreeItem::itemWithKey("Bare", "Bare", QVariant())};
    EXPECT_EQ(PerspixData("/x", nested).stringForExportText(),
              "Outer\n\nInner\nLeaf: v\n\nEmpty\nBare");

    // No result record: nothing at all.
    PerspixData empty("/x");
    EXPECT_FALSE(empty.stringForExportText().has_value());
    EXPECT_FALSE(empty.stringForExportTextWithoutFilePrivate().has_value());
    EXPECT_FALSE(empty.stringForExportGeneral().has_value());
    EXPECT_FALSE(empty.computeExportInfoWithoutFilePrivate(false).has_value());
    EXPECT_TRUE(empty.extendedContentHaving("x").isEmpty());
    EXPECT_FALSE(empty.isContentHas("x"));
}

TEST(PerspixDataExport, GeneralSummary)
{
    auto b = film();
    b.general(keys::kFormat, "MPEG-4")
        .general(keys::kFilesize, "1.50 MB")
        .general(keys::kDuration, "00:01:05")
        .general(keys::kBitrate, "") // empty values are left out of the first line
        .general(keys::kImageSize, "")
        .summaryLine("Video", "Video", "AVC, 1920x1080")
        .summaryLine("Audio", "Audio",
                     QVariant::fromValue(StyledText{"AAC, 128 kb/s - Commentary", 16}));
    EXPECT_EQ(b.data("/f/clip.mov")->stringForExportGeneral(),
              "Container: MPEG-4, 1.50 MB, 00:01:05\n"
              "Video: AVC, 1920x1080\n"
              "Audio: AAC, 128 kb/s - Commentary");
    EXPECT_EQ(ResultBuilder().data("/f/x")->stringForExportGeneral(), "Container: ");
}

TEST(PerspixDataExport, ExportRecord)
{
    // A sound file: one audio stream, no video.
    ResultBuilder b;
    b.stream("File", "File",
             {{"FileName", "Name", "song.mp3"},
              {"FileSizeAndBytes", "Size", "4 KB (4000 bytes)", false, true},
              {"FileLocation", "Location", "/music", true}});
    b.stream("Container", "Container", {{"Format", "Format", "MPEG Audio"}});
    b.stream("Audio", "Audio", {{"Format", "Format", "MPEG Audio"}, {"Channels", "Channels", "2"}});
    const auto data = b.data("/music/song.mp3");

    const auto all = data->computeExportInfoWithoutFilePrivate(false);
    ASSERT_TRUE(all.has_value());
    EXPECT_EQ(all->fileName, "/music/song.mp3");
    EXPECT_FALSE(all->sections.contains("Video"));
    EXPECT_EQ(all->orderedSectionNames(), (QStringList{"File", "Container", "Audio"}));
    const QList<ExportEntry> file = all->sections.value("File").value(0);
    ASSERT_EQ(file.size(), 2); // the combined size line is not exported
    EXPECT_EQ(file[0], (ExportEntry{"FileName", "Name", "song.mp3"}));
    EXPECT_EQ(file[1], (ExportEntry{"FileLocation", "Location", "/music"}));
    EXPECT_EQ(all->sections.value("Audio").value(0).value(1),
              (ExportEntry{"Channels", "Channels", "2"}));

    const auto withoutPrivate = data->computeExportInfoWithoutFilePrivate(true);
    EXPECT_EQ(withoutPrivate->sections.value("File").value(0),
              (QList<ExportEntry>{{"FileName", "Name", "song.mp3"}}));

    // Two streams of a kind stay two lists, in stream order; the section order follows the
    // tree; an export key without a parameter record is passed over.
    auto two = film().build();
    two.exportOptions["Video"][0].append("NoSuchKey");
    const auto record = PerspixData("/f/clip.mov", two).computeExportInfoWithoutFilePrivate(false);
    EXPECT_EQ(record->orderedSectionNames(), (QStringList{"File", "Container", "Video", "Audio"}));
    ASSERT_EQ(record->sections.value("Audio").size(), 2);
    EXPECT_EQ(record->sections.value("Audio")[1][0].value, "AC-3");
    EXPECT_EQ(record->sections.value("Video")[0].size(), 2);
}

TEST(PerspixDataExport, FilteredTree)
{
    const auto data = film().data("/home/me/films/clip.mov");
    const QStringList before = names(*data->extendedContent());

    struct Case
    {
        QString text;
        QStringList expected;
    };
    const Case cases[] = {
        // A bit-rate unit keeps only the groups that have such a line, with just that line.
        {"KB/S",
         {"Container", "  Overall bit rate: 2 000 kb/s", "Audio #1", "  Bit rate: 128 kb/s"}},
        // "video" matches values and labels in any case, not a group merely named Video.
        {"video", {"File", "  Kind: QuickTime video", "Audio #2", "  Title: Video commentary"}},
        {"no such text", {}},
        {"Format",
         {"Container", "  Format: MPEG-4", "Video", "  Format: AVC", "Audio #1", "  Format: AAC",
          "Audio #2", "  Format: AC-3"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(names(data->extendedContentHaving(c.text)), c.expected) << c.text.toStdString();

    // The searched tree itself is left as it was; no text gives the whole tree.
    EXPECT_EQ(names(*data->extendedContent()), before);
    EXPECT_EQ(data->extendedContentHaving(QString()), *data->extendedContent());
    EXPECT_EQ(data->extendedContentHaving(""), *data->extendedContent());

    // A line without a value is never kept, even when its name matches.
    ResultRecord r;
    r.extended = {ExtTreeItem::groupTreeWithKey(
        "G", "G", {ExtTreeItem::itemWithKey("k", "Match", QVariant())}, 0)};
    EXPECT_TRUE(PerspixData("/x", r).extendedContentHaving("match").isEmpty());
}

TEST(PerspixDataExport, Search)
{
    const auto data = film().data("/home/me/films/clip.mov");
    const std::pair<QString, bool> cases[] = {
        {"", false},      {"kb/s", true},     {"VIDEO", true},   {"commentary", true},
        {"Audio", false}, // group names are not searched
        {"File", false},  {"clip.MOV", true}, {"Overall", true}, {"H.265", false},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(data->isContentHas(text), expected) << text.toStdString();
    EXPECT_FALSE(data->isContentHas(QString()));
}
