#include "pstcore/ndb/block.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "pstcore/ndb/database.h"
#include "pstcore/ndb/exceptions.h"
#include "written_file.h"

namespace pstcore {
namespace {

using ndbtest::bytes;
using ndbtest::failure_of;
using ndbtest::filled;
using ndbtest::read_all;

struct Format {
    bool unicode;
    std::uint8_t crypt;
};

class BlockTest : public ::testing::TestWithParam<Format> {
protected:
    ndbtest::file make(const std::vector<ndbtest::written_node>& nodes) const {
        return ndbtest::write(GetParam().unicode ? ndbtest::format::unicode : ndbtest::format::ansi,
                              static_cast<ndbtest::crypt>(GetParam().crypt), nodes);
    }
    std::size_t max_block() const { return GetParam().unicode ? 8176 : 8180; }
    // Node 0x21 over a one-level extended block of three children, the last 500 bytes long.
    ndbtest::file extended() const { return make({{0x21, filled(2 * max_block() + 500)}}); }
};

// A plain block, a full one, an empty one, and an odd id that names the even entry.
TEST_P(BlockTest, PlainFullEmptyAndOddIdBlocksRead) {
    const auto data = filled(3000, 3), full = filled(max_block());
    auto img = make({{0x21, data}, {0x22, full}, {0x23, {}}, {0x42, data}});
    // The NBT leaf's fourth entry is node 0x42: its data bid made odd.
    const std::size_t odd = img.where.nbt_root.ib + 3 * (img.unicode() ? 32 : 16) + img.id_size();
    img.put(odd, img.get(odd, 1) | 1, 1);
    const auto db = img.open();
    EXPECT_EQ(read_all(db->lookup_node(0x21)), data);
    EXPECT_EQ(read_all(db->lookup_node(0x22)), full);
    EXPECT_EQ(db->lookup_node(0x23).size(), 0u);
    EXPECT_EQ(read_all(db->lookup_node(0x42)), data);
    EXPECT_EQ(db->lookup_block_info(0).id, 0u);
    EXPECT_EQ(failure_of<std::out_of_range>([&] { db->lookup_node(0x23).read<std::uint32_t>(0); }), "offset >= size()");
    auto too_big = db->lookup_block_info(img.node(0x22).bid_data);
    too_big.size = static_cast<std::uint16_t>(max_block() + 1);
    EXPECT_EQ(failure_of<unexpected_block>([&] { db->read_external_block(too_big); }), "nonsensical block size");
}

TEST_P(BlockTest, TrailerAndLocationChecks) {
    const auto img = make({{0x21, filled(100)}});
    const auto db = img.open();
    const auto& b = img.block(img.node(0x21).bid_data);
    const std::pair<block_info, const char*> cases[] = {
        {{b.bid + 4, b.ib, 100, 2}, "wrong block id"},
        {{b.bid, b.ib, 99, 2}, "wrong block size"},
        {{b.bid | 2, b.ib, 100, 2}, "External BID expected"},
    };
    for (const auto& [info, what] : cases)
        EXPECT_EQ(failure_of<unexpected_block>([&] { db->read_external_block(info); }), what);
    EXPECT_EQ(failure_of<unexpected_block>([&] {
                  db->read_extended_block({b.bid, b.ib, 100, 2});
              }),
              "internal bid expected");
}

// Node 0x21's data bid names its own subnode block.
TEST_P(BlockTest, InternalBlockThatIsNotExtendedIsRefusedAsData) {
    auto img = make({{0x21, filled(10), {{0x3F, filled(20)}}}});
    const auto sub = img.node(0x21).bid_sub;
    img.put(img.where.nbt_root.ib + img.id_size(), sub, img.id_size());
    const auto db = img.open();
    EXPECT_EQ(failure_of<unexpected_block>([&] { db->lookup_node(0x21).size(); }), "extended block expected");
    // The generic reader falls back to a subnode block.
    EXPECT_NE(std::dynamic_pointer_cast<subnode_block>(db->read_block(sub)), nullptr);
}

TEST_P(BlockTest, ExtendedBlockReadsAcrossChildren) {
    const auto data = filled(2 * max_block() + 500);
    const auto n = make({{0x21, data}}).open()->lookup_node(0x21);
    EXPECT_EQ(read_all(n), data);
    EXPECT_EQ(n.get_page_count(), 3u);
    EXPECT_EQ(n.get_page_size(2), 500u);

    // 10 bytes before the end of the first child, 30 bytes: 10 from it and 20 from the next.
    bytes part(30);
    const std::uint64_t at = max_block() - 10;
    EXPECT_EQ(n.read(part, at), 30u);
    EXPECT_TRUE(std::equal(part.begin(), part.end(), data.begin() + static_cast<std::ptrdiff_t>(at)));

    const std::uint64_t size = n.size();
    EXPECT_EQ(n.read<std::uint32_t>(size - 4), mftest::get_le(data, size - 4, 4));
    EXPECT_EQ(failure_of<std::out_of_range>([&] { n.read<std::uint32_t>(size - 2); }), "sizeof(T) + offset >= size()");
    EXPECT_EQ(failure_of<std::out_of_range>([&] { n.read<std::uint32_t>(size); }), "offset >= size()");
    bytes tail(100);
    EXPECT_EQ(n.read(tail, size - 40), 40u);
}

// An XBLOCK of three children whose lcbTotal needs only two, or whose cEnt (at 2) claims more ids than it holds.
TEST_P(BlockTest, ExtendedBlockWhoseCountsDisagreeIsCorrupt) {
    const std::tuple<std::size_t, std::uint32_t, const char*> cases[] = {
        {4, static_cast<std::uint32_t>(max_block() + 1), "extended block page count mismatch"},
        {2, 2000, "extended block entry count exceeds block"},
    };
    for (const auto& [at, value, what] : cases) {
        auto img = extended();
        img.put(img.block(img.node(0x21).bid_data).ib + at, value, at == 2 ? 2 : 4);
        EXPECT_EQ(failure_of<database_corrupt>([&] { img.open()->lookup_node(0x21).size(); }), what);
    }
}

// The XBLOCK of node 0x21 (a full child and 100 bytes) gets node 0x41's 100-byte block as its first child.
TEST_P(BlockTest, ShortChildInTheMiddleIsCorrupt) {
    auto img = make({{0x21, filled(max_block() + 100)}, {0x41, filled(100)}});
    img.put(img.block(img.node(0x21).bid_data).ib + 8, img.node(0x41).bid_data, img.id_size());
    const auto n = img.open()->lookup_node(0x21);
    bytes all(n.size());
    EXPECT_EQ(failure_of<database_corrupt>([&] { n.read(all, 0); }), "extended block child too short");
}

// An XBLOCK turned into an XXBLOCK of 100 bytes whose only child is itself.
TEST_P(BlockTest, TwoLevelTreeRefusesAChildOfItsOwnLevel) {
    auto img = extended();
    const auto& x = img.block(img.node(0x21).bid_data);
    img.put(x.ib + 1, 2, 1);
    img.put(x.ib + 2, 1, 2);
    img.put(x.ib + 4, 100, 4);
    img.put(x.ib + 8, x.bid, img.id_size());
    const auto n = img.open()->lookup_node(0x21);
    bytes all(100);
    EXPECT_EQ(failure_of<database_corrupt>([&] { n.read(all, 0); }), "extended block level mismatch");
}

INSTANTIATE_TEST_SUITE_P(Formats, BlockTest,
                         ::testing::Values(Format{false, 0}, Format{false, 1}, Format{false, 2}, Format{true, 0},
                                           Format{true, 1}, Format{true, 2}),
                         [](const auto& info) {
                             return std::string(info.param.unicode ? "Unicode" : "Ansi") + "Crypt" +
                                    std::to_string(info.param.crypt);
                         });

// A stream of any length reads in bounded memory: after a multi-megabyte two-level node has been read from end to
// end in small pieces and page by page, only a few of its blocks are still alive.
TEST(TwoLevel, ReadingAStreamKeepsOnlyAFewBlocks) {
    const auto data = filled(1023 * 8176 + 100);
    const auto n =
        ndbtest::write(ndbtest::format::unicode, ndbtest::crypt::permute, {{0x21, data}}).open()->lookup_node(0x21);
    bytes all(data.size());
    for (std::size_t at = 0; at < all.size(); at += 700)
        n.read(std::span(all).subspan(at, std::min<std::size_t>(700, all.size() - at)), at);
    EXPECT_EQ(all, data);
    std::vector<std::weak_ptr<external_block>> pages;
    for (std::size_t i = 0; i < n.get_page_count(); ++i) pages.push_back(n.get_page(i));
    ASSERT_EQ(pages.size(), 1024u);
    EXPECT_LE(std::count_if(pages.begin(), pages.end(), [](const auto& p) { return !p.expired(); }), 8);
}

}  // namespace
}  // namespace pstcore
