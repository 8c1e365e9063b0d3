#include "encoding/quoted_printable.h"

#include "encoding/code_page_table.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace mailferry {
namespace {

struct qp_case {
    std::string input;
    std::string expected;
};

class EncodeQuotedPrintableCase : public ::testing::TestWithParam<qp_case> {};

TEST_P(EncodeQuotedPrintableCase, Encodes) {
    std::string out = ">";
    EncodeQuotedPrintable(GetParam().input, out);
    EXPECT_EQ(out, ">" + GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Values, EncodeQuotedPrintableCase,
    ::testing::Values(qp_case{"a=b", "a=3Db"}, qp_case{"x,y", "x\\,y"}, qp_case{"a;b\\c", "a\\;b\\\\c"},
                      // TAB and space stay, also at the end of a line.
                      qp_case{"a\tb \t", "a\tb \t"}, qp_case{"one\r\ntwo", "one=0D=0Atwo"},
                      qp_case{"caf\xC3\xA9\x7F!~", "caf=C3=A9=7F!~"}, qp_case{std::string("\0\x1F", 2), "=00=1F"},
                      qp_case{std::string(80, 'a'), std::string(75, 'a') + "=\r\n" + std::string(5, 'a')},
                      // An escape that reaches column 72 is followed by a soft break.
                      qp_case{std::string(24, '='),
                              [] {
                                  std::string s;
                                  for (int i = 0; i < 24; ++i) s += "=3D";
                                  return s + "=\r\n";
                              }()},
                      // The backslash before a comma counts, and the break comes before the next byte.
                      qp_case{std::string(74, 'a') + ",b", std::string(74, 'a') + "\\,=\r\nb"}));

// An empty stream is one escaped line break; an escape that would reach column 76 goes to the next line.
TEST(WriteQuotedPrintableStream, EmptyStreamAndEscapeAtColumn75) {
    std::string escapes;
    for (int i = 0; i < 25; ++i) escapes += "=3D";
    for (const auto& [data, expected] :
         {std::pair{std::string(), std::string("=0D=0A")}, std::pair{std::string(26, '='), escapes + "=\r\n=3D"}}) {
        memory_source source(data);
        std::string out;
        WriteQuotedPrintableStream(source, nullptr, out);
        EXPECT_EQ(out, expected);
    }
}

TEST(WriteQuotedPrintableStream, ConvertsTheWholeTextAndFoldsAcrossReads) {
    const std::string data(600, 'a');
    memory_source source(data, 7);
    std::vector<std::size_t> chunks;
    const chunk_converter upper = [&](std::string_view in, std::string& out) {
        chunks.push_back(in.size());
        for (char c : in) out.push_back(static_cast<char>(c - 'a' + 'A'));
    };
    std::string out;
    WriteQuotedPrintableStream(source, upper, out);
    std::string expected(75, 'A');
    for (int i = 0; i < 7; ++i) expected += "=\r\n" + std::string(75, 'A');
    EXPECT_EQ(out, expected);
    EXPECT_EQ(chunks, (std::vector<std::size_t>{600}));
}

TEST(WriteQuotedPrintableStream, ConvertsFromTheStreamsCodePageToTheTarget) {
    // A surrogate pair (U+1F600) on both sides of the first 512-byte read, to UTF-8; "é=€" to Windows-1252.
    std::string straddling;
    for (int i = 0; i < 255; ++i) straddling += std::string("a\0", 2);
    straddling += std::string("\x3D\xD8\x00\xDE", 4);
    const struct {
        std::string utf16;
        const TextEncodingItem* target;
        std::string ends;
    } cases[] = {{straddling, utf8_encoding(), "=F0=9F=98=80"},
                 {std::string("\xE9\x00=\x00\xAC\x20", 6), find_text_encoding(1252), "=E9=3D=80"}};
    for (const auto& c : cases) {
        memory_source source(c.utf16);
        std::string out;
        WriteQuotedPrintableStream(source, utf16le_encoding(), out, c.target);
        EXPECT_TRUE(out.ends_with(c.ends)) << out;
    }
}

TEST(WriteQuotedPrintableStream, ConversionFailurePassesToTheCaller) {
    memory_source source("text");
    const chunk_converter failing = [](std::string_view, std::string&) { throw std::runtime_error("no converter"); };
    std::string out;
    EXPECT_THROW(WriteQuotedPrintableStream(source, failing, out), std::runtime_error);
}

}  // namespace
}  // namespace mailferry
