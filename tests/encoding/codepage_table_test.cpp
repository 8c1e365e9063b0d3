#include "encoding/code_page_table.h"

#include "support/test_helpers.h"

#include <gtest/gtest.h>
#include <unicode/uvernum.h>

#include <set>
#include <string>
#include <vector>

namespace mailferry {
namespace {

using mftest::captured_log;

struct expected_row {
    std::size_t index;
    std::int32_t code_page;
    const char* charset;
    const char* display;
};

// The ends of the table, the remembered rows and the rows around the places where names repeat: a row dropped,
// swapped or retyped shows up here.
const expected_row spot_rows[] = {
    {0, 864, "IBM864", "Arabic (864)"},
    {14, 936, "gb2312", "Chinese Simplified (GB2312)"},
    {20, 1251, "windows-1251", "Cyrillic (Windows)"},
    {36, 1047, "IBM01047", "IBM Latin-1"},
    {71, 50932, "euc-jp", "Japanese (Auto Select)"},
    {72, 51932, "euc-jp", "Japanese (EUC)"},
    {73, 20932, "EUC-JP", "Japanese (JIS 0208-1990 and 0212-1990)"},
    {77, 932, "shift_jis", "Japanese (Shift-JIS)"},
    {93, 1200, "utf-16LE", "Unicode"},
    {95, 12000, "utf-32", "Unicode (UTF-32)"},
    {98, 65001, "UTF-8", "Unicode (UTF-8)"},
    {101, 1252, "windows-1252", "Western European (Windows)"},
    {102, 20127, "CP1252", "Windows-1252"},
    {136, 20924, "IBM924", "IBM Latin-1"},
    {142, 50000, "x-user-defined", "User Defined (Windows)"},
};

TEST(CodePageTable, RowsSitAtTheirFixedPlaces) {
    const auto rows = text_encodings();
    ASSERT_EQ(rows.size(), 143u);
    for (const expected_row& e : spot_rows) {
        SCOPED_TRACE(e.index);
        EXPECT_EQ(rows[e.index].codePage, e.code_page);
        EXPECT_STREQ(rows[e.index].charsetName, e.charset);
        EXPECT_STREQ(rows[e.index].displayName, e.display);
        // A lookup by code page must land on this very row, also where the charset or display name repeats.
        EXPECT_EQ(find_text_encoding(e.code_page), &rows[e.index]);
    }
    EXPECT_EQ(rows.data()[rows.size()].codePage, 0);  // the terminating row
    std::set<std::int32_t> seen;
    for (const TextEncodingItem& row : rows) EXPECT_TRUE(seen.insert(row.codePage).second) << row.codePage;
    EXPECT_EQ(utf8_encoding(), &rows[98]);
    EXPECT_EQ(utf16le_encoding(), &rows[93]);
    EXPECT_EQ(utf32_encoding(), &rows[95]);
}

TEST(CodePageTable, FindLogsOnlyUnknownCodePagesAndFindsUnavailableRows) {
    captured_log log;
    EXPECT_STREQ(find_text_encoding(20127)->charsetName, "CP1252");
    EXPECT_EQ(find_text_encoding(0), nullptr);
    EXPECT_TRUE(log.lines.empty());
    EXPECT_EQ(find_text_encoding(12345), nullptr);
    EXPECT_EQ(log.lines, std::vector<std::string>{"UNKNOWN CHARSET 12345"});
    ASSERT_NE(find_text_encoding(10001), nullptr) << "rows ICU cannot open are found too";
    EXPECT_FALSE(find_text_encoding(10001)->available);
}

TEST(CodePageTable, DisplayNameWithoutLogLine) {
    captured_log log;
    EXPECT_EQ(text_encoding_display_name(1252), "Western European (Windows)");
    EXPECT_EQ(text_encoding_display_name(20924), "IBM Latin-1");
    EXPECT_EQ(text_encoding_display_name(12345), std::nullopt);
    EXPECT_EQ(text_encoding_display_name(0), std::nullopt);
    EXPECT_TRUE(log.lines.empty());
}

constexpr bool is_icu72() {
    return U_ICU_VERSION_MAJOR_NUM == 72;
}

// ICU 72 opens many of these names only with U_AMBIGUOUS_ALIAS_WARNING, and the converters are the right ones;
// treating the warning as unavailable would leave most ANSI files undecodable, so the list stays this short.
TEST(CodePageAvailability, NamesIcu72CannotOpenAreUnavailable) {
    if (!is_icu72()) GTEST_SKIP() << "the set of converters is that of ICU 72";
    // Measured on ICU 72.1 (Debian 12): every other row opens, cleanly or with an ambiguous-alias warning.
    const std::vector<std::int32_t> expected = {1361,  10001, 10002, 10003, 10004, 10005, 10008, 10010, 10017,
                                                10021, 10079, 10082, 20000, 20001, 20002, 20003, 20004, 20005,
                                                20105, 20106, 20107, 20108, 20261, 20269, 20833, 20880, 20905,
                                                20924, 20936, 20949, 29001, 50227, 20423, 50000};
    std::vector<std::int32_t> unavailable;
    for (const TextEncodingItem& row : text_encodings())
        if (!row.available) unavailable.push_back(row.codePage);
    EXPECT_EQ(unavailable, expected);
}

}  // namespace
}  // namespace mailferry
