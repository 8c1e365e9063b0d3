// The writer's bytes checked field by field against the published layout, with CRCs and signatures recomputed
// here the slow way.

#include "pstwrite/ndb_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <tuple>

#include "ndb_check.h"

namespace {

using pstwrite::crypt;
using pstwrite::format;
using namespace ndbcheck;

const std::vector<std::byte> none;

struct written {
    std::vector<std::byte> bytes;
    pstwrite::layout where;
};

// A small store-like file: a few nodes, one message with an XBLOCK and subnodes.
written write_sample(format f, crypt c) {
    pstwrite::ndb_writer w(f, c);
    w.add_node(0x21, 0, pattern(300, 1));
    w.add_node(0x200024, 0x8082, pattern(3 * max_data(f) + 17, 2),
               {{0x692, pattern(40, 3)}, {0x671, pattern(50, 4), {{0x803F, pattern(9000, 5)}}}});
    w.add_node(0x122, 0x122, none);
    written out;
    out.bytes = w.finish_to_memory();
    out.where = w.where();
    return out;
}

class header_test : public ::testing::TestWithParam<std::tuple<format, crypt>> {};

TEST_P(header_test, FieldsAndBothChecksumsFollowTheLayout) {
    const auto [f, c] = GetParam();
    const written w = write_sample(f, c);
    std::span<const std::byte> b = w.bytes;
    const bool u = unicode(f);

    EXPECT_EQ(le(b, 0, 4), 0x4E444221u);  // "!BDN"
    EXPECT_EQ(le(b, 8, 2), 0x4D53u);
    EXPECT_EQ(le(b, 10, 2), u ? 23u : 14u);
    EXPECT_EQ(le(b, 12, 2), 19u);
    EXPECT_EQ(le(b, 4, 4), slow_crc(b.subspan(8, 471)));
    if (u) {
        EXPECT_EQ(le(b, 524, 4), slow_crc(b.subspan(8, 516)));
    }
    EXPECT_EQ(le(b, u ? 512 : 460, 1), 0x80u);
    EXPECT_EQ(le(b, u ? 513 : 461, 1), static_cast<unsigned>(c));

    // ROOT: file size, last AMap, both tree roots, fAMapValid.
    const unsigned root = u ? 180 : 164, id = id_size(f);
    EXPECT_EQ(le(b, root + 4, id), b.size());
    EXPECT_EQ((b.size() - 0x4400) % 253952, 0u);
    EXPECT_EQ(le(b, root + 4 + id, id), w.where.amap_pages.back());
    EXPECT_EQ(le(b, root + 4 + 4 * id, id), w.where.nbt_root.bid);
    EXPECT_EQ(le(b, root + 4 + 5 * id, id), w.where.nbt_root.ib);
    EXPECT_EQ(le(b, root + 4 + 6 * id, id), w.where.bbt_root.bid);
    EXPECT_EQ(le(b, root + 4 + 7 * id, id), w.where.bbt_root.ib);
    EXPECT_EQ(le(b, u ? 248 : 200, 1), 2u);

    // Counters: bidNextB above every block, bidNextP above every page; rgnid raised by the message nid.
    const std::uint64_t next_b = u ? le(b, 516, 8) : le(b, 24, 4);
    const std::uint64_t next_p = u ? le(b, 32, 8) : le(b, 28, 4);
    for (const auto& blk : w.where.blocks) EXPECT_LT(blk.bid, next_b);
    for (const auto& p : w.where.pages) EXPECT_LT(p.bid, next_p);
    const unsigned rgnid = u ? 44 : 36;
    EXPECT_EQ(le(b, rgnid + 4 * 0x04, 4), 0x10001u);  // message 0x200024 has index 0x10001
    EXPECT_EQ(le(b, rgnid + 4 * 0x02, 4), 0x400u);    // Outlook's first value, untouched
    EXPECT_EQ(le(b, rgnid + 4 * 0x03, 4), 0x4000u);
    EXPECT_EQ(le(b, rgnid + 4 * 0x1F, 4), 0x401u);  // subnode 0x803F counts too
}

TEST_P(header_test, EveryPageHasItsTrailerAndEntryShape) {
    const auto [f, c] = GetParam();
    const written w = write_sample(f, c);
    std::span<const std::byte> b = w.bytes;
    const bool u = unicode(f);
    const unsigned data = u ? 496 : 500, meta = u ? 488 : 496;
    ASSERT_FALSE(w.where.pages.empty());
    for (const auto& p : w.where.pages) {
        SCOPED_TRACE(p.ib);
        EXPECT_EQ(p.ib % 512, 0u);
        const auto page = b.subspan(p.ib, 512);
        const unsigned ptype = p.which == pstwrite::tree::nbt ? 0x81 : 0x80;
        EXPECT_EQ(le(page, data, 1), ptype);
        EXPECT_EQ(le(page, data + 1, 1), ptype);
        EXPECT_EQ(le(page, data + 2, 2), signature(p.bid, p.ib));
        EXPECT_EQ(le(page, u ? data + 4 : data + 8, 4), slow_crc(page.first(data)));
        EXPECT_EQ(le(page, u ? data + 8 : data + 4, u ? 8 : 4), p.bid);
        EXPECT_EQ(le(page, meta, 1), p.entries);
        EXPECT_EQ(le(page, meta + 3, 1), p.level);
        // (cEntMax, cbEnt) as real files use them.
        const bool leaf = p.level == 0;
        const bool nbt_leaf = leaf && p.which == pstwrite::tree::nbt;
        const unsigned max = nbt_leaf ? (u ? 15 : 31) : (u ? 20 : 41);
        const unsigned size = nbt_leaf ? (u ? 32 : 16) : (u ? 24 : 12);
        EXPECT_EQ(le(page, meta + 1, 1), max);
        EXPECT_EQ(le(page, meta + 2, 1), size);
    }
}

TEST_P(header_test, EveryBlockHasItsTrailer) {
    const auto [f, c] = GetParam();
    const written w = write_sample(f, c);
    std::span<const std::byte> b = w.bytes;
    const bool u = unicode(f);
    const unsigned t = trailer_size(f), id = id_size(f);
    for (const auto& blk : w.where.blocks) {
        SCOPED_TRACE(blk.bid);
        EXPECT_EQ(blk.ib % 64, 0u);
        EXPECT_EQ(blk.size, (blk.cb + t + 63) / 64 * 64);
        // Never across an AMap interval boundary.
        EXPECT_EQ((blk.ib - 0x4400) / 253952, (blk.ib + blk.size - 1 - 0x4400) / 253952);
        const auto trailer = b.subspan(blk.ib + blk.size - t, t);
        EXPECT_EQ(le(trailer, 0, 2), blk.cb);
        EXPECT_EQ(le(trailer, 2, 2), signature(blk.bid, blk.ib));
        EXPECT_EQ(le(trailer, u ? 4 : 8, 4), slow_crc(stored(b, blk)));
        EXPECT_EQ(le(trailer, u ? 8 : 4, id), blk.bid);
    }
}

INSTANTIATE_TEST_SUITE_P(all, header_test,
                         ::testing::Combine(::testing::Values(format::unicode, format::ansi),
                                            ::testing::Values(crypt::none, crypt::permute, crypt::cyclic)));

// Published vector: with permutation encoding a stored 0x00 reads as 0x47, so 0x47 is written as 0x00.
TEST(ndb_writer, PermutationStoresTheTableValue) {
    pstwrite::ndb_writer w(format::unicode, crypt::permute);
    w.add_node(0x21, 0, std::vector<std::byte>{std::byte{0x47}});
    const auto bytes = w.finish_to_memory();
    const auto* blk = w.where().find_block(w.where().find_node(0x21)->bid_data);
    ASSERT_NE(blk, nullptr);
    EXPECT_EQ(bytes[blk->ib], std::byte{0x00});
}

TEST(ndb_writer, AllocationMapsMarkEveryBlockAndPage) {
    for (format f : {format::unicode, format::ansi}) {
        SCOPED_TRACE(static_cast<int>(f));
        pstwrite::ndb_writer w(f, crypt::none);
        w.add_node(0x21, 0, pattern(600000, 1));  // three AMap intervals
        const auto bytes = w.finish_to_memory();
        std::span<const std::byte> b = bytes;
        const auto& l = w.where();
        ASSERT_EQ(l.amap_pages.size(), 3u);
        ASSERT_EQ(l.pmap_pages, std::vector<std::uint64_t>{0x4600});
        const bool u = unicode(f);
        const unsigned data = u ? 496 : 500, at = u ? 0 : 4;
        auto bit = [&](std::uint64_t offset) {
            const std::uint64_t k = (offset - 0x4400) / 253952, slot = (offset - 0x4400) % 253952 / 64;
            return (le(b, l.amap_pages[k] + at + slot / 8, 1) >> (7 - slot % 8)) & 1;
        };
        std::uint64_t zero_bits = 0;
        for (std::size_t k = 0; k < l.amap_pages.size(); ++k) {
            const std::uint64_t ib = l.amap_pages[k];
            EXPECT_EQ(ib, 0x4400 + k * 253952);
            const auto page = b.subspan(ib, 512);
            EXPECT_EQ(le(page, at, 1), 0xFFu);  // the AMap page itself
            EXPECT_EQ(le(page, data, 1), 0x84u);
            EXPECT_EQ(le(page, data + 2, 2), 0u);
            EXPECT_EQ(le(page, u ? data + 4 : data + 8, 4), slow_crc(page.first(data)));
            EXPECT_EQ(le(page, u ? data + 8 : data + 4, u ? 8 : 4), ib);
            for (unsigned j = 0; j < 496; ++j)
                zero_bits += 8 - static_cast<unsigned>(__builtin_popcount(le(page, at + j, 1)));
        }
        const auto pmap = b.subspan(0x4600, 512);
        EXPECT_EQ(le(pmap, at, 1), 0xFFu);
        EXPECT_EQ(le(pmap, at + 495, 1), 0xFFu);
        EXPECT_EQ(le(pmap, data, 1), 0x83u);
        EXPECT_EQ(bit(0x4600), 1u);
        for (const auto& blk : l.blocks)
            for (std::uint64_t o = blk.ib; o < blk.ib + blk.size; o += 64) EXPECT_EQ(bit(o), 1u);
        for (const auto& p : l.pages)
            for (std::uint64_t o = p.ib; o < p.ib + 512; o += 64) EXPECT_EQ(bit(o), 1u);
        EXPECT_EQ(bit(b.size() - 64), 0u);  // padding at the end stays free
        EXPECT_EQ(le(b, (u ? 180 : 164) + 4 + 2 * id_size(f), id_size(f)), zero_bits * 64);
    }
}

// Data that arrives in pieces gives the same file as the same data in one call, and a file equals memory.
TEST(ndb_writer, StreamedPiecesAndFileOutputGiveTheSameBytes) {
    const auto data = pattern(3 * 8176 + 100, 4);
    pstwrite::ndb_writer whole(format::unicode, crypt::cyclic);
    whole.add_node(0x21, 0, data, {{0x803F, data}});
    const auto expected = whole.finish_to_memory();

    pstwrite::ndb_writer pieces(format::unicode, crypt::cyclic);
    auto s1 = pieces.begin_data();
    for (std::size_t at = 0; at < data.size(); at += 777)
        s1.append(std::span(data).subspan(at, std::min<std::size_t>(777, data.size() - at)));
    const auto r1 = pieces.end_data(s1);
    EXPECT_EQ(r1.size, data.size());
    auto s2 = pieces.begin_data();
    s2.append(data);
    const auto r2 = pieces.end_data(s2);
    pieces.add_written_node(0x21, 0, r1, {{0x803F, r2}});
    EXPECT_EQ(pieces.finish_to_memory(), expected);

    pstwrite::ndb_writer lean(format::unicode, crypt::cyclic);
    lean.set_node_layout(false);
    lean.add_node(0x21, 0, data, {{0x803F, data}});
    EXPECT_EQ(lean.finish_to_memory(), expected);
    EXPECT_TRUE(lean.where().nodes.empty());
    EXPECT_EQ(lean.where().blocks.size(), whole.where().blocks.size());

    const auto path = std::filesystem::temp_directory_path() / "ndb_writer_test.pst";
    pstwrite::ndb_writer file(format::unicode, crypt::cyclic, path);
    file.add_node(0x21, 0, data, {{0x803F, data}});
    file.finish();
    std::ifstream in(path, std::ios::binary);
    std::vector<char> raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::filesystem::remove(path);
    ASSERT_EQ(raw.size(), expected.size());
    EXPECT_TRUE(std::equal(raw.begin(), raw.end(), expected.begin(),
                           [](char a, std::byte b) { return static_cast<std::byte>(a) == b; }));
}

TEST(ndb_writer, RejectsADuplicateNodeOrSubnode) {
    pstwrite::ndb_writer w(format::unicode, crypt::none);
    w.add_node(0x21, 0, none);
    w.add_node(0x21, 0, none);
    EXPECT_THROW(w.finish_to_memory(), std::invalid_argument);
    pstwrite::ndb_writer w2(format::unicode, crypt::none);
    EXPECT_THROW(w2.add_node(0x21, 0, none, {{0x3F, none}, {0x3F, none}}), std::invalid_argument);
}

}  // namespace
