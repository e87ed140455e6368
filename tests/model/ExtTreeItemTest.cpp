#include <gtest/gtest.h>

#include <thread>

#include "model/ExtTreeItem.h"

using namespace perspix;

TEST(ExtTreeItem, TextForms)
{
    auto group = ExtTreeItem::groupTreeWithKey("Audio", "Audio #2", {}, 2);
    EXPECT_EQ(group->extValue(), "Audio #2");
    EXPECT_TRUE(group->hasChildren()); // an empty group still counts as a group
    EXPECT_EQ(group->treeIdentifier(), "Audio2");
    EXPECT_EQ(ExtTreeItem::groupTreeWithKey("File", "File", {}, 0)->treeIdentifier(), "File");

    auto empty = ExtTreeItem::itemWithKey("Title", "Title", QString(""));
    EXPECT_EQ(empty->extValue(), "Title: ");
    EXPECT_TRUE(empty->treeIdentifier().isEmpty());

    auto styled = ExtTreeItem::mediaStreamItemWithKey(
        "Audio", "Audio", QVariant::fromValue(StyledText{"AAC, 128 kb/s - Commentary", 16}), 0);
    EXPECT_EQ(styled->stringValue(), "AAC, 128 kb/s - Commentary");
    EXPECT_EQ(styled->extValue(), "Audio: AAC, 128 kb/s - Commentary");
    EXPECT_TRUE(styled->isMediaStream());

    EXPECT_TRUE(ExtTreeItem::locationItemWithName("Location", "48, 2")->isLocation());
    EXPECT_TRUE(group->description().contains("key:Audio, name:Audio #2, value:, children:0"));
}

TEST(ExtTreeItem, CopySharesChildrenButNotEntry)
{
    auto child = ExtTreeItem::itemWithKey("Format", "Format", "AVC");
    auto group = ExtTreeItem::groupTreeWithKey("Video", "Video", {child}, 1);
    group->setParamDictStore(FileFactEntry::make("k", "l", "v"));
    auto copy = group->newInstanceWithSameProperties();
    EXPECT_FALSE(copy->paramDictStore().has_value());
    ASSERT_TRUE(copy->children().has_value());
    EXPECT_EQ(copy->children()->first(), child);
    EXPECT_TRUE(copy->isGroupTree());
    EXPECT_EQ(copy->mediaStreamIndex(), 1u);
}

TEST(ExtTreeItem, ConcurrentFieldAccessIsSafe)
{
    auto item = ExtTreeItem::itemWithKey("k", "n", "v");
    std::thread writer([&] {
        for (int i = 0; i < 20000; ++i)
            item->setValue(QString::number(i));
    });
    for (int i = 0; i < 20000; ++i)
        EXPECT_FALSE(item->extValue().isEmpty());
    writer.join();
}
