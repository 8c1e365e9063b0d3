#include "encoding/text_conversion.h"

#include "support/test_helpers.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace mailferry {
namespace {

using mftest::ascii;
using lines = std::vector<std::string>;
using mftest::captured_log;

struct decode_case {
    const char* name;
    std::int32_t code_page;
    std::string input;
    std::wstring wide;
    std::u16string utf16;
    std::string utf8;
};

void PrintTo(const decode_case& c, std::ostream* os) {
    *os << c.name;
}

// Hand-written from the code charts; the 8-bit ones include the bytes where Windows code pages differ from ISO ones.
const decode_case decode_cases[] = {
    {"Windows1252", 1252, "Caf\xE9 \x80 \x93q\x94", L"Caf\u00E9 \u20AC \u201Cq\u201D",
     u"Caf\u00E9 \u20AC \u201Cq\u201D", "Caf\xC3\xA9 \xE2\x82\xAC \xE2\x80\x9Cq\xE2\x80\x9D"},
    {"Windows1251", 1251, "\xCF\xF0\xE8\xE2\xE5\xF2", L"\u041F\u0440\u0438\u0432\u0435\u0442",
     u"\u041F\u0440\u0438\u0432\u0435\u0442", "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"},
    {"ShiftJis", 932, "\x93\xFA\x96\x7B\x8C\xEA A\xB1", L"\u65E5\u672C\u8A9E A\uFF71", u"\u65E5\u672C\u8A9E A\uFF71",
     "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E A\xEF\xBD\xB1"},
    {"Gb2312", 936, "\xD6\xD0\xCE\xC4!", L"\u4E2D\u6587!", u"\u4E2D\u6587!", "\xE4\xB8\xAD\xE6\x96\x87!"},
    {"Utf8", 65001, "h\xC3\xA9 \xF0\x9F\x98\x80", L"h\u00E9 \U0001F600", u"h\u00E9 \U0001F600",
     "h\xC3\xA9 \xF0\x9F\x98\x80"},
    {"Utf16le", 1200, std::string("\x3D\xD8\x00\xDE\x41\x00", 6), L"\U0001F600A", u"\U0001F600A",
     "\xF0\x9F\x98\x80"
     "A"},
    // Plain ASCII takes a short cut past the converters; the last units below, just outside ASCII, must not.
    {"Utf16leAscii", 1200, std::string("H\0i\0\0\0\x7F\0~\0", 10), std::wstring(L"Hi\0\x7F~", 5),
     std::u16string(u"Hi\0\x7F~", 5), std::string("Hi\0\x7F~", 5)},
    {"Utf16leLatin1AfterAscii", 1200, std::string("a\0b\0\x80\0", 6), L"ab\u0080", u"ab\u0080", "ab\xC2\x80"},
    {"Utf16leHighByteAfterAscii", 1200, std::string("a\0\x41\x01", 4), L"a\u0141", u"a\u0141", "a\xC5\x81"},
    {"EmptyNeedsNoRow", 0, "", L"", u"", ""},
};

class DecodeBytes : public testing::TestWithParam<decode_case> {};

TEST_P(DecodeBytes, ToEachStringForm) {
    const decode_case& c = GetParam();
    const TextEncodingItem* row = c.code_page ? find_text_encoding(c.code_page) : nullptr;
    ASSERT_TRUE(row || c.input.empty());
    const auto input = ascii(c.input);
    captured_log log;
    EXPECT_EQ(bytes_to_wstring(input, row), c.wide);
    EXPECT_EQ(bytes_to_unistring(input, row), c.utf16);
    EXPECT_EQ(bytes_to_utf8string(input, row), c.utf8);
    EXPECT_TRUE(log.lines.empty());
}

INSTANTIATE_TEST_SUITE_P(CodePages, DecodeBytes, testing::ValuesIn(decode_cases),
                         [](const auto& info) { return std::string(info.param.name); });

// Runs `call`, expecting std::runtime_error with `text`, and returns the diagnostic lines written meanwhile.
template <typename F>
std::vector<std::string> expect_failure(F call, const std::string& text) {
    captured_log log;
    try {
        call();
        ADD_FAILURE() << "no exception; expected " << text;
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), text);
    }
    return log.lines;
}

// Each routine fails with its own text; which of them also log, and what, is fixed too.
TEST(DecodeBytes, NoRowOrARowIcuCannotOpenFails) {
    const auto input = ascii("x");
    const TextEncodingItem* mac_japanese = find_text_encoding(10001);
    const struct {
        std::function<void()> call;
        std::string text;
        lines logged;
    } cases[] = {
        {[&] { bytes_to_wstring(input, nullptr); },
         "bytes_to_wstring: No Text Encoding provided !",
         {"bytes_to_wstring: No Text Encoding provided !"}},
        {[&] { bytes_to_unistring(input, nullptr); }, "bytes_to_unistring: No Text Encoding provided !", {}},
        {[&] { bytes_to_utf8string(input, nullptr); },
         "bytes_to_utf8string: No Text Encoding provided !",
         {"bytes_to_utf8string: No Text Encoding provided."}},
        {[&] { bytes_to_wstring(input, mac_japanese); },
         "bytes_to_wstring: Invalid source converter.",
         {"bytes_to_wstring: Invalid source converter."}},
        {[&] { bytes_to_unistring(input, mac_japanese); },
         "bytes_to_unistring: Invalid source converter.",
         {"bytes_to_unistring: Invalid source converter."}},
        {[&] { bytes_to_utf8string(input, mac_japanese); },
         "bytes_to_utf8string: Invalid source converter.",
         {"bytes_to_utf8string: Invalid source converter."}},
    };
    for (const auto& c : cases) EXPECT_EQ(expect_failure(c.call, c.text), c.logged) << c.text;
}

