#include <gtest/gtest.h>

#include <QHash>

#include "comparison/ParameterStatistics.h"
#include "tests/comparison/HandMadeFiles.h"

using namespace perspix;
using namespace perspix::test;

namespace {

using Rows = QList<StatisticsRow>;

std::string show(const StatisticsContent& c)
{
    QString text = c.label + QStringLiteral("|");
    for (const StatisticsRow& row : c.rows)
        text += row.paramValue + u"=" + QString::number(row.paramCount) + u";";
    return text.toStdString();
}

PerspixDataPtr videoFile(const QString& path, const QList<QStringList>& streams)
{
    QList<Stream> built;
    for (const QStringList& formats : streams) {
        Stream s;
        if (!formats.isEmpty())
            s.append({"Format/String", "Format", formats.first()});
        s.append({"ID/String", "ID", QString::number(built.size() + 1)});
        built.append(s);
    }
    return handMadeFile(path, {{"Video", built}, {"File", {{{"FileName", "Name", path}}}}});
}

TEST(ParameterStatistics, TreeParameterOverFileList)
{
    QHash<QString, PerspixDataPtr> cache = {
        {"/m/1", videoFile("/m/1", {{"a"}})},
        {"/m/2", videoFile("/m/2", {{"b"}})},
        {"/m/3", videoFile("/m/3", {{"a"}})},
        {"/m/two-streams", videoFile("/m/two-streams", {{"c"}, {"d"}})},
        {"/m/stream-without-key", videoFile("/m/stream-without-key", {{}})},
        {"/m/audio-only",
         handMadeFile("/m/audio-only", {{"Audio", {{{"Format/String", "Format", "AAC"}}}}})},
        {"/m/no-result", std::make_shared<PerspixData>("/m/no-result")},
    };
    const ParameterStatistics::CachedData cached = [&cache](const QString& path) {
        return cache.value(path);
    };
    const auto format = ExtTreeItem::itemWithKey("Format/String", "Format", "a");
    const auto video = ExtTreeItem::groupTreeWithKey("Video", "Video #2", {}, 2);

    struct Case
    {
        QStringList files;
        ExtTreeItemPtr group;
        Rows rows;
    };
    const Case cases[] = {
        // Three of five files have the value; two are not analysed yet.
        {{"/m/1", "/m/pending1", "/m/3", "/m/2", "/m/pending2"},
         video,
         {{"Not set", 2}, {"a", 2}, {"b", 1}}},
        // Two streams of the kind give two values; a stream without the key, streams of
        // another kind only, and a file without a result count as "Not set".
        {{"/m/two-streams", "/m/stream-without-key", "/m/audio-only", "/m/no-result", "/m/2"},
         video,
         {{"Not set", 3}, {"c", 1}, {"d", 1}, {"b", 1}}},
        // Equal counts keep the order of first occurrence.
        {{"/m/2", "/m/1", "/m/3", "/m/2"}, video, {{"b", 2}, {"a", 2}}},
        // A group that is no stream of any file.
        {{"/m/1", "/m/2", "/m/3"},
         ExtTreeItem::groupTreeWithKey("Camera Settings", "Camera Settings", {}, 0),
         {{"Not set", 3}}},
        {{}, video, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.files.join(",").toStdString());
        const auto content = ParameterStatistics::prepareForNode(format, c.group, c.files, cached);
        ASSERT_TRUE(content.has_value());
        EXPECT_EQ(content->rows, c.rows) << show(*content);
        EXPECT_EQ(content->label, c.group->key() + ": Format\n");
    }
}

TEST(ParameterStatistics, TreeSelectionWithoutParameter)
{
    const QStringList files = {"/m/1"};
    const auto none = [](const QString&) { return PerspixDataPtr{}; };
    const auto item = ExtTreeItem::itemWithKey("Format/String", "Format", "a");
    const auto group = ExtTreeItem::groupTreeWithKey("Video", "Video", {}, 1);
    // Not a parameter of a group: the table keeps what it shows.
    EXPECT_FALSE(ParameterStatistics::prepareForNode(item, nullptr, files, none).has_value());
    EXPECT_FALSE(ParameterStatistics::prepareForNode(nullptr, group, files, none).has_value());
    // A line without a key (an image summary line) or a group without one resets.
    const auto keyless = ExtTreeItem::itemWithName("Device", "EOS 5D");
    const StatisticsContent reset = ParameterStatistics::resetValues();
    EXPECT_EQ(reset.label, "Statistics");
    EXPECT_TRUE(reset.rows.isEmpty());
    EXPECT_EQ(ParameterStatistics::prepareForNode(keyless, group, files, none), reset);
    EXPECT_EQ(ParameterStatistics::prepareForNode(item, keyless, files, none), reset);
}

TEST(ParameterStatistics, ComparisonRow)
{
    struct Case
    {
        QStringList values;
        StatisticsContent expected;
    };
    const StatisticsContent reset = ParameterStatistics::resetValues();
    const Case cases[] = {
        {{"Format", "", "x", "x"}, {{{"Not set", 1}, {"x", 2}}, "Format"}},
        {{"Format", "y", "x", "x", "y", "z"}, {{{"y", 2}, {"x", 2}, {"z", 1}}, "Format"}},
        {{"Format", ""}, {{{"Not set", 1}}, "Format"}},
        {{"Audio #2"}, reset}, // a header row
        {{}, reset},
    };
    for (const Case& c : cases) {
        ComparisonRow row;
        row.values = c.values;
        const StatisticsContent content = ParameterStatistics::prepareForComparisonRow(&row);
        EXPECT_EQ(content, c.expected) << show(content);
    }
    EXPECT_EQ(ParameterStatistics::prepareForComparisonRow(nullptr), reset);
}

} // namespace
