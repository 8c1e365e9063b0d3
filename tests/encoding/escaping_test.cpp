#include "encoding/escaping.h"

#include "encoding/code_page_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace mailferry {
namespace {

TEST(AppendEscapedProperty, EscapesLineBreaksAndSeparators) {
    std::string out = "LOCATION:";
    AppendEscapedProperty(out, u"Line1\r\nLine2; a,b\\c", true);
    EXPECT_EQ(out, "LOCATION:Line1\\nLine2\\; a\\,b\\\\c");
    out.clear();
    AppendEscapedProperty(out, u"Caf\u00e9; a,b", false);
    EXPECT_EQ(out, "Caf\xC3\xA9; a,b");
    out = "kept";
    AppendEscapedProperty(out, u"", true);
    EXPECT_EQ(out, "kept");
    AppendEscapedProperty(out, u"a" + std::u16string(600, u'\u00e9'), false);
    EXPECT_EQ(out.size(), 4 + 1201u) << "long values are written whole";
}

TEST(AppendEscapedText, FoldsAfterEvery75InputBytes) {
    std::string out;
    AppendEscapedText(std::string(160, 'a'), out);
    EXPECT_EQ(out, std::string(75, 'a') + "\r\n " + std::string(75, 'a') + "\r\n " + std::string(10, 'a'));
    // An escaped byte counts once, though it is written as two.
    out.clear();
    AppendEscapedText(std::string(74, 'a') + ",b", out);
    EXPECT_EQ(out, std::string(74, 'a') + "\\,\r\n b");
    // A character whose bytes straddle the 75th byte moves whole to the next line.
    out.clear();
    AppendEscapedText(std::string(74, 'a') + "\xE2\x82\xAC" + "b", out);
    EXPECT_EQ(out, std::string(74, 'a') + "\r\n \xE2\x82\xAC" + "b");
    out.clear();
    AppendEscapedText(std::string_view("Europe\0junk", 11), out);
    EXPECT_EQ(out, "Europe");
}

TEST(WriteEscapedTextStream, BlankTextWritesNothing) {
    for (const std::string& blank : {std::string(), std::string("\r\n\0", 3), std::string(8, '\0')}) {
        memory_source source(blank);
        std::string out = "kept";
        EXPECT_FALSE(WriteEscapedTextStream(source, chunk_converter(), out));
        EXPECT_EQ(out, "kept");
    }
    const std::string nine(9, '\n');
    memory_source source(nine);
    std::string out;
    EXPECT_TRUE(WriteEscapedTextStream(source, chunk_converter(), out));
    EXPECT_EQ(out, "\\n\\n\\n\\n\\n\\n\\n\\n\\n");
}

// A line break is a line break however it is written; writing a lone LF as the letter "n" or a lone CR as a bare
// backslash would change the text (and the backslash would escape whatever follows it).
TEST(EscapedValues, EveryKindOfLineBreakBecomesBackslashN) {
    std::string out;
    AppendEscapedProperty(out, u"a\r\nb\nc\rd\r\r\ne", true);
    EXPECT_EQ(out, "a\\nb\\nc\\nd\\n\\ne");
    out.clear();
    AppendEscapedText("unix\nmac\rdos\r\n", out);
    EXPECT_EQ(out, "unix\\nmac\\ndos\\n");
    // A CR LF pair split between two reads of a stream is still one break.
    const std::string data = std::string(511, 'a') + "\r\nz";
    memory_source source(data);
    out.clear();
    EXPECT_TRUE(WriteEscapedTextStream(source, chunk_converter(), out));
    EXPECT_EQ(out.substr(out.size() - 4), "a\\nz");
    EXPECT_EQ(out.find("\\n\\n"), std::string::npos);
}

TEST(WriteEscapedTextStream, FoldingRunsOnAcrossReads) {
    const std::string data = "Hi\r\n" + std::string(596, 'a');
    memory_source source(data, 7);
    std::string out;
    EXPECT_TRUE(WriteEscapedTextStream(source, chunk_converter(), out));
    std::string expected = "Hi\\n" + std::string(71, 'a');
    for (int i = 0; i < 7; ++i) expected += "\r\n " + std::string(75, 'a');
    EXPECT_EQ(out, expected);
}

TEST(WriteEscapedTextStream, ConvertsFromTheStreamsCodePageToUtf8) {
    // Shift-JIS HIRAGANA A (82 A0) whose bytes fall on both sides of the first 512-byte read.
    const std::string straddling = std::string(511, 'a') + "\x82\xA0";
    const struct {
        std::string data;
        std::int32_t code_page;
        std::string ends;
    } cases[] = {{straddling, 932, "a\xE3\x81\x82"}, {"Caf\xE9; \x80 5", 1252, "Caf\xC3\xA9\\; \xE2\x82\xAC 5"}};
    for (const auto& c : cases) {
        memory_source source(c.data);
        std::string out;
        EXPECT_TRUE(WriteEscapedTextStream(source, find_text_encoding(c.code_page), out));
        EXPECT_TRUE(out.ends_with(c.ends)) << out;
    }
}

}  // namespace
}  // namespace mailferry
