// The packet list gives back every packet as it was appended: the compact form for the
// usual packets and the whole one kept aside for figures that do not fit, across blocks.
#include <gtest/gtest.h>
#include <limits>

#include "readers/packets/PacketList.h"

using namespace perspix;

namespace {

bool same(const PacketRecord& a, const PacketRecord& b)
{
    return a.pts == b.pts && a.dts == b.dts && a.duration == b.duration && a.size == b.size &&
           a.stream == b.stream && a.flags == b.flags;
}

} // namespace

TEST(PacketList, GivesBackWhatWasAppended)
{
    constexpr int64_t none = PacketRecord::kNoTime;
    constexpr int64_t big = std::numeric_limits<int64_t>::max();
    const PacketRecord cases[] = {
        {0, -1024, 512, 2705, 0, PacketRecord::kKey},
        {none, 900, 0, 12, 1, 0},                       // no presentation time
        {3000, none, 40, 7, 2, PacketRecord::kDiscard}, // no decoding time
        {none, none, 0, 0, 65535, PacketRecord::kKey},  // no time at all
        {int64_t(1) << 40, 0, 1, 1, 0, 0},              // pts far from dts
        {big, none + 1, 1, 1, 0, 0},                    // a difference that overflows
        {5, 5, int64_t(1) << 33, 1, 0, 0},              // a duration beyond 32 bits
        {-7, -9, -1, 100, 3, PacketRecord::kKey | PacketRecord::kDiscard},
    };
    PacketList list;
    const size_t count = PacketList::kBlockSize * 2 + 17;
    for (size_t i = 0; i < count; ++i) {
        PacketRecord p = cases[i % std::size(cases)];
        if (p.dts != none && p.dts != none + 1)
            p.dts += int64_t(i);
        list.append(p);
    }
    ASSERT_EQ(list.size(), count);
    size_t i = 0;
    list.forEach([&](const PacketRecord& got) {
        PacketRecord expected = cases[i % std::size(cases)];
        if (expected.dts != none && expected.dts != none + 1)
            expected.dts += int64_t(i);
        EXPECT_TRUE(same(got, expected)) << "packet " << i;
        EXPECT_TRUE(same(list[i], expected)) << "packet " << i;
        ++i;
    });
    EXPECT_EQ(i, count);
    // Usual packets take 24 bytes; the unused room is at most one block.
    EXPECT_LE(list.bytesHeld(), (count + PacketList::kBlockSize) * 24 + count / 8 * 3 * 64);
}
