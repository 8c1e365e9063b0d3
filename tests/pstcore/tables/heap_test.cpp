#include "pstcore/tables/heap.h"

#include <gtest/gtest.h>

#include "pstcore/ndb/exceptions.h"
#include "pstcore/tables/ltp_fixture.h"
#include "pstcore/tables/property_bag.h"
#include "pstcore/tables/table.h"

namespace {

using mftest::bytes;
using mftest::failure_of;
using mftest::heap_builder;

bytes counting(std::size_t n, unsigned start = 0) {
    bytes out;
    for (std::size_t i = 0; i < n; ++i) out.push_back(static_cast<std::byte>((start + i) & 0xFF));
    return out;
}

// Heap ids name the page in the high word and the item (from 1) in bits 5..15; id 0 is an empty item.
TEST(Heap, IdsNamePageAndItem) {
    mftest::node_file file;
    auto builder = heap_builder(0xBC);
    builder.set_user_root(builder.allocate(counting(3, 1)));
    builder.allocate(counting(5, 2));
    builder.next_page();
    builder.allocate(counting(7, 3));
    builder.allocate(counting(9, 4));
    const auto h = pstcore::open_heap(file.add(0x21, builder.build()));
    EXPECT_EQ(h->read(0x00010040), counting(9, 4));
    EXPECT_EQ(h->read(0x40), counting(5, 2));
    EXPECT_EQ(h->size(0), 0u);
    EXPECT_TRUE(h->item(0).empty());
    EXPECT_EQ(h->get_root_id(), 0x20u);
    EXPECT_EQ(h->get_client_signature(), 0xBC);
}

TEST(Heap, ReadRangesAreChecked) {
    mftest::node_file file;
    auto builder = heap_builder(0xBC);
    const auto id = builder.allocate(counting(10));
    builder.allocate(counting(4));
    builder.set_user_root(id);
    const auto h = pstcore::open_heap(file.add(0x21, builder.build()));
    std::array<std::byte, 4> buffer{};
    EXPECT_EQ(h->read(buffer, id, 6), 4u);
    EXPECT_EQ(buffer[3], std::byte{9});
    std::array<std::byte, 11> big{};
    for (const auto& [read, message] : std::vector<std::pair<std::function<void()>, std::string>>{
             {[&] { h->read(buffer, id, 7); }, "size + offset > size()"},
             {[&] { h->read(buffer, id, 11); }, "offset > size()"},
             {[&] { h->read(big, id, 0); }, "buffer.size() > size()"},
             {[&] { h->size(0x1F); }, "index > num_allocs"},
             {[&] { h->size(3 << 5); }, "index > num_allocs"},
             {[&] { h->size(0x00010020); }, "index > 0"}})
        EXPECT_EQ(failure_of(read), message);
}

// Page-map faults a real file can carry are planted by the fixture writer (pstwrite_fixture_test); these are the
// ones it cannot plant.
TEST(Heap, DamagedHeapsFailCleanly) {
    mftest::node_file file;
    auto builder = heap_builder(0xBC);
    builder.set_user_root(builder.allocate(mftest::bth_header(2, 6, 0, 0)));
    auto data = builder.build();
    try {
        pstcore::open_table(file.add(0x21, data));
        FAIL();
    } catch (const pstcore::sig_mismatch& e) {
        EXPECT_STREQ(e.what(), "invalid client_sig");
        EXPECT_EQ(e.first_signature(), 0xBCu);
        EXPECT_EQ(e.second_signature(), 0x7Cu);
    }
    EXPECT_EQ(failure_of([&] { pstcore::open_heap(file.add(0x41, bytes(11))); }), "sizeof(T) + offset >= size()");
    mftest::set_le(data, mftest::get_le(data, 0, 2) + 4, 30, 2);  // the item's start after its end
    const auto inverted = pstcore::open_heap(file.add(0x61, data));
    EXPECT_EQ(failure_of([&] { inverted->size(0x20); }), "heap item past page end");
}

}  // namespace
