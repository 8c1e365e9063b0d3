#include "encoding/header_text.h"

#include <gtest/gtest.h>

#include <string>

#include "support/test_helpers.h"

namespace mailferry {
namespace {

struct header_case {
    std::u16string text;
    bool quote;
    std::string expected;
    bool plain;
};

class EncodeHeaderTextCase : public ::testing::TestWithParam<header_case> {};

TEST_P(EncodeHeaderTextCase, Appends) {
    const header_case& c = GetParam();
    std::string out = "To: ";
    EXPECT_EQ(EncodeHeaderText(c.text, c.quote, out), c.plain);
    EXPECT_EQ(out, "To: " + c.expected);
}

INSTANTIATE_TEST_SUITE_P(Values, EncodeHeaderTextCase,
                         ::testing::Values(header_case{u"Anna", true, "\"Anna\"", true},
                                           header_case{u"Anna", false, "Anna", true},
                                           // An inner quote is left as it is.
                                           header_case{u"Anna \"A\" B", true, "\"Anna \"A\" B\"", true},
                                           // Non-ASCII: one encoded word over the whole value, never quoted.
                                           header_case{u"Ren\u00e9", true, "=?utf-8?B?UmVuw6k=?=", false},
                                           header_case{u"\u65e5\u672c\u8a9e", false, "=?utf-8?B?5pel5pys6Kqe?=", false},
                                           header_case{u"\U0001F600", false, "=?utf-8?B?8J+YgA==?=", false}));

// Empty text empties the output; text that does not convert gives an empty value.
TEST(EncodeHeaderText, EmptyOrUnconvertibleText) {
    std::string out = "previous";
    EXPECT_TRUE(EncodeHeaderText(std::u16string_view(), true, out));
    EXPECT_EQ(out, "");
    mftest::captured_log log;
    const std::u16string lone_surrogate =
        u"a\xD800"
        u"b";  // split so that b is no hex digit
    std::string quoted;
    EncodeHeaderText(lone_surrogate, true, quoted);
    std::string plain;
    EncodeHeaderText(lone_surrogate, false, plain);
    EXPECT_EQ(quoted, "\"\"");
    EXPECT_EQ(plain, "");
    EXPECT_EQ(log.lines, (std::vector<std::string>{"Conversion Error.", "Conversion Error."}));
}

TEST(EncodeHeaderText, BytesInANamedCharset) {
    std::string out;
    // RFC 2047's own example name, in ISO-8859-1.
    EXPECT_FALSE(EncodeHeaderText("Keld J\xF8rn Simonsen", "ISO-8859-1", false, out));
    EXPECT_EQ(out, "=?ISO-8859-1?B?S2VsZCBK+HJuIFNpbW9uc2Vu?=");
    // ISO-2022-JP is 7-bit, but its escape sequences still need an encoded word.
    out.clear();
    EXPECT_FALSE(EncodeHeaderText("\x1b$BF|K\\8l\x1b(B", "iso-2022-jp", false, out));
    EXPECT_EQ(out, "=?iso-2022-jp?B?GyRCRnxLXDhsGyhC?=");
    out.clear();
    EXPECT_TRUE(EncodeHeaderText("plain", "iso-2022-jp", true, out));
    EXPECT_EQ(out, "\"plain\"");
}

}  // namespace
}  // namespace mailferry
