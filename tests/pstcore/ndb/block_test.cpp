#include "pstcore/ndb/block.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

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

struct Format {
    bool unicode;
    std::uint8_t crypt;
};

class BlockTest : public ::testing::TestWithParam<Format> {
protected:
    image make() const { return image(GetParam().unicode, GetParam().crypt); }
};

// A plain block, a full one, an empty one, a node without data, and an odd id that names the even entry.
TEST_P(BlockTest, PlainFullEmptyAndOddIdBlocksRead) {
    auto img = make();
    const auto data = filled(3000, 3), full = filled(img.max_block());
    const auto plain = img.put_block(0x8, data), big = img.put_block(0xC, full), empty = img.put_block(0x10, {});
    EXPECT_EQ(img.rounded(full.size()), 8192u);
    img.finish({plain, big, empty},
               {{0x21, 0x8, 0, 0}, {0x22, 0xC, 0, 0}, {0x23, 0x10, 0, 0}, {0x41, 0, 0, 0}, {0x42, 0x9, 0, 0}});
    const auto db = open_database(img.raw());
    EXPECT_EQ(read_all(db->lookup_node(0x21)), data);
    EXPECT_EQ(read_all(db->lookup_node(0x22)), full);
    EXPECT_EQ(db->lookup_node(0x23).size(), 0u);
    EXPECT_EQ(read_all(db->lookup_node(0x42)), data);
    EXPECT_EQ(db->lookup_block_info(0).id, 0u);
    EXPECT_EQ(failure_of<std::out_of_range>([&] { db->lookup_node(0x41).read<std::uint32_t>(0); }), "offset >= size()");
    auto too_big = big;
    too_big.size = static_cast<std::uint16_t>(img.max_block() + 1);
    EXPECT_EQ(failure_of<unexpected_block>([&] { db->read_external_block(too_big); }), "nonsensical block size");
}

TEST_P(BlockTest, TrailerAndLocationChecks) {
    auto img = make();
    const auto b = img.put_block(0x8, filled(100));
    img.finish({b}, {});
    const auto db = open_database(img.raw());
    const std::uint64_t eof = img.raw().size();
    const std::size_t trailer = b.address + img.rounded(100) - (GetParam().unicode ? 16 : 12);

    const std::pair<block_info, const char*> cases[] = {
        {{0x8, eof - 64, 100, 2}, "nonsensical block location; past eof"},
        {{0xC, b.address, 100, 2}, "wrong block id"},
        {{0x8, b.address, 99, 2}, "wrong block size"},
        {{0xA, b.address, 100, 2}, "External BID expected"},
    };
    for (const auto& [info, what] : cases)
        EXPECT_EQ(failure_of<unexpected_block>([&] { db->read_external_block(info); }), what);
    auto bad = img;
    bad.put16(trailer + 2, 0x1234);
    try {
        open_database(bad.raw())->read_external_block(b);
        FAIL();
    } catch (const sig_mismatch& e) {
        EXPECT_STREQ(e.what(), "block sig mismatch");
        EXPECT_EQ(e.location(), b.address);
        EXPECT_EQ(e.id(), 0x8u);
        EXPECT_EQ(e.second_signature(), 0x1234u);
    }
    EXPECT_EQ(failure_of<unexpected_block>([&] { db->read_extended_block(b); }), "internal bid expected");
}

TEST_P(BlockTest, InternalBlockThatIsNotExtendedIsRefusedAsData) {
    auto img = make();
    const auto sub = img.put_block(0xA, img.subnode_leaf({}));
    img.finish({sub}, {{0x21, 0xA, 0, 0}});
    const auto db = open_database(img.raw());
    EXPECT_EQ(failure_of<unexpected_block>([&] { db->lookup_node(0x21).size(); }), "extended block expected");
    // The generic reader falls back to a subnode block.
    EXPECT_NE(std::dynamic_pointer_cast<subnode_block>(db->read_block(0xA)), nullptr);
}

