#include "pstcore/ndb/node.h"

#include <gtest/gtest.h>

#include "ndb_image.h"
#include "pstcore/ndb/database.h"
#include "pstcore/ndb/exceptions.h"

namespace pstcore {
namespace {

using ndbtest::bytes;
using ndbtest::failure_of;
using ndbtest::filled;
using ndbtest::image;

using ndbtest::read_all;

class NodeTest : public ::testing::TestWithParam<bool> {};

TEST_P(NodeTest, NodeWithoutSubnodesHasNone) {
    image img(GetParam());
    img.finish({}, {{0x21, 0, 0, 0}});
    const auto n = open_database(img.raw())->lookup_node(0x21);
    EXPECT_THROW(n.lookup(0x1F), key_not_found<unsigned int>);
    EXPECT_FALSE(n.find(0x1F));
    EXPECT_EQ(n.subnodes().begin(), n.subnodes().end());
}

TEST_P(NodeTest, SubnodesAreFoundAndWalkedInOrderAndNest) {
    image img(GetParam());
    const auto d1 = img.put_block(0x10, filled(50, 1));
    const auto d2 = img.put_block(0x14, filled(60, 2));
    const auto d3 = img.put_block(0x18, filled(70, 3));
    // The nested subnode tree of subnode 0x3F.
    const auto inner = img.put_block(0x1E, img.subnode_leaf({{0x5F, 0x18, 0}}));
    // The Unicode entry's id carries junk above bit 31; only the low half counts.
    const std::uint64_t junk = GetParam() ? 0xABCD000000000000ull : 0;
    const auto sl = img.put_block(
        0x22, img.subnode_leaf({{static_cast<node_id>(0x3F), 0x10, 0x1E}, {static_cast<node_id>(0x7F), 0x14, 0}}));
    if (GetParam()) img.put64(sl.address + 8 + 24, junk | 0x7F);
    img.finish({d1, d2, d3, inner, sl}, {{0x21, 0, 0x22, 0}});

    const auto n = open_database(img.raw())->lookup_node(0x21);
    std::vector<node_id> ids;
    for (const auto& s : n.subnodes()) ids.push_back(s.id);
    EXPECT_EQ(ids, (std::vector<node_id>{0x3F, 0x7F}));
    EXPECT_EQ(read_all(n.lookup(0x7F)), filled(60, 2));
    // Two lookups give two nodes reading the same bytes.
    EXPECT_EQ(read_all(n.lookup(0x3F)), read_all(n.lookup(0x3F)));
    EXPECT_EQ(n.lookup(0x3F).get_parent_id(), 0u);
    EXPECT_EQ(read_all(n.lookup(0x3F).lookup(0x5F)), filled(70, 3));
    EXPECT_THROW(n.lookup(0x5F), key_not_found<unsigned int>);
}

TEST_P(NodeTest, SubnodeTreeWithAnInnerLevel) {
    image img(GetParam());
    std::vector<block_info> blocks;
    std::vector<subnode_info> first, second;
    for (node_id i = 0; i < 6; ++i) {
        const std::uint64_t bid = 0x100 + 4 * i;
        blocks.push_back(img.put_block(bid, filled(10 + i, static_cast<std::uint8_t>(i))));
        (i < 3 ? first : second).push_back({0x20 * (i + 1) + 0x1F, bid, 0});
    }
    blocks.push_back(img.put_block(0x202, img.subnode_leaf(first)));
    blocks.push_back(img.put_block(0x206, img.subnode_leaf(second)));
    blocks.push_back(img.put_block(0x20A, img.subnode_inner(1, {{first[0].id, 0x202}, {second[0].id, 0x206}})));
    img.finish(blocks, {{0x21, 0, 0x20A, 0}});

    const auto db = open_database(img.raw());
    const auto n = db->lookup_node(0x21);
    std::size_t count = 0;
    for (const auto& s : n.subnodes()) EXPECT_EQ(s.id, 0x20 * (++count) + 0x1F);
    EXPECT_EQ(count, 6u);
    EXPECT_EQ(read_all(n.lookup(second[1].id)), filled(14, 4));
    // find answers absence without throwing, both below a key the inner level holds and before its first key.
    EXPECT_EQ(read_all(*n.find(second[1].id)), filled(14, 4));
    EXPECT_FALSE(n.find(second[1].id + 0x20 * 100));
    EXPECT_FALSE(n.find(0x1F));
    EXPECT_EQ(failure_of<unexpected_block>([&] { db->read_subnode_leaf_block(0x20A); }), "psub->level != 0");
    EXPECT_EQ(failure_of<unexpected_block>([&] { db->read_subnode_nonleaf_block(0x202); }), "psub->level == 1");
}

TEST_P(NodeTest, SubnodeTreeThatLoopsIsRejected) {
    image img(GetParam());
    // An inner subnode block of level 1 whose child is itself.
    const auto self = img.put_block(0x202, img.subnode_inner(1, {{0x3F, 0x202}}));
    img.finish({self}, {{0x21, 0, 0x202, 0}});
    const auto n = open_database(img.raw())->lookup_node(0x21);
    EXPECT_EQ(failure_of<database_corrupt>([&] { n.lookup(0x3F); }), "btree level mismatch");
    // Damage is not absence.
    EXPECT_EQ(failure_of<database_corrupt>([&] { (void)n.find(0x3F); }), "btree level mismatch");
}

TEST_P(NodeTest, SubnodeBlockClaimingMoreEntriesThanItHoldsIsCorrupt) {
    image img(GetParam());
    auto data = img.subnode_leaf({{0x3F, 0, 0}});
    data[2] = std::byte{0xFF};
    const auto sl = img.put_block(0x202, data);
    img.finish({sl}, {{0x21, 0, 0x202, 0}});
    EXPECT_EQ(failure_of<database_corrupt>([&] { open_database(img.raw())->lookup_node(0x21).lookup(0x3F); }),
              "subnode block entry count exceeds block");
}

INSTANTIATE_TEST_SUITE_P(Formats, NodeTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Unicode" : "Ansi"; });

}  // namespace
}  // namespace pstcore
