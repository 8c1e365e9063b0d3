#include "encoding/property_string.h"

#include "support/test_helpers.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace mailferry {
namespace {

using mftest::ascii;
using mftest::captured_log;

const std::string cyrillic_1251 = "\xCF\xF0\xE8\xE2\xE5\xF2";  // "Привет" in Windows-1251
const std::string privet_utf16le("\x1F\x04\x40\x04\x38\x04\x32\x04\x35\x04\x42\x04", 12);

TEST(PropertyString, EightBitValuesFollowTheAttachedCodePage) {
    const auto raw = ascii(cyrillic_1251);
    EXPECT_EQ(read_string_property(raw, 0x001E, find_text_encoding(1251)), L"\u041F\u0440\u0438\u0432\u0435\u0442");
    // The same bytes after the user picks another code page for the file.
    EXPECT_EQ(read_string_property(raw, 0x001E, find_text_encoding(1252)), L"\u00CF\u00F0\u00E8\u00E2\u00E5\u00F2");
    EXPECT_EQ(read_unistring_property(raw, 0x101E, find_text_encoding(1251)), u"\u041F\u0440\u0438\u0432\u0435\u0442");
    EXPECT_EQ(read_utf8string_property(raw, 0x101E, find_text_encoding(1251)),
              "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82");
}

TEST(PropertyString, UnicodeValuesIgnoreTheAttachedCodePage) {
    const auto raw = ascii(privet_utf16le);
    for (const TextEncodingItem* attached : {static_cast<const TextEncodingItem*>(nullptr), find_text_encoding(932)}) {
        EXPECT_EQ(read_string_property(raw, 0x001F, attached), L"\u041F\u0440\u0438\u0432\u0435\u0442");
        EXPECT_EQ(read_unistring_property(raw, 0x101F, attached), u"\u041F\u0440\u0438\u0432\u0435\u0442");
        EXPECT_EQ(read_utf8string_property(raw, 0x001F, attached), "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82");
    }
}

TEST(PropertyString, EightBitValueWithoutCodePageFails) {
    captured_log log;
    EXPECT_EQ(read_string_property({}, 0x001E, nullptr), L"");  // empty values need no code page
    EXPECT_EQ(
        mftest::failure_of<std::runtime_error>([] { read_string_property(ascii(cyrillic_1251), 0x001E, nullptr); }),
        "bytes_to_wstring: No Text Encoding provided !");
    EXPECT_EQ(log.lines, std::vector<std::string>{"bytes_to_wstring: No Text Encoding provided !"});
}

}  // namespace
}  // namespace mailferry