TEST(WstringToBytes, Utf16LeWithSurrogatePairs) {
    EXPECT_EQ(wstring_to_bytes(L"A\u00E9\U0001F600"), ascii(std::string("A\x00\xE9\x00\x3D\xD8\x00\xDE", 8)));
    EXPECT_TRUE(wstring_to_bytes(L"").empty());
}

std::string convert(std::int32_t from, std::string_view source, std::int32_t to, std::size_t capacity) {
    std::string out(capacity, '\0');
    out.resize(ConvertCodePage(source.data(), source.size(), find_text_encoding(from), out.data(), out.size(),
                               find_text_encoding(to)));
    return out;
}

TEST(ConvertCodePage, ReencodesBetweenCodePages) {
    EXPECT_EQ(convert(1251, "\xCF\xF0\xE8\xE2\xE5\xF2", 20866, 64), "\xF0\xD2\xC9\xD7\xC5\xD4");  // to KOI8-R
    EXPECT_EQ(convert(936, "\xD6\xD0\xCE\xC4", 65001, 64), "\xE4\xB8\xAD\xE6\x96\x87");
    EXPECT_EQ(convert(65001, "\xE6\x97\xA5\xE6\x9C\xAC", 932, 64), "\x93\xFA\x96\x7B");
    // Output that exactly fills the destination is no failure, whatever ICU warns.
    EXPECT_EQ(convert(936, "\xD6\xD0\xCE\xC4", 65001, 6), "\xE4\xB8\xAD\xE6\x96\x87");
}

TEST(ConvertCodePage, FailureTexts) {
    const TextEncodingItem* cp1252 = find_text_encoding(1252);
    const TextEncodingItem* utf8 = find_text_encoding(65001);
    const TextEncodingItem* unavailable = find_text_encoding(10001);
    const char source[] = "Caf\xE9";
    char destination[16];
    for (const auto& call :
         std::vector<std::function<void()>>{[&] { ConvertCodePage(nullptr, 4, cp1252, destination, 16, utf8); },
                                            [&] { ConvertCodePage(source, 4, nullptr, destination, 16, utf8); },
                                            [&] { ConvertCodePage(source, 4, cp1252, nullptr, 16, utf8); },
                                            [&] { ConvertCodePage(source, 4, cp1252, destination, 16, nullptr); }})
        EXPECT_EQ(expect_failure(call, "ConvertCodePage: Invalid argument passed !"), lines{});
    EXPECT_EQ(expect_failure([&] { ConvertCodePage(source, 4, unavailable, destination, 16, utf8); },
                             "ConvertCodePage: Invalid source converter."),
              lines{});
    EXPECT_EQ(expect_failure([&] { ConvertCodePage(source, 4, cp1252, destination, 16, unavailable); },
                             "ConvertCodePage: Invalid target converter."),
              lines{"ConvertCodePage: Invalid target converter."});
    // "Café" is five bytes of UTF-8.
    EXPECT_EQ(expect_failure([&] { ConvertCodePage(source, 4, cp1252, destination, 4, utf8); },
                             "ConvertCodePage :  ucnv_fromUChars failed."),
              lines{"ConvertCodePage :  ucnv_fromUChars failed."});
}

std::string encode(std::int32_t code_page, std::u16string_view text, std::size_t capacity) {
    std::string out(capacity, '\0');
    out.resize(unicode_to_codepage(code_page, text.data(), text.size() * 2, out.data(), out.size()));
    return out;
}

TEST(UnicodeToCodepage, EncodesIntoTheNamedCodePage) {
    captured_log log;
    EXPECT_EQ(encode(1252, u"Caf\u00E9 \u20AC", 64), "Caf\xE9 \x80");
    EXPECT_EQ(encode(65001, u"\u00E9\U0001F600", 64), "\xC3\xA9\xF0\x9F\x98\x80");
    EXPECT_EQ(encode(932, u"\u65E5\u672C", 64), "\x93\xFA\x96\x7B");
    EXPECT_EQ(encode(1251, u"\u041F\u0440\u0438\u0432\u0435\u0442", 6), "\xCF\xF0\xE8\xE2\xE5\xF2");  // exact fit
    EXPECT_TRUE(log.lines.empty());
}

TEST(UnicodeToCodepage, OddLengthsShortDestinationsAndUnknownCodePages) {
    const std::u16string text = u"AB";
    char out[8];
    EXPECT_EQ(unicode_to_codepage(65001, text.data(), 3, out, sizeof out), 1u) << "the half unit is dropped";
    EXPECT_EQ(out[0], 'A');
    const struct {
        std::int32_t code_page;
        std::size_t capacity;
        std::string written;
        lines logged;
    } cases[] = {
        {1252, 2, "Ca", {"Conversion Error."}},
        {10001, 8, "", {"Invalid U converter for following encoding : 10001"}},
        {12345, 8, "", {"UNKNOWN CHARSET 12345", "Invalid U converter for following encoding : 12345"}},
    };
    for (const auto& c : cases) {
        captured_log log;
        EXPECT_EQ(encode(c.code_page, u"Caf\u00E9", c.capacity), c.written) << c.code_page;
        EXPECT_EQ(log.lines, c.logged);
    }
}

}  // namespace
}  // namespace mailferry
