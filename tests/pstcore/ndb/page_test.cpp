#include "pstcore/ndb/page.h"

#include <gtest/gtest.h>

#include "ndb_image.h"
#include "pstcore/ndb/database.h"
#include "pstcore/ndb/exceptions.h"

namespace pstcore {
namespace {

using ndbtest::failure_of;
using ndbtest::image;

class PageTest : public ::testing::TestWithParam<bool> {
protected:
    bool unicode() const { return GetParam(); }

    // A file whose NBT is a single leaf with the given node ids.
    image with_nbt_leaf(const std::vector<node_id>& ids) {
        image img(unicode());
        std::vector<node_info> nodes;
        for (auto id : ids) nodes.push_back({id, 0, 0, 0});
        img.finish({}, nodes);
        return img;
    }
};

TEST_P(PageTest, LeafLookupFindsOnlyExactKeys) {
    const auto db = open_database(with_nbt_leaf({10, 20, 30}).raw());
    EXPECT_EQ(db->lookup_node_info(20).id, 20u);
    for (node_id missing : {5u, 25u, 35u}) EXPECT_THROW(db->lookup_node_info(missing), key_not_found<unsigned int>);
    try {
        db->lookup_node_info(25);
    } catch (const key_not_found<unsigned int>& e) {
        EXPECT_EQ(e.which(), 25u);
        EXPECT_STREQ(e.what(), "key not found");
    }
}

TEST_P(PageTest, EmptyLeafFindsNothing) {
    const auto db = open_database(with_nbt_leaf({}).raw());
    EXPECT_THROW(db->lookup_node_info(1), key_not_found<unsigned int>);
    const auto root = db->read_nbt_root();
    EXPECT_EQ(root->binary_search(1), -1);
    const btree_range<node_id, node_info> range(root);
    EXPECT_EQ(range.begin(), range.end());
}

TEST_P(PageTest, MultiLevelTreesLookUpAndIterateInOrder) {
    std::vector<node_id> ids;
    for (node_id i = 1; i <= 700; ++i) ids.push_back(i * 32 + 2);  // enough for three NBT levels in Unicode
    const auto db = open_database(with_nbt_leaf(ids).raw());
    EXPECT_GE(db->read_nbt_root()->get_level(), 1u);
    EXPECT_EQ(db->lookup_node_info(ids[0]).id, ids[0]);
    EXPECT_EQ(db->lookup_node_info(ids[350]).id, ids[350]);
    EXPECT_EQ(db->lookup_node_info(ids.back()).id, ids.back());
    EXPECT_THROW(db->lookup_node_info(ids.back() + 1), key_not_found<unsigned int>);
    EXPECT_THROW(db->lookup_node_info(1), key_not_found<unsigned int>);  // below the inner page's first key

    std::vector<node_id> walked;
    for (const auto& info : btree_range<node_id, node_info>(db->read_nbt_root())) walked.push_back(info.id);
    EXPECT_EQ(walked, ids);

    // With room for two pages a tree, pages come and go while every answer stays the same.
    db->set_page_cache_limit(2);
    for (const node_id id : ids) ASSERT_EQ(db->lookup_node_info(id).id, id);
    walked.clear();
    for (const auto& info : btree_range<node_id, node_info>(db->read_nbt_root())) walked.push_back(info.id);
    EXPECT_EQ(walked, ids);
    EXPECT_LE(db->cached_page_count(), 4u);
}

TEST_P(PageTest, LocationChecksComeBeforeReadingInTheirOrder) {
    auto img = with_nbt_leaf({1});
    const auto db = open_database(img.raw());
    const std::uint64_t eof = img.raw().size();
    // Misaligned and past the end: the end is tested first.
    const std::pair<std::uint64_t, const char*> cases[] = {
        {eof - 100, "nonsensical page location; past eof"},
        {1000, "nonsensical page location; not sector aligned"},
        {eof - 511, "nonsensical page location; past eof"},
    };
    for (const auto& [address, what] : cases)
        EXPECT_EQ(failure_of<unexpected_page>([&] { db->read_nbt_page({1, address}); }), what);
}

TEST_P(PageTest, PageFieldChecks) {
    auto img = with_nbt_leaf({1, 2});
    const auto db0 = open_database(img.raw());
    const page_info root{db0->read_nbt_root()->get_page_id(), db0->read_nbt_root()->get_address()};
    const std::size_t trailer = unicode() ? 496 : 500;

    {
        const auto db = open_database(img.raw());
        EXPECT_EQ(failure_of<unexpected_page>([&] {
                      db->read_nbt_page({root.id + 1, root.address});
                  }),
                  "wrong page id");
        EXPECT_EQ(failure_of<unexpected_page>([&] { db->read_bbt_page(root); }), "page_type != page_type_bbt");
        EXPECT_EQ(failure_of<unexpected_page>([&] { db->read_nbt_nonleaf_page(root); }), "page_type != page_type_nbt");
        EXPECT_NO_THROW(db->read_nbt_leaf_page(root));
    }
    {
        auto bad = img;
        bad.put8(root.address + trailer + 1, 0x80);
        EXPECT_EQ(failure_of<database_corrupt>([&] { open_database(bad.raw())->lookup_node_info(1); }),
                  "ptype != ptype repeat?");
    }
    {
        auto bad = img;
        bad.put16(root.address + trailer + 2, 0xBEEF);
        try {
            open_database(bad.raw())->lookup_node_info(1);
            FAIL();
        } catch (const sig_mismatch& e) {
            EXPECT_STREQ(e.what(), "page sig mismatch");
            EXPECT_EQ(e.location(), root.address);
            EXPECT_EQ(e.first_signature(), compute_signature(root.id, root.address));
            EXPECT_EQ(e.second_signature(), 0xBEEFu);
        }
    }
    {
        // More entries than the page has room for.
        auto bad = img;
        bad.put8(root.address + (unicode() ? 488 : 496), unicode() ? 16 : 32);
        EXPECT_EQ(failure_of<database_corrupt>([&] { open_database(bad.raw())->lookup_node_info(1); }),
                  "page entry count exceeds page");
    }
}

TEST_P(PageTest, PageThatPointsBackAtAnAncestorIsRejected) {
    image img(unicode());
    // root (level 1) -> child page that claims level 1 too, pointing at the root: a loop.
    const page_info root{0x200, img.next_page_address()};
    const page_info child{0x201, img.next_page_address()};
    img.put_page(root, 0x81, 1, 1, img.nonleaf_entry(1, child));
    img.put_page(child, 0x81, 1, 1, img.nonleaf_entry(1, root));
    const page_info bbt{0x202, img.next_page_address()};
    img.put_page(bbt, 0x80, 0, 0, {});
    img.set_roots(root, bbt);
    const auto db = open_database(img.raw());
    EXPECT_EQ(failure_of<database_corrupt>([&] { db->lookup_node_info(1); }), "btree level mismatch");
    EXPECT_THROW(for (auto& v : btree_range<node_id, node_info>(db->read_nbt_root()))(void) v, database_corrupt);
}

TEST_P(PageTest, ImplausiblyDeepTreeIsRejected) {
    image img(unicode());
    const page_info root{0x200, img.next_page_address()};
    img.put_page(root, 0x81, 9, 0, {});
    const page_info bbt{0x202, img.next_page_address()};
    img.put_page(bbt, 0x80, 0, 0, {});
    img.set_roots(root, bbt);
    EXPECT_EQ(failure_of<database_corrupt>([&] { open_database(img.raw())->lookup_node_info(1); }), "btree too deep");
}

TEST_P(PageTest, WalkOverSharedChildrenEndsInsteadOfMultiplying) {
    image img(unicode(), 0, 0x800);  // a small file: few pages fit in it
    const page_info leaf{0x300, img.next_page_address()};
    img.put_page(leaf, 0x81, 0, 1, img.nbt_leaf_entry({1, 0, 0, 0}));
    const page_info root{0x301, 0x400 + 512 * 2};
    ndbtest::bytes entries;
    for (int i = 0; i < 10; ++i) {
        auto e = img.nonleaf_entry(1, leaf);
        entries.insert(entries.end(), e.begin(), e.end());
    }
    img.raw().resize(0x1000);
    img.put_page(root, 0x81, 1, 10, entries);
    const page_info bbt{0x302, 0x400 + 512 * 3};
    img.put_page(bbt, 0x80, 0, 0, {});
    img.set_roots(root, bbt);
    const auto db = open_database(img.raw());
    EXPECT_EQ(failure_of<database_corrupt>([&] {
                  for (auto& v : btree_range<node_id, node_info>(db->read_nbt_root())) (void)v;
              }),
              "btree walk exceeds file");
}

INSTANTIATE_TEST_SUITE_P(Formats, PageTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Unicode" : "Ansi"; });

}  // namespace
}  // namespace pstcore
