#include "encoding/escaping.h"

#include "encoding/code_page_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace mailferry {
namespace {

std::u16string repeated(std::u16string_view unit, int count) {
    std::u16string out;
    for (int i = 0; i < count; ++i) out += unit;
    return out;
}

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
}

TEST(AppendEscapedProperty, LongValuesAreCutAt1032BytesOnACharacterBoundary) {
    std::string out;
    AppendEscapedProperty(out, std::u16string(1100, u'a'), false);
    EXPECT_EQ(out, std::string(1032, 'a'));
    out.clear();
    AppendEscapedProperty(out, u"a" + repeated(u"\u00e9", 600), false);
    EXPECT_EQ(out.size(), 1031u);
    EXPECT_EQ(out.substr(1029), "\xC3\xA9");
}

TEST(AppendEscapedText, FoldsAfterEvery75InputBytes) {
    std::string out;
    AppendEscapedText(std::string(160, 'a'), out);
    EXPECT_EQ(out, std::string(75, 'a') + "\r\n " + std::string(75, 'a') + "\r\n " + std::string(10, 'a'));
    // An escaped byte counts once, though it is written as two.
    out.clear();
    AppendEscapedText(std::string(74, 'a') + ",b", out);
    EXPECT_EQ(out, std::string(74, 'a') + "\\,\r\n b");
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
    EXPECT_EQ(out, "nnnnnnnnn");
}

TEST(WriteEscapedTextStream, FoldingRunsOnAcrossChunks) {
    const std::string data = "Hi\r\n" + std::string(596, 'a');
    memory_source source(data, 7);
    std::vector<std::size_t> chunks;
    const chunk_converter record = [&](std::string_view in, std::string& out) {
        chunks.push_back(in.size());
        out.append(in);
    };
    std::string out;
    EXPECT_TRUE(WriteEscapedTextStream(source, record, out));
    std::string expected = "Hi\\n" + std::string(71, 'a');
    for (int i = 0; i < 7; ++i) expected += "\r\n " + std::string(75, 'a');
    EXPECT_EQ(out, expected);
    EXPECT_EQ(chunks, (std::vector<std::size_t>{512, 88}));
}

TEST(WriteEscapedTextStream, ConvertsFromTheStreamsCodePageToUtf8) {
    memory_source source("Caf\xE9; \x80 5");
    std::string out;
    EXPECT_TRUE(WriteEscapedTextStream(source, find_text_encoding(1252), out));
    EXPECT_EQ(out, "Caf\xC3\xA9\\; \xE2\x82\xAC 5");
}

}  // namespace
}  // namespace mailferry