// A one-level extended block with `n` children and `tail` bytes in the last one.
struct extended_file {
    image img;
    bytes data;
    block_info xblock;
};

extended_file make_extended(image img, std::size_t children, std::size_t tail) {
    bytes data;
    std::vector<block_info> blocks;
    std::vector<std::uint64_t> ids;
    for (std::size_t i = 0; i < children; ++i) {
        const auto part = filled(i + 1 == children ? tail : img.max_block(), static_cast<std::uint8_t>(i));
        data.insert(data.end(), part.begin(), part.end());
        blocks.push_back(img.put_block(0x10 + 4 * i, part));
        ids.push_back(0x10 + 4 * i);
    }
    const auto x = img.put_block(0x6, img.extended(1, static_cast<std::uint32_t>(data.size()), ids));
    blocks.push_back(x);
    img.finish(blocks, {{0x21, 0x6, 0, 0}});
    return {std::move(img), std::move(data), x};
}

TEST_P(BlockTest, ExtendedBlockReadsAcrossChildren) {
    auto f = make_extended(make(), 3, 500);
    const auto db = open_database(f.img.raw());
    const auto n = db->lookup_node(0x21);
    EXPECT_EQ(read_all(n), f.data);
    EXPECT_EQ(n.get_page_count(), 3u);
    EXPECT_EQ(n.get_page_size(2), 500u);

    // 10 bytes before the end of the first child, 30 bytes: 10 from it and 20 from the next.
    bytes part(30);
    const std::uint64_t at = f.img.max_block() - 10;
    EXPECT_EQ(n.read(part, at), 30u);
    EXPECT_TRUE(std::equal(part.begin(), part.end(), f.data.begin() + static_cast<std::ptrdiff_t>(at)));

    const std::uint64_t size = n.size();
    EXPECT_EQ(n.read<std::uint32_t>(size - 4), mftest::get_le(f.data, size - 4, 4));
    EXPECT_EQ(failure_of<std::out_of_range>([&] { n.read<std::uint32_t>(size - 2); }), "sizeof(T) + offset >= size()");
    EXPECT_EQ(failure_of<std::out_of_range>([&] { n.read<std::uint32_t>(size); }), "offset >= size()");
    bytes tail(100);
    EXPECT_EQ(n.read(tail, size - 40), 40u);
}

// An XBLOCK of three children whose lcbTotal needs only two, or whose cEnt (at 2) claims more ids than it holds.
TEST_P(BlockTest, ExtendedBlockWhoseCountsDisagreeIsCorrupt) {
    const std::tuple<std::size_t, std::uint32_t, const char*> cases[] = {
        {4, static_cast<std::uint32_t>(make().max_block() + 1), "extended block page count mismatch"},
        {2, 2000, "extended block entry count exceeds block"},
    };
    for (const auto& [at, value, what] : cases) {
        auto f = make_extended(make(), 3, 500);
        f.img.put_n(f.xblock.address + at, value, at == 2 ? 2 : 4);
        EXPECT_EQ(failure_of<database_corrupt>([&] { open_database(f.img.raw())->lookup_node(0x21).size(); }), what);
    }
}

TEST_P(BlockTest, ShortChildInTheMiddleIsCorrupt) {
    auto img = make();
    const auto a = img.put_block(0x10, filled(100));
    const auto b = img.put_block(0x14, filled(100));
    const auto x = img.put_block(0x6, img.extended(1, static_cast<std::uint32_t>(img.max_block() + 100), {0x10, 0x14}));
    img.finish({a, b, x}, {{0x21, 0x6, 0, 0}});
    const auto n = open_database(img.raw())->lookup_node(0x21);
    bytes all(n.size());
    EXPECT_EQ(failure_of<database_corrupt>([&] { n.read(all, 0); }), "extended block child too short");
}

