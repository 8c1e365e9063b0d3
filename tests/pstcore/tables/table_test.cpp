#include "pstcore/tables/table.h"

#include <gtest/gtest.h>

#include "pstcore/ndb/exceptions.h"
#include "pstcore/tables/ltp_fixture.h"

namespace {

using mftest::bytes;
using mftest::failure_of;
using mftest::fixture_table;
using mftest::le;
using mftest::put_le;

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

fixture_table small_table() {
    fixture_table t;
    t.columns = {{0x67F20003, 0, 4, 0},
                 {0x0E070003, 4, 4, 1},
                 {0x0037001F, 8, 4, 2},
                 {0x00170002, 12, 2, 3},
                 {0x0E690003, 14, 1, 4}};
    t.bitmap_start = 15;
    t.row_size = 16;
    t.heap_values = {mftest::utf16(u"first"), mftest::utf16(u"second")};
    t.rows = {small_row(0x8022, 17, 0x20, 0xF8), small_row(0x8042, 3, 0x40, 0xE8), small_row(0x2223, 9, 0, 0xC0)};
    return t;
}

class Table : public ::testing::Test {
protected:
    pstcore::table make(const fixture_table& t) {
        return pstcore::open_table(mftest::make_table(m_file, m_next += 0x20, t));
    }
    mftest::node_file m_file;
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
    EXPECT_THROW(table.get_prop_type(0x0038), pstcore::key_not_found<pstcore::prop_id>);
    EXPECT_EQ(failure_of([&] { table.get_cell_value(3, 0x0E07); }), "row >= size()");

    std::vector<std::u16string> subjects;
    for (const auto& row : table) subjects.push_back(row.prop_exists(0x0037) ? row.read_unistring(0x0037) : u"-");
    EXPECT_EQ(subjects, (std::vector<std::u16string>{u"first", u"second", u"-"}));

    const auto row = table[0];
    EXPECT_EQ(row.get_value_2(0x0017), 2u);
    EXPECT_EQ(row.get_value_1(0x0E69), 1u);
    EXPECT_THROW(row.get_value_8(0x0E07), pstcore::prop_type_mismatch);
    EXPECT_THROW(row.get_value_4(0x0037), pstcore::prop_type_mismatch);
}

// Row 1's bitmap 0xE8 clears bit 3: the cell holds bytes but no value. Bit 9 is mask 0x40 of the second byte.
TEST_F(Table, ExistenceBitsDecidePresence) {
    const auto table = make(small_table());
    EXPECT_TRUE(table.prop_exists(0, 0x0E69));
    EXPECT_FALSE(table.prop_exists(1, 0x0017));
    EXPECT_THROW(table.get_cell_value(1, 0x0017), pstcore::key_not_found<pstcore::prop_id>);
    EXPECT_FALSE(table.prop_exists(2, 0x0037));

    fixture_table t;
    t.columns = {{0x67F20003, 0, 4, 0}, {0x0E070003, 4, 4, 9}};
    t.bitmap_start = 8;
    t.row_size = 10;
    for (const auto& [id, second_byte] : {std::pair{1, 0x40}, std::pair{2, 0xBF}})
        t.rows.push_back(mftest::concat({le(id, 4), le(7, 4), le(0x80 | second_byte << 8, 2)}));
    const auto bits = make(t);
    EXPECT_TRUE(bits.prop_exists(0, 0x0E07));
    EXPECT_FALSE(bits.prop_exists(1, 0x0E07));
}

TEST_F(Table, DamagedTablesFailWithTheirMessage) {
    const auto damaged = [&](auto&& change) {
        fixture_table t = small_table();
        change(t);
        return failure_of<pstcore::database_corrupt>([&] { make(t); });
    };
    EXPECT_EQ(damaged([](fixture_table& t) { t.header_cut = 1; }), "table header too short");
    EXPECT_EQ(damaged([](fixture_table& t) { t.short_index_header = true; }), "row index header too short");
    fixture_table odd = small_table();
    odd.columns[1].size = 3;
    EXPECT_EQ(failure_of([&] { make(odd).get_cell_value(0, 0x0E07); }), "get_cell_value: invalid cell size");
    EXPECT_EQ(failure_of([&] { pstcore::open_table(mftest::make_table(m_file, 0x730, small_table())); }), "gust table");
}

}  // namespace
