#include "pstcore/tables/heap.h"

#include <gtest/gtest.h>

#include "pstcore/ndb/exceptions.h"
#include "pstcore/tables/ltp_fixture.h"
#include "pstcore/tables/property_bag.h"
#include "pstcore/tables/table.h"

namespace {

using mftest::bytes;
using mftest::heap_builder;

bytes counting(std::size_t n, unsigned start = 0) {
    bytes out;
    for (std::size_t i = 0; i < n; ++i) out.push_back(static_cast<std::byte>((start + i) & 0xFF));
    return out;
}

pstcore::node node_of(mftest::fake_db& db, const std::vector<bytes>& pages, pstcore::node_id nid = 0x21) {
    db.add_node(nid, db.add_stream(pages));
    return db.node(nid);
}

template <typename F>
std::string error_of(F&& f) {
    try {
        f();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "no error";
}

TEST(Heap, IdZeroIsEmptyAndReadsNothing) {
    auto db = mftest::fake_db::create();
    heap_builder builder;
    builder.add(counting(10));
    const auto h = pstcore::open_heap(node_of(*db, builder.build(0xBC, 0x20)));
    EXPECT_EQ(h->size(0), 0u);
    EXPECT_EQ(h->read({}, 0, 0), 0u);
    EXPECT_TRUE(h->item(0).empty());
    EXPECT_EQ(h->get_root_id(), 0x20u);
    EXPECT_EQ(h->get_client_signature(), 0xBC);
}

TEST(Heap, ReadRangesAreChecked) {
    auto db = mftest::fake_db::create();
    heap_builder builder;
    const auto id = builder.add(counting(10));
    const auto h = pstcore::open_heap(node_of(*db, builder.build(0xBC, id)));
    std::array<std::byte, 4> buffer{};
    EXPECT_EQ(h->read(buffer, id, 6), 4u);
    EXPECT_EQ(buffer[0], std::byte{6});
    EXPECT_EQ(buffer[3], std::byte{9});
    EXPECT_EQ(error_of([&] { h->read(buffer, id, 7); }), "size + offset > size()");
    EXPECT_EQ(error_of([&] { h->read(buffer, id, 11); }), "offset > size()");
    std::array<std::byte, 11> big{};
    EXPECT_EQ(error_of([&] { h->read(big, id, 0); }), "buffer.size() > size()");
}

TEST(Heap, HeapIdsNameItemAndPage) {
    auto db = mftest::fake_db::create();
    heap_builder builder(512);
    EXPECT_EQ(builder.add(counting(3, 1)), 0x20u);
    builder.add(counting(5, 2));
    EXPECT_EQ(builder.add(counting(7, 3), true), 0x00010020u);
    EXPECT_EQ(builder.add(counting(9, 4)), 0x00010040u);
    const auto h = pstcore::open_heap(node_of(*db, builder.build(0xBC, 0x20)));
    const auto item = h->item(0x00010040);
    ASSERT_EQ(item.size(), 9u);
    EXPECT_EQ(item[0], std::byte{4});
    EXPECT_EQ(h->size(0x20), 3u);
}

TEST(Heap, ManyPagesReadBack) {
    auto db = mftest::fake_db::create();
    heap_builder builder(256);
    std::vector<std::pair<std::uint32_t, bytes>> items;
    for (unsigned page = 0; page < 40; ++page)
        for (unsigned k = 0; k < 3; ++k) {
            bytes item = counting(17 + page + k, page * 7 + k);
            items.emplace_back(builder.add(item, page > 0 && k == 0), item);
        }
    ASSERT_EQ(builder.page_count(), 40u);
    const auto h = pstcore::open_heap(node_of(*db, builder.build(0x7C, 0x20)));
    for (const auto& [id, expected] : items) EXPECT_EQ(h->read(id), expected) << std::hex << id;
}

TEST(Heap, ItemIndexOutsideThePageMapFails) {
    auto db = mftest::fake_db::create();
    heap_builder builder;
    builder.add(counting(4));
    builder.add(counting(4));
    const auto h = pstcore::open_heap(node_of(*db, builder.build(0xBC, 0x20)));
    EXPECT_EQ(error_of([&] { h->size(0x1F); }), "index > num_allocs");
    EXPECT_EQ(error_of([&] { h->size(3 << 5); }), "index > num_allocs");
    EXPECT_EQ(error_of([&] { h->size(0x00010020); }), "index > 0");
}

TEST(Heap, SignaturesAreChecked) {
    auto db = mftest::fake_db::create();
    heap_builder builder;
    builder.add(mftest::bth_header(2, 6, 0, 0));
    auto pages = builder.build(0xBC, 0x20);
    const auto bag_node = node_of(*db, pages, 0x21);
    EXPECT_NO_THROW(pstcore::property_bag{bag_node});
    try {
        pstcore::open_table(bag_node);
        FAIL();
    } catch (const pstcore::sig_mismatch& e) {
        EXPECT_STREQ(e.what(), "invalid client_sig");
        EXPECT_EQ(e.first_signature(), 0xBCu);
        EXPECT_EQ(e.second_signature(), 0x7Cu);
    }
    pages[0][2] = std::byte{0xED};
    EXPECT_EQ(error_of([&] { pstcore::open_heap(node_of(*db, pages, 0x41)); }), "invalid heap_sig");
    EXPECT_EQ(error_of([&] { pstcore::open_heap(node_of(*db, {bytes(11)}, 0x61)); }), "sizeof(T) + offset >= size()");
}

// Damage to a page map: an offset past the page, and a count whose entries run past the page end.
TEST(Heap, DamagedPageMapsFailCleanly) {
    auto db = mftest::fake_db::create();
    heap_builder builder;
    builder.add(counting(8));
    auto pages = builder.build(0xBC, 0x20);
    auto past = pages;
    mftest::set_le(past[0], 0, past[0].size() + 1, 2);
    const auto bad_offset = pstcore::open_heap(node_of(*db, past, 0x21));
    EXPECT_EQ(error_of([&] { bad_offset->size(0x20); }), "page_map_offset > node size");

    auto huge = pages;
    const std::size_t map = huge[0].size() - 8;  // cAlloc 1: 4 bytes of counts, two offsets
    mftest::set_le(huge[0], map, 0x7FF, 2);
    const auto bad_count = pstcore::open_heap(node_of(*db, huge, 0x41));
    EXPECT_EQ(error_of([&] { bad_count->size(0x7FF << 5); }), "heap page map past page end");

    auto inverted = pages;
    mftest::set_le(inverted[0], map + 4, 30, 2);  // item start after its end
    const auto bad_item = pstcore::open_heap(node_of(*db, inverted, 0x61));
    EXPECT_EQ(error_of([&] { bad_item->size(0x20); }), "heap item past page end");
}

}  // namespace
