// Files from the writer read back through the reader's node database: every node's bytes come back exactly,
// subnodes nest and list in order, and both B-trees grow index levels.

#include <gtest/gtest.h>

#include <tuple>

#include "ndb_check.h"
#include "pstcore/ndb/database.h"
#include "pstcore/ndb/node.h"
#include "pstwrite/ndb_writer.h"
#include "support/test_helpers.h"

namespace {

using ndbcheck::max_data;
using ndbcheck::pattern;
using pstwrite::crypt;
using pstwrite::format;

using mftest::read_all;

struct sizes_case {
    std::uint32_t nid;
    std::size_t size;
};

// Sizes around every boundary of the data tree, as nodes of one file.
std::vector<sizes_case> boundary_sizes(format f) {
    const std::size_t m = max_data(f);
    return {{0x21, 0}, {0x61, 1}, {0x122, m}, {0x12D, m + 1}, {0x12E, 7 * m + 13}, {0x12F, 2 * m}};
}

class roundtrip_test : public ::testing::TestWithParam<std::tuple<format, crypt>> {};

TEST_P(roundtrip_test, NodesAndSubnodesReadBackByteExact) {
    const auto [f, c] = GetParam();
    pstwrite::ndb_writer w(f, c);
    for (const auto& s : boundary_sizes(f)) w.add_node(s.nid, s.nid == 0x21 ? 0 : 0x122, pattern(s.size, s.nid));

    // A message with more subnodes than one SLBLOCK holds, one of them nested two deep.
    const std::uint32_t count = f == format::unicode ? 341 : 682;
    std::vector<pstwrite::subnode> subs;
    for (std::uint32_t i = 1; i <= count; ++i)
        subs.emplace_back((i << 5) | 0x1F, pattern(i % 7 == 0 ? max_data(f) + 5 : i % 50, i));
    subs.emplace_back(0x10005, pattern(77, 1),
                      std::vector<pstwrite::subnode>{{0x20004, pattern(88, 2), {{0x3F, pattern(99, 3)}}}});
    w.add_node(0x200024, 0x8082, pattern(500, 9), subs);
    // Enough small nodes for a branch level in both trees.
    for (std::uint32_t i = 0; i < 700; ++i) w.add_node(((0x10002 + i) << 5) | 4, 0x8082, pattern(i % 20, i));

    const auto db = pstcore::open_database(w.finish_to_memory());

    for (const auto& s : boundary_sizes(f)) {
        SCOPED_TRACE(s.nid);
        const auto n = db->lookup_node(s.nid);
        EXPECT_EQ(n.size(), s.size);
        EXPECT_EQ(read_all(n), pattern(s.size, s.nid));
        EXPECT_EQ(n.get_parent_id(), s.nid == 0x21 ? 0u : 0x122u);
    }
    const auto msg = db->lookup_node(0x200024);
    EXPECT_EQ(read_all(msg), pattern(500, 9));
    std::vector<std::uint32_t> ids;
    for (const auto& si : msg.subnodes()) ids.push_back(si.id);
    ASSERT_EQ(ids.size(), count + 1);
    EXPECT_TRUE(std::is_sorted(ids.begin(), ids.end()));
    for (std::uint32_t i = 1; i <= count; i += 97) {
        SCOPED_TRACE(i);
        EXPECT_EQ(read_all(msg.lookup((i << 5) | 0x1F)), pattern(i % 7 == 0 ? max_data(f) + 5 : i % 50, i));
    }
    const auto nested = msg.lookup(0x10005).lookup(0x20004);
    EXPECT_EQ(read_all(nested), pattern(88, 2));
    EXPECT_EQ(read_all(nested.lookup(0x3F)), pattern(99, 3));

    EXPECT_GE(w.where().nbt_root.level, 1);
    EXPECT_GE(w.where().bbt_root.level, 1);
}

INSTANTIATE_TEST_SUITE_P(all, roundtrip_test,
                         ::testing::Combine(::testing::Values(format::unicode, format::ansi),
                                            ::testing::Values(crypt::none, crypt::permute, crypt::cyclic)));

// Two-level data trees whose first XBLOCK is full: Unicode past 1021 x 8176 bytes, ANSI past 2043 x 8180.
class xxblock_test : public ::testing::TestWithParam<std::tuple<format, crypt, std::size_t>> {};

TEST_P(xxblock_test, ReadsBackWholeAndAcrossTheXblockBoundary) {
    const auto [f, c, size] = GetParam();
    pstwrite::ndb_writer w(f, c);
    const auto data = pattern(size, 3);
    // Streamed in odd pieces as a large attachment would be, inside a subnode.
    auto s = w.begin_data();
    for (std::size_t at = 0; at < size; at += 1000003)
        s.append(std::span(data).subspan(at, std::min<std::size_t>(1000003, size - at)));
    const auto ref = w.end_data(s);
    w.add_node(0x200024, 0x8082, pattern(10, 1), {{0x8025, pattern(20, 2), {{0x803F, ref}}}});
    const auto db = pstcore::open_database(w.finish_to_memory());
    EXPECT_GE(w.where().bbt_root.level, 2);  // a three-level BBT on the way
    const auto n = db->lookup_node(0x200024).lookup(0x8025).lookup(0x803F);
    ASSERT_EQ(n.size(), size);
    EXPECT_EQ(read_all(n), data);
    const std::size_t boundary = (f == format::unicode ? 1021 : 2043) * max_data(f);
    std::vector<std::byte> part(40);
    ASSERT_EQ(n.read(part, boundary - 20), 40u);
    EXPECT_TRUE(std::equal(part.begin(), part.end(), data.begin() + static_cast<std::ptrdiff_t>(boundary - 20)));
}

INSTANTIATE_TEST_SUITE_P(both, xxblock_test,
                         ::testing::Values(std::make_tuple(format::unicode, crypt::cyclic, std::size_t{8347696 + 9000}),
                                           std::make_tuple(format::ansi, crypt::permute, std::size_t{16711740 + 100})));

}  // namespace
