#include "pstcore/tables/table.h"

#include <gtest/gtest.h>

#include "pstcore/ndb/exceptions.h"
#include "pstcore/tables/ltp_fixture.h"

namespace {

using mftest::bytes;
using mftest::fixture_table;
using mftest::le;
using mftest::put_le;
namespace types = pstcore::prop_types;

template <typename F>
std::string error_of(F&& f) {
    try {
        f();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "no error";
}

// A row of the small layout below: id, flags (I4), subject (HNID), importance (I2), read (bool), bitmap.
bytes small_row(std::uint32_t id, std::uint32_t flags, std::uint32_t subject, std::uint8_t bitmap) {
    bytes row = le(id, 4);
    put_le(row, flags, 4);
    put_le(row, subject, 4);
    put_le(row, 2, 2);
    row.push_back(std::byte{1});
    row.push_back(static_cast<std::byte>(bitmap));
    return row;
}

bytes concat_row(std::uint32_t id, std::uint8_t second_bitmap_byte) {
    bytes row = le(id, 4);
    put_le(row, 7, 4);
    row.push_back(std::byte{0x80});
    row.push_back(static_cast<std::byte>(second_bitmap_byte));
    return row;
}

fixture_table small_table() {
    fixture_table t;
    t.columns = {{0x67F20003, 0, 4, 0},
                 {0x0E070003, 4, 4, 1},
                 {0x0037001F, 8, 4, 2},
                 {0x00170002, 12, 2, 3},
                 {0x0E690003, 14, 1, 4}};
    t.bitmap_start = 15;
    t.row_size = 16;
    t.heap_values = {{0, mftest::utf16(u"first")}, {0, mftest::utf16(u"second")}};
    t.rows = {small_row(0x8022, 17, 0x20, 0xF8), small_row(0x8042, 3, 0x40, 0xE8), small_row(0x2223, 9, 0, 0xC0)};
    return t;
}

class Table : public ::testing::Test {
protected:
    pstcore::table make(const fixture_table& t) {
        return pstcore::open_table(mftest::make_table(*m_db, m_next += 0x20, t));
    }
    std::string open_error(const fixture_table& t) {
        return error_of([&] { make(t); });
    }
    std::shared_ptr<mftest::fake_db> m_db = mftest::fake_db::create();
    pstcore::node_id m_next = 0x0E;
};

TEST_F(Table, CellsAndRows) {
    const auto table = make(small_table());
    ASSERT_EQ(table.size(), 3u);
    EXPECT_EQ(table.get_row_id(1), 0x8042u);
    EXPECT_EQ(table.lookup_row(0x2223), 2u);
    EXPECT_THROW(table.lookup_row(0x9999), pstcore::key_not_found<std::uint32_t>);
    EXPECT_EQ(table.get_cell_value(0, 0x0E07), 17u);
    EXPECT_EQ(table.read_cell(1, 0x0037), mftest::utf16(u"second"));
    EXPECT_EQ(table.get_cell_size(0, 0x0037), 10u);
    EXPECT_EQ(table.get_prop_type(0x0037), types::unicode);
    EXPECT_THROW(table.get_prop_type(0x0038), pstcore::key_not_found<pstcore::prop_id>);
    EXPECT_EQ(error_of([&] { table.get_cell_value(3, 0x0E07); }), "row >= size()");

    std::vector<std::u16string> subjects;
    for (const auto& row : table) subjects.push_back(row.prop_exists(0x0037) ? row.read_unistring(0x0037) : u"-");
    EXPECT_EQ(subjects, (std::vector<std::u16string>{u"first", u"second", u"-"}));

    const auto row = table[0];
    EXPECT_EQ(row.get_value_4(0x0E07), 17u);
    EXPECT_EQ(row.get_value_2(0x0017), 2u);
    EXPECT_EQ(row.get_value_1(0x0E69), 1u);
    auto ids = row.get_prop_list();
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(ids, (std::vector<pstcore::prop_id>{0x0017, 0x0037, 0x0E07, 0x0E69, 0x67F2}));
    EXPECT_THROW(row.get_value_8(0x0E07), pstcore::prop_type_mismatch);
    EXPECT_THROW(row.get_value_4(0x0037), pstcore::prop_type_mismatch);
}

// Bit 3 clear in row 1 (0xE8): the cell holds bytes but no value.
TEST_F(Table, ExistenceBitsDecidePresence) {
    const auto table = make(small_table());
    EXPECT_TRUE(table.prop_exists(0, 0x0E69));
    EXPECT_FALSE(table.prop_exists(1, 0x0017));
    EXPECT_THROW(table.get_cell_value(1, 0x0017), pstcore::key_not_found<pstcore::prop_id>);
    EXPECT_FALSE(table.prop_exists(2, 0x0037));
    EXPECT_FALSE(table.prop_exists(0, 0x0038));
}

TEST_F(Table, BitNineIsMaskFortyOfTheSecondByte) {
    fixture_table t;
    t.columns = {{0x67F20003, 0, 4, 0}, {0x0E070003, 4, 4, 9}};
    t.bitmap_start = 8;
    t.row_size = 10;
    t.rows = {concat_row(1, 0x40), concat_row(2, 0xBF)};
    const auto table = make(t);
    EXPECT_TRUE(table.prop_exists(0, 0x0E07));
    EXPECT_FALSE(table.prop_exists(1, 0x0E07));
}

TEST_F(Table, EmptyTable) {
    fixture_table t = small_table();
    t.rows.clear();
    const auto table = make(t);
    EXPECT_EQ(table.size(), 0u);
    EXPECT_TRUE(table.begin() == table.end());
}

TEST_F(Table, RowIndexWidthPicksTheTable) {
    fixture_table t = small_table();
    t.index_width = 2;
    const auto narrow = make(t);
    EXPECT_NE(dynamic_cast<const pstcore::basic_table<std::uint16_t>*>(narrow.get_impl().get()), nullptr);
    EXPECT_EQ(narrow.lookup_row(0x8042), 1u);
    t.index_width = 4;
    const auto wide = make(t);
    EXPECT_NE(dynamic_cast<const pstcore::basic_table<std::uint32_t>*>(wide.get_impl().get()), nullptr);
}

// cbRow 40, rows in a subnode of two blocks of 8160 and 400 bytes: 204 + 10 rows.
TEST_F(Table, RowsInASubnodeSpanBlocks) {
    fixture_table t;
    t.columns = {{0x67F20003, 0, 4, 0}, {0x0E080014, 4, 8, 1}};
    t.bitmap_start = 39;
    t.row_size = 40;
    for (std::uint32_t r = 0; r < 214; ++r) {
        bytes row = le(1000 + r, 4);
        put_le(row, 0x100000000ULL * r + 5, 8);
        row.resize(39);
        row.push_back(std::byte{0xC0});
        t.rows.push_back(row);
    }
    t.rows_per_block = 204;
    const auto table = make(t);
    ASSERT_EQ(table.size(), 214u);
    EXPECT_EQ(table.get_row_id(204), 1204u);
    EXPECT_EQ(table[213].get_value_8(0x0E08), 0x100000000ULL * 213 + 5);
    std::size_t seen = 0;
    for (const auto& row : table) EXPECT_EQ(row.get_row_id(), 1000 + seen++);
    EXPECT_EQ(seen, 214u);
}

TEST_F(Table, OddCellWidthFails) {
    fixture_table t = small_table();
    t.columns[1].size = 3;
    EXPECT_EQ(error_of([&] { make(t).get_cell_value(0, 0x0E07); }), "get_cell_value: invalid cell size");
}

TEST_F(Table, DamagedHeadersFailAsCorrupt) {
    fixture_table zero = small_table();
    zero.row_size = 0;
    fixture_table cut = small_table();
    cut.header_cut = 1;
    fixture_table short_index = small_table();
    short_index.short_index_header = true;
    for (const auto* t : {&zero, &cut, &short_index}) {
        try {
            make(*t);
            ADD_FAILURE() << "opened";
        } catch (const pstcore::database_corrupt&) {
        }
    }
    EXPECT_EQ(open_error(zero), "table row size is zero");
    EXPECT_EQ(open_error(cut), "table header too short");
    EXPECT_EQ(open_error(short_index), "row index header too short");
}

TEST_F(Table, GustTableIsNotRead) {
    mftest::make_table(*m_db, 0x730, small_table());
    EXPECT_EQ(error_of([&] { pstcore::open_table(m_db->node(0x730)); }), "gust table");
}

}  // namespace
