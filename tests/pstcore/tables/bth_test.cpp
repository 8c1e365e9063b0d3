#include "pstcore/tables/bth.h"

#include <gtest/gtest.h>

#include "pstcore/tables/ltp_fixture.h"
#include "pstcore/tables/property_bag.h"

namespace {

using mftest::bytes;
using mftest::heap_builder;
using mftest::put_le;
using bag_tree = std::shared_ptr<pstcore::bth_node<std::uint16_t, pstcore::prop_entry>>;

pstcore::heap heap_of(mftest::fake_db& db, const heap_builder& builder, std::uint32_t root) {
    static pstcore::node_id nid = 0x21;
    nid += 0x20;
    db.add_node(nid, db.add_stream(builder.build(0xB5, root)));
    return pstcore::open_heap(db.node(nid));
}

// A property tree of one leaf: records (id, type 3 — 0 for id 0 —, value id), then `tail` stray bytes.
bag_tree bag_leaf(mftest::fake_db& db, std::initializer_list<std::uint16_t> ids, std::size_t tail = 0) {
    heap_builder builder;
    bytes leaf;
    for (const std::uint16_t id : ids) {
        put_le(leaf, id, 2);
        put_le(leaf, id ? 0x0003 : 0x0000, 2);
        put_le(leaf, id, 4);
    }
    leaf.resize(leaf.size() + tail, std::byte{0xFF});
    const auto header = builder.add(mftest::bth_header(2, 6, 0, leaf.empty() ? 0 : builder.add(leaf)));
    return pstcore::open_bth<std::uint16_t, pstcore::prop_entry>(heap_of(db, builder, header), header);
}

TEST(Bth, LeavesFindTheirKeys) {
    auto db = mftest::fake_db::create();
    const auto empty = bag_leaf(*db, {});
    EXPECT_EQ(empty->num_values(), 0u);
    EXPECT_THROW(empty->lookup(1), pstcore::key_not_found<std::uint16_t>);
    // A trailing byte that is no whole record is not read as one.
    EXPECT_EQ(bag_leaf(*db, {0x10, 0x20, 0x30}, 1)->num_values(), 3u);
    // A last record out of order (seen in real files: a trailing id 0 / type 0 record) hides no key.
    const auto unsorted = bag_leaf(*db, {0x0017, 0x001A, 0x0037, 0x3FFF, 0x0000});
    for (std::uint16_t id : {0x0017, 0x001A, 0x0037, 0x3FFF, 0x0000}) EXPECT_EQ(unsorted->lookup(id).id, id);
}

TEST(Bth, SixteenBitRowPositions) {
    auto db = mftest::fake_db::create();
    heap_builder builder;
    bytes leaf;
    for (std::uint32_t i = 0; i < 4; ++i) {
        put_le(leaf, 0x100 + i, 4);
        put_le(leaf, 10 + i, 2);
    }
    const auto header = builder.add(mftest::bth_header(4, 2, 0, builder.add(leaf)));
    const auto root = pstcore::open_bth<std::uint32_t, std::uint16_t>(heap_of(*db, builder, header), header);
    EXPECT_EQ(root->lookup(0x102), 12u);  // bytes 12..17
}

TEST(Bth, HeaderChecks) {
    auto db = mftest::fake_db::create();
    heap_builder builder;
    const auto wide = builder.add(mftest::bth_header(4, 6, 0, 0));
    const auto narrow_entry = builder.add(mftest::bth_header(2, 4, 0, 0));
    auto wrong_type = mftest::bth_header(2, 6, 0, 0);
    wrong_type[0] = std::byte{0xB6};
    const auto bad_sig = builder.add(wrong_type);
    const auto short_header = builder.add(bytes(5, std::byte{0xB5}));
    const auto h = heap_of(*db, builder, wide);
    const auto open = [&](std::uint32_t id) {
        return mftest::failure_of(
            [&] { bag_tree root = pstcore::open_bth<std::uint16_t, pstcore::prop_entry>(h, id); });
    };
    EXPECT_EQ(open(wide), "invalid key size");
    EXPECT_EQ(open(narrow_entry), "invalid entry size");
    EXPECT_EQ(open(bad_sig), "bth_signature expected");
    EXPECT_EQ(open(short_header), "buffer.size() > size()");
}

// Index levels: 3,000 even keys in leaves of 100, under inner nodes of 10 leaves each, under one root; the items
// are spread over many heap pages. Odd keys and keys between leaves are absent.
TEST(Bth, IndexLevelsLookupAndIterate) {
    auto db = mftest::fake_db::create();
    heap_builder builder(1024);
    const auto index_item = [](const std::vector<std::pair<std::uint32_t, std::uint32_t>>& entries) {
        bytes item;
        for (const auto& [key, value] : entries) {
            put_le(item, key, 4);
            put_le(item, value, 4);
        }
        return item;
    };
    std::vector<std::pair<std::uint32_t, std::uint32_t>> leaves, inner, records;
    for (std::uint32_t leaf = 0; leaf < 30; ++leaf) {
        records.clear();
        for (std::uint32_t key = leaf * 200; key < leaf * 200 + 200; key += 2) records.emplace_back(key, key + 7);
        leaves.emplace_back(leaf * 200, builder.add(index_item(records), leaf > 0));
    }
    for (std::size_t group = 0; group < 30; group += 10)
        inner.emplace_back(leaves[group].first,
                           builder.add(index_item({leaves.begin() + group, leaves.begin() + group + 10}), true));
    const auto header = builder.add(mftest::bth_header(4, 4, 2, builder.add(index_item(inner))));
    ASSERT_GT(builder.page_count(), 30u);
    const auto root = pstcore::open_bth<std::uint32_t, std::uint32_t>(heap_of(*db, builder, header), header);
    EXPECT_EQ(root->get_level(), 2u);
    for (std::uint32_t key : {0u, 2u, 198u, 200u, 1998u, 2000u, 5998u}) EXPECT_EQ(root->lookup(key), key + 7);
    for (std::uint32_t key : {1u, 199u, 5999u, 100000u})
        EXPECT_THROW(root->lookup(key), pstcore::key_not_found<std::uint32_t>);
    std::uint32_t expected = 7;
    for (const auto value : pstcore::btree_range<std::uint32_t, std::uint32_t>(root)) {
        ASSERT_EQ(value, expected);
        expected += 2;
    }
    EXPECT_EQ(expected, 6007u);
}

}  // namespace
