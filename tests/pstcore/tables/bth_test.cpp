#include "pstcore/tables/bth.h"

#include <gtest/gtest.h>

#include "pstcore/tables/ltp_fixture.h"
#include "pstcore/tables/property_bag.h"

namespace {

using mftest::bytes;
using mftest::heap_builder;
using mftest::put_le;

pstcore::heap heap_of(mftest::fake_db& db, const heap_builder& builder, std::uint32_t root) {
    static pstcore::node_id nid = 0x21;
    nid += 0x20;
    db.add_node(nid, db.add_stream(builder.build(0xB5, root)));
    return pstcore::open_heap(db.node(nid));
}

template <typename K, typename V>
std::vector<V> all_values(const std::shared_ptr<pstcore::bth_node<K, V>>& root) {
    std::vector<V> values;
    for (const auto& v : pstcore::btree_range<K, V>(root)) values.push_back(v);
    return values;
}

TEST(Bth, EmptyTreeHasNoValues) {
    auto db = mftest::fake_db::create();
    heap_builder builder;
    const auto header = builder.add(mftest::bth_header(4, 4, 0, 0));
    const auto root = pstcore::open_bth<std::uint32_t, std::uint32_t>(heap_of(*db, builder, header), header);
    EXPECT_EQ(root->num_values(), 0u);
    EXPECT_THROW(root->lookup(1), pstcore::key_not_found<std::uint32_t>);
    EXPECT_TRUE(all_values(root).empty());
}

TEST(Bth, LeafRecordsAreCutWhole) {
    auto db = mftest::fake_db::create();
    heap_builder builder;
    bytes leaf;
    for (std::uint16_t id = 1; id <= 5; ++id) {
        put_le(leaf, id * 0x10, 2);
        put_le(leaf, 0x0003, 2);
        put_le(leaf, id * 100, 4);
    }
    leaf.push_back(std::byte{0xFF});  // 41 bytes: the trailing byte is no record
    const auto leaf_id = builder.add(leaf);
    const auto header = builder.add(mftest::bth_header(2, 6, 0, leaf_id));
    const auto root = pstcore::open_bth<std::uint16_t, pstcore::prop_entry>(heap_of(*db, builder, header), header);
    EXPECT_EQ(root->num_values(), 5u);
    EXPECT_EQ(root->lookup(0x30).id, 300u);
}

TEST(Bth, SixteenBitRowPositions) {
    auto db = mftest::fake_db::create();
    heap_builder builder;
    bytes leaf;
    for (std::uint32_t i = 0; i < 4; ++i) {
        put_le(leaf, 0x100 + i, 4);
        put_le(leaf, 10 + i, 2);
    }
    const auto leaf_id = builder.add(leaf);
    const auto header = builder.add(mftest::bth_header(4, 2, 0, leaf_id));
    const auto root = pstcore::open_bth<std::uint32_t, std::uint16_t>(heap_of(*db, builder, header), header);
    const auto& leaf_node = dynamic_cast<const pstcore::bth_leaf_node<std::uint32_t, std::uint16_t>&>(*root);
    EXPECT_EQ(leaf_node.get_key(2), 0x102u);  // bytes 12..17
    EXPECT_EQ(leaf_node.get_value(2), 12u);
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
    using bag_tree = std::shared_ptr<pstcore::bth_node<std::uint16_t, pstcore::prop_entry>>;
    const auto open = [&](std::uint32_t id) -> std::string {
        try {
            bag_tree root = pstcore::open_bth<std::uint16_t, pstcore::prop_entry>(h, id);
        } catch (const std::exception& e) {
            return e.what();
        }
        return "opened";
    };
    EXPECT_EQ(open(wide), "invalid key size");
    EXPECT_EQ(open(narrow_entry), "invalid entry size");
    EXPECT_EQ(open(bad_sig), "bth_signature expected");
    EXPECT_EQ(open(short_header), "buffer.size() > size()");
}

// Index levels: 3,000 keys in leaves of 100, under inner nodes of 10 leaves each, under one root; the items are
// spread over many heap pages.
TEST(Bth, IndexLevelsLookupAndIterate) {
    auto db = mftest::fake_db::create();
    heap_builder builder(1024);
    std::vector<std::pair<std::uint32_t, std::uint32_t>> level1;  // first key, heap id
    for (std::uint32_t leaf = 0; leaf < 30; ++leaf) {
        bytes item;
        for (std::uint32_t k = 0; k < 100; ++k) {
            const std::uint32_t key = (leaf * 100 + k) * 2;  // even keys only
            put_le(item, key, 4);
            put_le(item, key + 7, 4);
        }
        level1.emplace_back(leaf * 200, builder.add(item, leaf > 0));
    }
    std::vector<std::pair<std::uint32_t, std::uint32_t>> level2;
    for (std::size_t group = 0; group < 3; ++group) {
        bytes item;
        for (std::size_t i = group * 10; i < group * 10 + 10; ++i) {
            put_le(item, level1[i].first, 4);
            put_le(item, level1[i].second, 4);
        }
        level2.emplace_back(level1[group * 10].first, builder.add(item, true));
    }
    bytes top;
    for (const auto& [key, id] : level2) {
        put_le(top, key, 4);
        put_le(top, id, 4);
    }
    const auto top_id = builder.add(top);
    const auto header = builder.add(mftest::bth_header(4, 4, 2, top_id));
    ASSERT_GT(builder.page_count(), 30u);
    const auto root = pstcore::open_bth<std::uint32_t, std::uint32_t>(heap_of(*db, builder, header), header);
    EXPECT_EQ(root->get_level(), 2u);
    for (std::uint32_t key : {0u, 2u, 198u, 200u, 1998u, 2000u, 5998u}) EXPECT_EQ(root->lookup(key), key + 7);
    for (std::uint32_t key : {1u, 199u, 5999u, 100000u})
        EXPECT_THROW(root->lookup(key), pstcore::key_not_found<std::uint32_t>);
    const auto values = all_values(root);
    ASSERT_EQ(values.size(), 3000u);
    for (std::size_t i = 0; i < values.size(); ++i) ASSERT_EQ(values[i], i * 2 + 7);
}

// A leaf whose last record is out of order (seen in real files: a trailing id 0 / type 0 record) still finds
// every key, the largest included.
TEST(Bth, UnsortedTrailingRecordDoesNotHideKeys) {
    auto db = mftest::fake_db::create();
    heap_builder builder;
    bytes leaf;
    for (std::uint16_t id : {0x0017, 0x001A, 0x0037, 0x3FFF, 0x0000}) {
        put_le(leaf, id, 2);
        put_le(leaf, id ? 0x0003 : 0x0000, 2);
        put_le(leaf, id, 4);
    }
    const auto leaf_id = builder.add(leaf);
    const auto header = builder.add(mftest::bth_header(2, 6, 0, leaf_id));
    const auto root = pstcore::open_bth<std::uint16_t, pstcore::prop_entry>(heap_of(*db, builder, header), header);
    for (std::uint16_t id : {0x0017, 0x001A, 0x0037, 0x3FFF, 0x0000}) EXPECT_EQ(root->lookup(id).id, id);
}

}  // namespace