TEST_P(BlockTest, TwoLevelTreeRefusesAChildOfItsOwnLevel) {
    auto img = make();
    // An XXBLOCK whose only child is itself.
    const auto x = img.put_block(0x6, img.extended(2, 100, {0x6}));
    img.finish({x}, {{0x21, 0x6, 0, 0}});
    const auto n = open_database(img.raw())->lookup_node(0x21);
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

// A node (0x21) over a two-level tree: `full` full data blocks under the first one-level block, then `tail` more
// under the second, the last of them `last` bytes long.
extended_file make_two_level(image img, std::size_t full, std::size_t tail, std::size_t last) {
    bytes data;
    std::vector<block_info> blocks;
    std::vector<std::uint64_t> children, ids;
    std::uint64_t next = 0x100;
    std::size_t covered = 0;
    for (std::size_t i = 0; i < full + tail; ++i) {
        const auto part = filled(i + 1 == full + tail ? last : img.max_block(), static_cast<std::uint8_t>(i));
        data.insert(data.end(), part.begin(), part.end());
        blocks.push_back(img.put_block(next, part));
        ids.push_back(next);
        next += 4;
        covered += part.size();
        if (i + 1 == full || i + 1 == full + tail) {
            blocks.push_back(img.put_block(next + 2, img.extended(1, static_cast<std::uint32_t>(covered), ids)));
            children.push_back(next + 2);
            next += 4;
            ids.clear();
            covered = 0;
        }
    }
    const auto x = img.put_block(0x6, img.extended(2, static_cast<std::uint32_t>(data.size()), children));
    blocks.push_back(x);
    img.finish(blocks, {{0x21, 0x6, 0, 0}});
    return {std::move(img), std::move(data), x};
}

// An ANSI node over 16.7 MB needs a two-level tree whose children each cover 2043 full blocks; reading past
// the first child's 16,711,740 bytes must land in the second child at the right place.
TEST(TwoLevel, AnsiChildrenCoverTwoThousandFortyThreeBlocks) {
    const std::size_t per_child = 2043;
    auto f = make_two_level(image(false, 2), per_child, 1, 1000);
    const auto n = open_database(f.img.raw())->lookup_node(0x21);
    EXPECT_EQ(n.size(), 8180 * per_child + 1000);
    EXPECT_EQ(n.get_page_count(), per_child + 1);
    bytes part(1000);
    EXPECT_EQ(n.read(part, 8180 * per_child), 1000u);
    EXPECT_EQ(part, filled(1000, static_cast<std::uint8_t>(per_child)));
    // Past the old 8,335,420-byte mark, still inside the first child.
    bytes mid(8180);
    EXPECT_EQ(n.read(mid, 8180 * 1500), 8180u);
    EXPECT_EQ(mid, filled(8180, static_cast<std::uint8_t>(1500)));
    EXPECT_EQ(n.get_page(per_child)->get_total_size(), 1000u);
}

// A stream of any length reads in bounded memory: after a multi-megabyte two-level node has been read from end to
// end in small pieces and page by page, only a few of its blocks are still alive.
TEST(TwoLevel, ReadingAStreamKeepsOnlyAFewBlocks) {
    auto f = make_two_level(image(true, 1), 1021, 3, 100);
    const auto n = open_database(f.img.raw())->lookup_node(0x21);
    bytes all(f.data.size());
    for (std::size_t at = 0; at < all.size(); at += 700)
        n.read(std::span(all).subspan(at, std::min<std::size_t>(700, all.size() - at)), at);
    EXPECT_EQ(all, f.data);
    std::vector<std::weak_ptr<external_block>> pages;
    for (std::size_t i = 0; i < n.get_page_count(); ++i) pages.push_back(n.get_page(i));
    ASSERT_EQ(pages.size(), 1024u);
    EXPECT_LE(std::count_if(pages.begin(), pages.end(), [](const auto& p) { return !p.expired(); }), 8);
}

}  // namespace
}  // namespace pstcore
