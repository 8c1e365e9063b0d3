// What reading back cannot show: the bytes a published vector fixes, the allocation maps, and refusal of a
// duplicate node. Headers, pages, blocks, streamed data and file output are checked by reading the files back.

#include "pstwrite/ndb_writer.h"

#include <gtest/gtest.h>

#include "ndb_check.h"

namespace {

using pstwrite::crypt;
using pstwrite::format;
using namespace ndbcheck;

const std::vector<std::byte> none;

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

TEST(ndb_writer, RejectsADuplicateNodeOrSubnode) {
    pstwrite::ndb_writer w(format::unicode, crypt::none);
    w.add_node(0x21, 0, none);
    w.add_node(0x21, 0, none);
    EXPECT_THROW(w.finish_to_memory(), std::invalid_argument);
    pstwrite::ndb_writer w2(format::unicode, crypt::none);
    EXPECT_THROW(w2.add_node(0x21, 0, none, {{0x3F, none}, {0x3F, none}}), std::invalid_argument);
}

}  // namespace
