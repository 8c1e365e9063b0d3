#include "platform/platform_string.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_helpers.h"

namespace mailferry::platform {
namespace {

struct string_case {
    const char* name;
    std::wstring wide;
    std::vector<char16_t> units;
};

void PrintTo(const string_case& c, std::ostream* os) {
    *os << c.name;
}

// Written as code units, not as u"" literals, so that the pairs are spelled out.
const string_case round_trips[] = {
    {"Ascii", L"Inbox", {0x49, 0x6E, 0x62, 0x6F, 0x78}},
    {"Bmp", L"\u00E9\u4E2D\uFFFD", {0x00E9, 0x4E2D, 0xFFFD}},
    {"Emoji", L"\U0001F600", {0xD83D, 0xDE00}},
    {"FirstAndLastSupplementary", L"\U00010000x\U0010FFFF", {0xD800, 0xDC00, 0x78, 0xDBFF, 0xDFFF}},
    {"Empty", L"", {}},
};

class PlatformString : public testing::TestWithParam<string_case> {};

TEST_P(PlatformString, FromWideString) {
    const string_case& c = GetParam();
    EXPECT_EQ(stringWithWString(c.wide), std::u16string(c.units.begin(), c.units.end()));
}

TEST_P(PlatformString, ToWideBuffer) {
    const string_case& c = GetParam();
    std::vector<wchar_t> buffer(c.wide.size() + 1, L'?');
    ASSERT_TRUE(convertToWCharBuffer(std::u16string(c.units.begin(), c.units.end()), buffer.data(),
                                     buffer.size() * sizeof(wchar_t)));
    EXPECT_EQ(std::wstring(buffer.data()), c.wide);
}

INSTANTIATE_TEST_SUITE_P(Strings, PlatformString, testing::ValuesIn(round_trips),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PlatformStringDamage, NonCharactersBecomeReplacementCharacters) {
    const std::wstring wide = {L'a', static_cast<wchar_t>(0xD800), static_cast<wchar_t>(0x110000), L'b'};
    EXPECT_EQ(stringWithWString(wide), u"a\uFFFD\uFFFDb");

    // A lone high surrogate at the end and a lone low one in the middle.
    const std::u16string units = {u'a', 0xDC00, u'b', 0xD83D};
    wchar_t buffer[8];
    ASSERT_TRUE(convertToWCharBuffer(units, buffer, sizeof buffer));
    EXPECT_EQ(std::wstring(buffer), L"a\uFFFDb\uFFFD");
}

TEST(PlatformStringDamage, BufferTooSmallIsLogged) {
    mftest::captured_log log;
    wchar_t buffer[2];
    // The pair needs one wide character and the terminator another: it fits exactly.
    EXPECT_TRUE(convertToWCharBuffer(u"\U0001F600", buffer, sizeof buffer));
    EXPECT_FALSE(convertToWCharBuffer(u"ab", buffer, sizeof buffer));
    EXPECT_FALSE(convertToWCharBuffer(u"", buffer, 3));  // less than one wide character
    EXPECT_FALSE(convertToWCharBuffer(u"a", nullptr, 64));
    EXPECT_EQ(log.lines, std::vector<std::string>(3, "getCString failed."));
}

}  // namespace
}  // namespace mailferry::platform
