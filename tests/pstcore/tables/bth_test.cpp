#include "pstcore/tables/bth.h"

#include <gtest/gtest.h>

#include "pstcore/tables/ltp_fixture.h"
#include "pstcore/tables/property_bag.h"
#include "pstwrite/ltp_bth.h"

namespace {

using mftest::bytes;
using mftest::heap_builder;
using mftest::put_le;
using bag_tree = std::shared_ptr<pstcore::bth_node<std::uint16_t, pstcore::prop_entry>>;

pstcore::heap heap_of(mftest::node_file& file, pstwrite::heap_builder& builder, std::uint32_t root) {
    static pstcore::node_id nid = 0x21;
    builder.set_user_root(root);
    return pstcore::open_heap(file.add(nid += 0x20, builder.build()));
}

// A property tree of one leaf: records (id, type 3 — 0 for id 0 —, value id), then `tail` stray bytes.
bag_tree bag_leaf(mftest::node_file& file, std::initializer_list<std::uint16_t> ids, std::size_t tail = 0) {
    auto builder = heap_builder(0xB5);
    bytes leaf;
    for (const std::uint16_t id : ids) {
        put_le(leaf, id, 2);
        put_le(leaf, id ? 0x0003 : 0x0000, 2);
        put_le(leaf, id, 4);
    }
    leaf.resize(leaf.size() + tail, std::byte{0xFF});
    const auto header = builder.allocate(mftest::bth_header(2, 6, 0, leaf.empty() ? 0 : builder.allocate(leaf)));
    return pstcore::open_bth<std::uint16_t, pstcore::prop_entry>(heap_of(file, builder, header), header);
}

TEST(Bth, LeavesFindTheirKeys) {
    mftest::node_file file;
    const auto empty = bag_leaf(file, {});
    EXPECT_EQ(empty->num_values(), 0u);
    EXPECT_THROW(empty->lookup(1), pstcore::key_not_found<std::uint16_t>);
    // A trailing byte that is no whole record is not read as one.
    EXPECT_EQ(bag_leaf(file, {0x10, 0x20, 0x30}, 1)->num_values(), 3u);
    // A last record out of order (seen in real files: a trailing id 0 / type 0 record) hides no key.
    const auto unsorted = bag_leaf(file, {0x0017, 0x001A, 0x0037, 0x3FFF, 0x0000});
    for (std::uint16_t id : {0x0017, 0x001A, 0x0037, 0x3FFF, 0x0000}) EXPECT_EQ(unsorted->lookup(id).id, id);
}

TEST(Bth, HeaderChecks) {
    mftest::node_file file;
    auto builder = heap_builder(0xB5);
    const auto wide = builder.allocate(mftest::bth_header(4, 6, 0, 0));
    const auto narrow_entry = builder.allocate(mftest::bth_header(2, 4, 0, 0));
    auto wrong_type = mftest::bth_header(2, 6, 0, 0);
    wrong_type[0] = std::byte{0xB6};
    const auto bad_sig = builder.allocate(wrong_type);
    const auto short_header = builder.allocate(bytes(5, std::byte{0xB5}));
    const auto h = heap_of(file, builder, wide);
    const auto open = [&](std::uint32_t id) {
        return mftest::failure_of(
            [&] { bag_tree root = pstcore::open_bth<std::uint16_t, pstcore::prop_entry>(h, id); });
    };
    EXPECT_EQ(open(wide), "invalid key size");
    EXPECT_EQ(open(narrow_entry), "invalid entry size");
    EXPECT_EQ(open(bad_sig), "bth_signature expected");
    EXPECT_EQ(open(short_header), "buffer.size() > size()");
}

// Index levels: 1,000 even keys in leaves of 10, under inner nodes of 10 leaves each, under one root. Odd keys
// and keys between leaves are absent.
TEST(Bth, IndexLevelsLookupAndIterate) {
    mftest::node_file file;
    auto builder = heap_builder(0xB5);
    std::vector<pstwrite::bth_record> records;
    for (std::uint32_t key = 0; key < 2000; key += 2) records.push_back({key, mftest::le(key + 7, 4)});
    pstwrite::bth_options options;
    options.max_per_item = 10;
    const auto header = pstwrite::write_bth(builder, records, options);
    const auto root = pstcore::open_bth<std::uint32_t, std::uint32_t>(heap_of(file, builder, header), header);
    EXPECT_EQ(root->get_level(), 2u);
    for (std::uint32_t key : {0u, 2u, 18u, 20u, 198u, 200u, 1998u}) EXPECT_EQ(root->lookup(key), key + 7);
    for (std::uint32_t key : {1u, 19u, 1999u, 100000u})
        EXPECT_THROW(root->lookup(key), pstcore::key_not_found<std::uint32_t>);
    std::uint32_t expected = 7;
    for (const auto value : pstcore::btree_range<std::uint32_t, std::uint32_t>(root)) {
        ASSERT_EQ(value, expected);
        expected += 2;
    }
    EXPECT_EQ(expected, 2007u);
}

}  // namespace
