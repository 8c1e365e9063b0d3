// Each damaged variant changes only what its fault names, and makes the reader fail with the exception meant
// for that fault; the layout found by scanning a file agrees with the one the writer reported.

#include "pstwrite/damage.h"

#include <gtest/gtest.h>

#include <tuple>
#include <typeinfo>

#include "ndb_check.h"
#include "pstcore/ndb/database.h"
#include "pstcore/ndb/exceptions.h"
#include "pstcore/ndb/node.h"
#include "pstwrite/file_layout.h"
#include "pstwrite/ndb_writer.h"
#include "support/test_helpers.h"

namespace {

using ndbcheck::max_data;
using ndbcheck::pattern;
using pstwrite::crypt;
using pstwrite::fault;
using pstwrite::format;

struct good_file {
    std::vector<std::byte> bytes;
    pstwrite::layout where;
};

// Lowest node 0x21 with one block, 0x12E with an XBLOCK, and enough nodes for a branch level in the NBT (whose
// keys every lookup in read_everything goes through).
good_file make_good(format f) {
    pstwrite::ndb_writer w(f, crypt::permute);
    w.add_node(0x21, 0, pattern(100, 1));
    w.add_node(0x12E, 0x122, pattern(3 * max_data(f) + 1, 2));
    for (std::uint32_t i = 0; i < 200; ++i) w.add_node(((0x10001 + i) << 5) | 4, 0x8082, pattern(10, i));
    good_file g;
    g.bytes = w.finish_to_memory();
    g.where = w.where();
    return g;
}

// Opens the file and reads every node's data, as a reader's test would.
void read_everything(std::vector<std::byte> bytes, const pstwrite::layout& where) {
    const auto db = pstcore::open_database(std::move(bytes));
    for (const auto& n : where.nodes) {
        const auto node = db->lookup_node(n.nid);
        std::vector<std::byte> data(node.size());
        node.read(data, 0);
    }
}

struct expectation {
    fault f;
    const std::type_info& type;
    const char* what;
};

const std::vector<expectation>& expectations() {
    static const std::vector<expectation> all{
        {fault::header_crc_partial, typeid(pstcore::crc_fail), "header dwCRCPartial failure"},
        {fault::header_crc_full, typeid(pstcore::crc_fail), "header dwCRCFull failure"},
        {fault::page_signature, typeid(pstcore::sig_mismatch), "page sig mismatch"},
        {fault::block_signature, typeid(pstcore::sig_mismatch), "block sig mismatch"},
        {fault::page_type, typeid(pstcore::unexpected_page), "page_type != page_type_nbt"},
        {fault::truncated, typeid(std::out_of_range), "fread failed"},
        {fault::page_past_eof, typeid(pstcore::unexpected_page), "nonsensical page location; past eof"},
        {fault::block_past_eof, typeid(pstcore::unexpected_block), "nonsensical block location; past eof"},
        {fault::btree_loop, typeid(pstcore::database_corrupt), "btree level mismatch"},
        {fault::cent_too_large, typeid(pstcore::database_corrupt), "page entry count exceeds page"},
        {fault::xblock_lcb_total, typeid(pstcore::database_corrupt), "extended block page count mismatch"},
    };
    return all;
}

class damage_test : public ::testing::TestWithParam<std::tuple<format, std::size_t>> {};

TEST_P(damage_test, ReaderFailsWithTheExceptionForTheFault) {
    const auto [f, index] = GetParam();
    const expectation& e = expectations().at(index);
    const good_file good = make_good(f);
    ASSERT_NO_THROW(read_everything(good.bytes, good.where));
    if (e.f == fault::header_crc_full && f == format::ansi) {
        EXPECT_THROW(pstwrite::damage(good.bytes, good.where, e.f), std::invalid_argument);
        return;
    }
    const auto bad = pstwrite::damage(good.bytes, good.where, e.f);
    if (e.f == fault::truncated) {
        EXPECT_LT(bad.size(), good.bytes.size());
    } else {
        ASSERT_EQ(bad.size(), good.bytes.size());
        // One fault: the changed bytes sit within one header, page or block (plus its CRC).
        std::size_t first = bad.size(), last = 0;
        for (std::size_t i = 0; i < bad.size(); ++i)
            if (bad[i] != good.bytes[i]) {
                first = std::min(first, i);
                last = i;
            }
        ASSERT_LT(first, bad.size());
        EXPECT_LT(last - first, 8192u);
    }
    try {
        read_everything(bad, good.where);
        ADD_FAILURE() << "no exception";
    } catch (const std::exception& x) {
        EXPECT_EQ(typeid(x), e.type) << typeid(x).name();
        EXPECT_STREQ(x.what(), e.what);
    }
}

INSTANTIATE_TEST_SUITE_P(all, damage_test,
                         ::testing::Combine(::testing::Values(format::unicode, format::ansi),
                                            ::testing::Range<std::size_t>(0, 11)));

TEST(damage, FaultNamesAndWhatEachFaultNeeds) {
    EXPECT_EQ(pstwrite::fault_names().size(), 11u);
    EXPECT_EQ(pstwrite::fault_from_name("btree-loop"), fault::btree_loop);
    EXPECT_EQ(pstwrite::fault_from_name("xblock-lcb-total"), fault::xblock_lcb_total);
    EXPECT_EQ(pstwrite::fault_from_name("btree_loop"), std::nullopt);
    // A loop needs a branch page, a wrong XBLOCK total an XBLOCK.
    pstwrite::ndb_writer w(format::unicode, crypt::none);
    w.add_node(0x21, 0, pattern(10, 1));
    const auto bytes = w.finish_to_memory();
    EXPECT_THROW(pstwrite::damage(bytes, w.where(), fault::btree_loop), std::invalid_argument);
    EXPECT_THROW(pstwrite::damage(bytes, w.where(), fault::xblock_lcb_total), std::invalid_argument);
}

// `pstwrite damage` on a file scans its layout: every recipe must hit the same bytes as with the layout the
// writer reported.
TEST(file_layout, ScanAgreesWithTheWriter) {
    for (format f : {format::unicode, format::ansi}) {
        pstwrite::ndb_writer w(f, crypt::cyclic);
        w.add_node(0x21, 0, pattern(100, 1));
        w.add_node(0x61, 0, pattern(1021 * max_data(f) + 1, 2));
        for (std::uint32_t i = 0; i < 200; ++i)
            w.add_node(((0x10001 + i) << 5) | 4, 0x8082, pattern(10, i), {{0x3F, pattern(5, i)}});
        // Subnodes through an SIBLOCK, one with an XBLOCK of its own and a nested tree.
        std::vector<pstwrite::subnode> subs;
        for (std::uint32_t i = 1; i <= 700; ++i)
            subs.emplace_back((i << 5) | 0x1F, pattern(i == 5 ? 3 * max_data(f) : 3, i));
        subs.emplace_back(0x10005, pattern(7, 1), std::vector<pstwrite::subnode>{{0x3F, pattern(9, 2)}});
        w.add_node(0x200004, 0x8082, pattern(1, 1), subs);
        const auto bytes = w.finish_to_memory();
        const auto& want = w.where();
        const auto got = pstwrite::scan_layout(bytes);
        EXPECT_EQ(got.fmt, f);
        EXPECT_EQ(got.enc, crypt::cyclic);
        EXPECT_EQ(got.file_size, bytes.size());
        for (const auto& name : pstwrite::fault_names()) {
            const fault flt = *pstwrite::fault_from_name(name);
            if (flt == fault::header_crc_full && f == format::ansi) continue;
            EXPECT_EQ(pstwrite::damage(bytes, got, flt), pstwrite::damage(bytes, want, flt)) << name;
        }
    }
}

TEST(file_layout, RejectsWhatIsNotAPstFile) {
    EXPECT_THROW(pstwrite::scan_layout(std::vector<std::byte>(100)), std::invalid_argument);
    EXPECT_THROW(pstwrite::scan_layout(std::vector<std::byte>(0x4400 + 1024)), std::invalid_argument);
    // A root page that names itself as its own child is caught by the level check, not followed forever.
    const good_file good = make_good(format::unicode);
    for (const fault f : {fault::btree_loop, fault::page_past_eof})
        EXPECT_THROW(pstwrite::scan_layout(pstwrite::damage(good.bytes, good.where, f)), std::invalid_argument);
}

}  // namespace
