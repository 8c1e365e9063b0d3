// Heap-on-node and BTH layout, checked byte by byte against the heap and BTH layouts in the format notes.
#include <gtest/gtest.h>

#include "ltp_check.h"
#include "pstwrite/ltp_bth.h"
#include "pstwrite/ltp_heap.h"

namespace {

using ltpcheck::hex;

pstwrite::bth_options opts(std::uint8_t key, std::uint8_t data, std::size_t per_item = 0) {
    pstwrite::bth_options o;
    o.key_size = key;
    o.data_size = data;
    o.max_per_item = per_item;
    return o;
}
using pstwrite::format;

std::vector<ltpcheck::bytes> pages_of(const pstwrite::bytes& data, format f) {
    return ltpcheck::heap_of(data, f).pages;
}

TEST(LtpHeap, OnePageHeapsByteForByte) {
    pstwrite::heap_builder heap(format::unicode, 0xBC);
    EXPECT_EQ(heap.allocate(ltpcheck::text_bytes("abc")), 0x20u);
    EXPECT_EQ(heap.allocate(ltpcheck::text_bytes("hello")), 0x40u);
    heap.set_user_root(0x20);
    // ibHnpm 20 (12 + 3 + 5, already even), EC, BC, hidUserRoot 0x20, fill levels 0; then the items; then
    // cAlloc 2, cFree 0, rgibAlloc 12, 15, 20.
    EXPECT_EQ(heap.build(), hex("1400 EC BC 20000000 00000000"
                                "616263 68656c6c6f"
                                "0200 0000 0C00 0F00 1400"));
    // An odd end is padded before the page map.
    pstwrite::heap_builder odd(format::ansi, 0x7C);
    odd.allocate(ltpcheck::text_bytes("x"));
    EXPECT_EQ(odd.build(), hex("0E00 EC 7C 00000000 00000000 78 00 0100 0000 0C00 0D00"));
}

TEST(LtpHeap, EveryPageButTheLastFillsOneBlock) {
    for (format f : {format::unicode, format::ansi}) {
        pstwrite::heap_builder heap(f, 0xBC);
        const pstwrite::bytes item(3580, std::byte{0x5A});
        std::vector<std::uint32_t> hids;
        for (int i = 0; i < 5; ++i) hids.push_back(heap.allocate(item));
        // Two 3580-byte items fit a page (12 + 7160 + 4 + 6 = 7182), a third does not.
        EXPECT_EQ(hids, (std::vector<std::uint32_t>{0x20, 0x40, 0x10020, 0x10040, 0x20020}));
        const auto data = heap.build();
        const auto pages = pages_of(data, f);
        ASSERT_EQ(pages.size(), 3u);
        EXPECT_EQ(pages[0].size(), pstwrite::max_block_data(f));
        EXPECT_EQ(pages[1].size(), pstwrite::max_block_data(f));
        // Page 1 has the 2-byte HNPAGEHDR: first item at 2, map right after the second.
        EXPECT_EQ(ltpcheck::le(pages[1], 0, 2), 2u + 7160u);
        ltpcheck::heap h{pages};
        EXPECT_EQ(h.item(0x10040), ltpcheck::bytes(item.begin(), item.end()));
        EXPECT_EQ(pages[2].size(), 2u + 3580 + 4 + 4);
    }
}

TEST(LtpHeap, PageEightHasTheBitmapHeader) {
    pstwrite::heap_builder heap(format::unicode, 0xB5);
    for (int page = 0; page < 9; ++page) {
        if (page > 0) heap.next_page();
        heap.allocate(ltpcheck::text_bytes("p"));
    }
    const auto pages = pages_of(heap.build(), format::unicode);
    ASSERT_EQ(pages.size(), 9u);
    const std::size_t map = ltpcheck::le(pages[8], 0, 2);
    EXPECT_EQ(map, 68u);                                 // 66-byte HNBITMAPHDR, one byte, padding
    EXPECT_EQ(ltpcheck::le(pages[8], map + 4, 2), 66u);  // the first item starts after it
    EXPECT_EQ(ltpcheck::le(pages[7], ltpcheck::le(pages[7], 0, 2) + 4, 2), 2u);
}

TEST(LtpHeap, RejectsItemsLargerThanOutlookAllocates) {
    pstwrite::heap_builder heap(format::unicode, 0xBC);
    EXPECT_THROW(heap.allocate(pstwrite::bytes(3581)), std::invalid_argument);
}

TEST(LtpBth, HeaderAndSortedLeafRecords) {
    pstwrite::heap_builder heap(format::unicode, 0xB5);
    std::vector<pstwrite::bth_record> records;
    for (std::uint16_t key : {0x3001, 0x0037, 0x1000}) records.push_back({key, ltpcheck::hex("AABB")});
    const auto header = pstwrite::write_bth(heap, records, opts(2, 2));
    const auto empty = pstwrite::write_bth(heap, {}, opts(4, 2));
    ltpcheck::heap h{pages_of(heap.build(), format::unicode)};
    EXPECT_EQ(h.item(header), hex("B5 02 02 00 40000000"));
    EXPECT_EQ(h.item(0x40), hex("3700 AABB 0010 AABB 0130 AABB"));
    EXPECT_EQ(h.item(empty), hex("B5 04 02 00 00000000"));  // an empty tree has root 0
}

TEST(LtpBth, OverflowingRecordsGetIndexLevels) {
    struct level_case {
        std::size_t records, per_item;
        unsigned levels;
    };
    for (auto c : {level_case{447, 0, 0}, level_case{448, 0, 1}, level_case{3001, 0, 1}, level_case{10, 3, 2}}) {
        pstwrite::heap_builder heap(format::unicode, 0xB5);
        std::vector<pstwrite::bth_record> records;
        for (std::size_t i = 0; i < c.records; ++i)
            records.push_back({(i * 7919) % 100003, pstwrite::bytes(4, std::byte(i & 0xFF))});
        const auto header = pstwrite::write_bth(heap, records, opts(4, 4, c.per_item));
        ltpcheck::heap h{pages_of(heap.build(), format::unicode)};
        const auto info = ltpcheck::read_bth(h, header);
        EXPECT_EQ(info.levels, c.levels) << c.records;
        ASSERT_EQ(info.records.size(), c.records);
        EXPECT_EQ(info.records.at((5 * 7919) % 100003), pstwrite::bytes(4, std::byte{5}));
    }
}

TEST(LtpBth, DuplicateKeysAreRejected) {
    pstwrite::heap_builder heap(format::unicode, 0xB5);
    EXPECT_THROW(pstwrite::write_bth(heap, {{1, hex("00")}, {1, hex("01")}}, opts(4, 1)), std::invalid_argument);
}

}  // namespace
