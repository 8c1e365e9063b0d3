#include "pstcore/ndb/node.h"

#include <gtest/gtest.h>

#include "pstcore/ndb/database.h"
#include "pstcore/ndb/exceptions.h"
#include "written_file.h"

namespace pstcore {
namespace {

using ndbtest::failure_of;
using ndbtest::filled;
using ndbtest::read_all;

class NodeTest : public ::testing::TestWithParam<bool> {
protected:
    ndbtest::file make(std::vector<pstwrite::subnode> subnodes) const {
        return ndbtest::write(GetParam() ? ndbtest::format::unicode : ndbtest::format::ansi, ndbtest::crypt::none,
                              {{0x21, filled(8), std::move(subnodes)}});
    }
    // 700 subnodes need a subnode tree with an inner level (one leaf block holds 340 Unicode, 681 ANSI).
    ndbtest::file two_level() const {
        std::vector<pstwrite::subnode> subnodes;
        for (node_id i = 1; i <= 700; ++i) subnodes.emplace_back(i * 0x20 + 0x1F, filled(10 + i % 7, i % 256));
        return make(subnodes);
    }
    std::size_t entries_at() const { return GetParam() ? 8 : 4; }
};

TEST_P(NodeTest, SubnodesAreFoundAndWalkedInOrderAndNest) {
    auto img = make({{0x3F, filled(50, 1), {{0x5F, filled(70, 3)}}}, {0x7F, filled(60, 2)}});
    // The Unicode entry's id carries junk above bit 31; only the low half counts.
    if (GetParam()) img.put(img.block(img.node(0x21).bid_sub).ib + 8 + 24, 0xABCD00000000007Full, 8);
    const auto n = img.open()->lookup_node(0x21);
    std::vector<node_id> ids;
    for (const auto& s : n.subnodes()) ids.push_back(s.id);
    EXPECT_EQ(ids, (std::vector<node_id>{0x3F, 0x7F}));
    EXPECT_EQ(read_all(n.lookup(0x7F)), filled(60, 2));
    EXPECT_EQ(n.lookup(0x3F).get_parent_id(), 0u);
    EXPECT_EQ(read_all(n.lookup(0x3F).lookup(0x5F)), filled(70, 3));
    EXPECT_THROW(n.lookup(0x5F), key_not_found<unsigned int>);
}

TEST_P(NodeTest, SubnodeTreeWithAnInnerLevel) {
    const auto img = two_level();
    const auto db = img.open();
    const auto n = db->lookup_node(0x21);
    std::size_t count = 0;
    for (const auto& s : n.subnodes()) EXPECT_EQ(s.id, 0x20 * (++count) + 0x1F);
    EXPECT_EQ(count, 700u);
    EXPECT_EQ(read_all(n.lookup(0x20 * 690 + 0x1F)), filled(10 + 690 % 7, 690 % 256));
    // find answers absence without throwing, both below a key the inner level holds and before its first key.
    EXPECT_EQ(read_all(*n.find(0x20 * 690 + 0x1F)), filled(10 + 690 % 7, 690 % 256));
    EXPECT_FALSE(n.find(0x20 * 690 + 0x1E));
    EXPECT_FALSE(n.find(0x1F));
    const auto& blocks = img.node(0x21).subnode_blocks;  // SIBLOCK first
    EXPECT_EQ(failure_of<unexpected_block>([&] { db->read_subnode_leaf_block(blocks[0]); }), "psub->level != 0");
    EXPECT_EQ(failure_of<unexpected_block>([&] { db->read_subnode_nonleaf_block(blocks[1]); }), "psub->level == 1");
}

// The SIBLOCK's only entry names the SIBLOCK itself.
TEST_P(NodeTest, SubnodeTreeThatLoopsIsRejected) {
    auto img = two_level();
    const auto& si = img.block(img.node(0x21).bid_sub);
    img.put(si.ib + 2, 1, 2);
    img.put(si.ib + entries_at() + img.id_size(), si.bid, img.id_size());
    const auto n = img.open()->lookup_node(0x21);
    EXPECT_EQ(failure_of<database_corrupt>([&] { n.lookup(0x3F); }), "btree level mismatch");
    // Damage is not absence.
    EXPECT_EQ(failure_of<database_corrupt>([&] { (void)n.find(0x3F); }), "btree level mismatch");
}

TEST_P(NodeTest, SubnodeBlockClaimingMoreEntriesThanItHoldsIsCorrupt) {
    auto img = make({{0x3F, filled(4)}});
    img.put(img.block(img.node(0x21).bid_sub).ib + 2, 0xFF, 1);
    EXPECT_EQ(failure_of<database_corrupt>([&] { img.open()->lookup_node(0x21).lookup(0x3F); }),
              "subnode block entry count exceeds block");
}

INSTANTIATE_TEST_SUITE_P(Formats, NodeTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Unicode" : "Ansi"; });

}  // namespace
}  // namespace pstcore
