#include "pstcore/ndb/page.h"

#include <gtest/gtest.h>

#include "pstcore/ndb/database.h"
#include "pstcore/ndb/exceptions.h"
#include "written_file.h"

namespace pstcore {
namespace {

using ndbtest::failure_of;

class PageTest : public ::testing::TestWithParam<bool> {
protected:
    bool unicode() const { return GetParam(); }

    // A file with the given node ids, each with a little data.
    ndbtest::file with_nodes(const std::vector<node_id>& ids) const {
        std::vector<ndbtest::written_node> nodes;
        for (auto id : ids) nodes.push_back({id, ndbtest::filled(4)});
        return ndbtest::write(unicode() ? ndbtest::format::unicode : ndbtest::format::ansi, ndbtest::crypt::none,
                              nodes);
    }
    std::size_t count_at() const { return unicode() ? 488 : 496; }  // cEnt; cLevel is three bytes on
};

TEST_P(PageTest, EmptyTreeFindsNothing) {
    const auto db = with_nodes({}).open();
    EXPECT_THROW(db->lookup_node_info(1), key_not_found<unsigned int>);
    const auto root = db->read_nbt_root();
    EXPECT_EQ(root->binary_search(1), -1);
    const btree_range<node_id, node_info> range(root);
    EXPECT_EQ(range.begin(), range.end());
}

TEST_P(PageTest, MultiLevelTreesLookUpAndIterateInOrder) {
    std::vector<node_id> ids;
    for (node_id i = 1; i <= 700; ++i) ids.push_back(i * 32 + 2);  // enough for three NBT levels in Unicode
    const auto db = with_nodes(ids).open();
    EXPECT_GE(db->read_nbt_root()->get_level(), 1u);
    EXPECT_EQ(db->lookup_node_info(ids[0]).id, ids[0]);
    EXPECT_EQ(db->lookup_node_info(ids[350]).id, ids[350]);
    EXPECT_EQ(db->lookup_node_info(ids.back()).id, ids.back());
    EXPECT_THROW(db->lookup_node_info(ids.back() + 1), key_not_found<unsigned int>);
    EXPECT_THROW(db->lookup_node_info(1), key_not_found<unsigned int>);  // below the inner page's first key
    try {
        db->lookup_node_info(ids[350] + 1);
        ADD_FAILURE();
    } catch (const key_not_found<unsigned int>& e) {
        EXPECT_EQ(e.which(), ids[350] + 1);
        EXPECT_STREQ(e.what(), "key not found");
    }

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
    const auto img = with_nodes({0x21});
    const auto db = img.open();
    const std::uint64_t eof = img.raw.size();
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
    const auto img = with_nodes({0x21, 0x22});
    const page_info root{img.where.nbt_root.bid, img.where.nbt_root.ib};
    const std::size_t trailer = unicode() ? 496 : 500;
    {
        const auto db = img.open();
        EXPECT_EQ(failure_of<unexpected_page>([&] {
                      db->read_nbt_page({root.id + 1, root.address});
                  }),
                  "wrong page id");
        EXPECT_EQ(failure_of<unexpected_page>([&] { db->read_bbt_page(root); }), "page_type != page_type_bbt");
        EXPECT_EQ(failure_of<unexpected_page>([&] { db->read_nbt_nonleaf_page(root); }), "page_type != page_type_nbt");
        EXPECT_NO_THROW(db->read_nbt_leaf_page(root));
    }
    // The repeated page type differs; then one entry more than the page has room for.
    const std::tuple<std::size_t, std::uint8_t, const char*> cases[] = {
        {trailer + 1, 0x80, "ptype != ptype repeat?"},
        {count_at(), unicode() ? 16 : 32, "page entry count exceeds page"},
    };
    for (const auto& [at, value, what] : cases) {
        auto bad = img;
        bad.put(root.address + at, value, 1);
        EXPECT_EQ(failure_of<database_corrupt>([&] { bad.open()->lookup_node_info(0x21); }), what);
    }
}

// Enough nodes for an NBT of three levels in ANSI (leaves of 31, branches of 41) and four in Unicode (15, 20).
class DamagedTree : public PageTest {
protected:
    ndbtest::file tree() const {
        std::vector<node_id> ids;
        for (node_id i = 1; i <= (unicode() ? 6100u : 1300u); ++i) ids.push_back(i * 32 + 2);
        return with_nodes(ids);
    }
    // Entry `k` of a branch page becomes a copy of its first entry, and the page counts `count` entries.
    static void repeat_first_entry(ndbtest::file& img, std::uint64_t page, std::size_t count) {
        const std::size_t size = 3 * img.id_size();
        for (std::size_t k = 1; k < count; ++k)
            std::copy_n(img.raw.begin() + static_cast<std::ptrdiff_t>(page), size,
                        img.raw.begin() + static_cast<std::ptrdiff_t>(page + k * size));
        img.put(page + (img.unicode() ? 488 : 496), count, 1);
    }
};

// The root's first entry names the root itself: a loop.
TEST_P(DamagedTree, PageThatPointsBackAtAnAncestorIsRejected) {
    auto img = tree();
    const auto root = img.where.nbt_root;
    img.put(root.ib + img.id_size(), root.bid, img.id_size());
    img.put(root.ib + 2 * img.id_size(), root.ib, img.id_size());
    const auto db = img.open();
    EXPECT_EQ(failure_of<database_corrupt>([&] { db->lookup_node_info(0x22); }), "btree level mismatch");
    EXPECT_THROW(for (auto& v : btree_range<node_id, node_info>(db->read_nbt_root()))(void) v, database_corrupt);
}

TEST_P(DamagedTree, ImplausiblyDeepTreeIsRejected) {
    auto img = tree();
    img.put(img.where.nbt_root.ib + count_at() + 3, 9, 1);
    EXPECT_EQ(failure_of<database_corrupt>([&] { img.open()->lookup_node_info(0x22); }), "btree too deep");
}

// Every entry of each branch page on the left edge names the next page down that edge: the walk meets one leaf
// more often than the file has pages.
TEST_P(DamagedTree, WalkOverSharedChildrenEndsInsteadOfMultiplying) {
    auto img = tree();
    std::uint64_t page = img.where.nbt_root.ib;
    for (int level = img.where.nbt_root.level; level > 0; --level) {
        repeat_first_entry(img, page, unicode() ? 20 : 41);
        page = img.get(page + 2 * img.id_size(), img.id_size());
    }
    const auto db = img.open();
    EXPECT_EQ(failure_of<database_corrupt>([&] {
                  for (auto& v : btree_range<node_id, node_info>(db->read_nbt_root())) (void)v;
              }),
              "btree walk exceeds file");
}

INSTANTIATE_TEST_SUITE_P(Formats, PageTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Unicode" : "Ansi"; });
INSTANTIATE_TEST_SUITE_P(Formats, DamagedTree, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Unicode" : "Ansi"; });

}  // namespace
}  // namespace pstcore
