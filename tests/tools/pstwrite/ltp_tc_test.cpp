// Table contexts: TCINFO, column layout, rows and their cell-existence bitmap, the row index, and row matrices in
// the heap or in a subnode that spans several blocks.
#include <gtest/gtest.h>

#include "ltp_check.h"
#include "pstwrite/ltp_tc.h"
#include "pstwrite/store_columns.h"

namespace {

using ltpcheck::hex;
using pstwrite::format;
namespace prop = pstwrite::prop;

TEST(LtpTc, SmallTableExactBytes) {
    pstwrite::tc_builder t(format::unicode,
                           pstwrite::column_set(pstwrite::table_kind::receive_folder, format::unicode));
    t.add_row(0x8022, {{0x66050003, prop::i32(0x122)}, {0x001A001F, prop::unicode(u"")}});
    pstwrite::nid_counter nids;
    const auto node = t.build(nids);
    EXPECT_TRUE(node.subnodes.empty());
    const auto h = ltpcheck::heap_of(node.data, format::unicode);
    EXPECT_EQ(h.client(), 0x7C);
    EXPECT_EQ(h.user_root(), 0x40u);  // row-index header first (0x20), TCINFO second
    EXPECT_EQ(h.item(0x40), hex("7C 04 1000 1000 1000 1100 20000000 60000000 00000000"
                                "1F001A00 0C00 04 03"
                                "03000566 0800 04 02"
                                "0300F267 0000 04 00"
                                "0300F367 0400 04 01"));
    EXPECT_EQ(h.item(0x60), hex("22800000 00000000 22010000 00000000 F0"));  // empty string: bit set, hnid 0
    EXPECT_EQ(h.item(0x20), hex("B5 04 04 00 80000000"));
    EXPECT_EQ(h.item(0x80), hex("22800000 00000000"));
}

TEST(LtpTc, RowIndexWidthFollowsTheFormat) {
    struct width_case {
        format f;
        std::uint8_t forced, expected;
    };
    for (auto c : {width_case{format::unicode, 0, 4}, width_case{format::ansi, 0, 2}, width_case{format::ansi, 4, 4},
                   width_case{format::unicode, 2, 2}}) {
        pstwrite::tc_options o;
        o.row_index_width = c.forced;
        pstwrite::tc_builder t(c.f, pstwrite::layout_columns({}), o);
        for (std::uint32_t id : {30u, 10u, 20u}) t.add_row(id, {});
        pstwrite::nid_counter nids;
        const auto h = ltpcheck::heap_of(t.build(nids).data, c.f);
        const auto index = ltpcheck::read_bth(h, ltpcheck::read_tcinfo(h).hid_row_index);
        EXPECT_EQ(index.data_size, c.expected);
        // keys sorted, values the row's position in the matrix (insertion order)
        EXPECT_EQ(ltpcheck::le(index.records.at(10), 0, c.expected), 1u);
        EXPECT_EQ(ltpcheck::le(index.records.at(20), 0, c.expected), 2u);
        EXPECT_EQ(ltpcheck::le(index.records.at(30), 0, c.expected), 0u);
    }
}

TEST(LtpTc, LayoutPutsWideCellsFirstAndNumbersBitsInOrder) {
    const auto cols = pstwrite::layout_columns({0x0037001F, 0x0E060040, 0x0057000B, 0x00360002});
    ASSERT_EQ(cols.size(), 6u);
    const std::vector<std::tuple<std::uint32_t, int, int, int>> expected{
        {0x67F20003, 0, 4, 0},  {0x67F30003, 4, 4, 1},  {0x0037001F, 8, 4, 2},
        {0x0E060040, 12, 8, 3}, {0x0057000B, 22, 1, 4}, {0x00360002, 20, 2, 5}};
    for (std::size_t i = 0; i < cols.size(); ++i)
        EXPECT_EQ(std::make_tuple(cols[i].tag, int{cols[i].ib}, int{cols[i].cb}, int{cols[i].ibit}), expected[i]);
    pstwrite::tc_builder t(format::unicode, cols);
    EXPECT_EQ(t.row_size(), 24);
}

TEST(LtpTc, TemplateColumnSetsHaveOutlooksRowEnds) {
    struct set_case {
        pstwrite::table_kind kind;
        std::vector<int> rgib;
    };
    for (const auto& c : {set_case{pstwrite::table_kind::hierarchy, {52, 52, 53, 55}},
                          set_case{pstwrite::table_kind::contents, {120, 120, 122, 126}},
                          set_case{pstwrite::table_kind::associated_contents, {56, 56, 57, 59}},
                          set_case{pstwrite::table_kind::search_contents, {72, 72, 75, 78}},
                          set_case{pstwrite::table_kind::attachment, {24, 24, 24, 25}},
                          set_case{pstwrite::table_kind::recipient, {48, 48, 50, 52}}}) {
        pstwrite::tc_builder t(format::ansi, pstwrite::column_set(c.kind, format::ansi));
        pstwrite::nid_counter nids;
        const auto h = ltpcheck::heap_of(t.build(nids).data, format::ansi);
        const auto info = ltpcheck::read_tcinfo(h);
        EXPECT_EQ((std::vector<int>{info.rgib[0], info.rgib[1], info.rgib[2], info.rgib[3]}), c.rgib);
        EXPECT_EQ(info.hnid_rows, 0u);
        for (std::size_t i = 1; i < info.columns.size(); ++i) EXPECT_LT(info.columns[i - 1].tag, info.columns[i].tag);
        for (const auto& col : info.columns) EXPECT_NE(col.tag & 0xFFFF, 0x001Fu);  // ANSI: 8-bit strings
    }
}

TEST(LtpTc, LargeMatrixLivesInASubnodeOfWholeRowsPerBlock) {
    for (format f : {format::unicode, format::ansi}) {
        pstwrite::tc_builder t(f, pstwrite::column_set(pstwrite::table_kind::contents, f));
        for (std::uint32_t i = 0; i < 150; ++i)
            t.add_row(0x200024 + 32 * i, {{0x0E080003, prop::i32(static_cast<std::int32_t>(i))}});
        pstwrite::nid_counter nids;
        const auto node = t.build(nids);
        const auto h = ltpcheck::heap_of(node.data, f);
        const auto info = ltpcheck::read_tcinfo(h);
        ASSERT_EQ(node.subnodes.size(), 1u);
        EXPECT_EQ(info.hnid_rows, node.subnodes[0].nid);
        const std::size_t block = pstwrite::max_block_data(f), per_block = block / 126;
        const auto& m = node.subnodes[0].data;
        EXPECT_EQ(m.size(), 2 * block + (150 - 2 * per_block) * 126);
        for (std::size_t row : {std::size_t{0}, per_block - 1, per_block, std::size_t{149}}) {
            const std::size_t at = (row / per_block) * block + (row % per_block) * 126;
            EXPECT_EQ(ltpcheck::le(m, at, 4), 0x200024 + 32 * row);
            EXPECT_EQ(ltpcheck::le(m, at + 48, 4), row);  // MessageSize column
            // bitmap at 122: row id, version and MessageSize (bit 10) set
            EXPECT_EQ(m[at + 122], std::byte{0xC0});
            EXPECT_EQ(m[at + 123], std::byte{0x20});
        }
        EXPECT_EQ(ltpcheck::read_bth(h, info.hid_row_index).records.size(), 150u);
    }
}

TEST(LtpTc, ForcedSubnodeMatrixAndLargeCells) {
    pstwrite::tc_options o;
    o.matrix = pstwrite::matrix_place::subnode;
    pstwrite::tc_builder t(format::unicode, pstwrite::layout_columns({0x3001001F}), o);
    const std::u16string long_name(2000, u'x');
    t.add_row(1, {{0x3001001F, prop::unicode(long_name)}});
    pstwrite::nid_counter nids;
    const auto node = t.build(nids);
    ASSERT_EQ(node.subnodes.size(), 2u);  // the 4000-byte cell, then the matrix
    const auto& matrix = node.subnodes[1].data;
    EXPECT_EQ(matrix.size(), 13u);
    EXPECT_EQ(ltpcheck::le(matrix, 8, 4), node.subnodes[0].nid);
    EXPECT_EQ(node.subnodes[0].data, ltpcheck::u16_bytes(long_name));
}

TEST(LtpTc, TwoByteRowIndexCountsAtMost65536Rows) {
    pstwrite::tc_builder t(format::ansi, pstwrite::layout_columns({}));
    for (std::uint32_t i = 0; i < 65536; ++i) t.add_row(i + 1, {});
    pstwrite::nid_counter nids;
    EXPECT_NO_THROW(t.build(nids));
    t.add_row(70000, {});
    EXPECT_THROW(t.build(nids), std::length_error);
}

}  // namespace
