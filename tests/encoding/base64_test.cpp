#include "encoding/base64.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "support/test_helpers.h"

namespace mailferry {
namespace {

std::string bytes_0_to(int count) {
    std::string out;
    for (int i = 0; i < count; ++i) out.push_back(static_cast<char>(i));
    return out;
}

// The encoding of bytes 0..56, one full line.
const std::string line_0_56 = "AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8gISIjJCUmJygpKissLS4vMDEyMzQ1Njc4";

TEST(Base64, Rfc4648Vectors) {
    const std::vector<std::pair<std::string, std::string>> vectors = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
        {"\xff\xfe\x80", "//6A"},
    };
    for (const auto& [input, encoded] : vectors) {
        std::string appended = "x";
        AppendBase64(input, appended);
        EXPECT_EQ(appended, "x" + encoded);
        std::array<char, 16> buffer{};
        buffer.fill('#');
        EXPECT_TRUE(EncodeBase64(input, buffer));
        EXPECT_EQ(std::string(buffer.data()), encoded);
    }
}

TEST(Base64, TooSmallABufferKeepsTheWholeGroupsAndIsLogged) {
    mftest::captured_log log;
    std::array<char, 8> buffer{};
    EXPECT_FALSE(EncodeBase64("foobar", buffer));  // two groups and the terminator need 9
    EXPECT_EQ(std::string(buffer.data()), "Zm9v");
    std::array<char, 9> enough{};
    EXPECT_TRUE(EncodeBase64("foobar", enough));
    EXPECT_EQ(log.lines, std::vector<std::string>{"Insufficient encoding buffer for output."});
}

TEST(Base64, StreamEndsWithASeparatorExactlyAfterAFullLine) {
    std::string out;
    const std::string line = bytes_0_to(57);
    memory_source exact(line);
    WriteBase64Stream(exact, out, "\r\n");
    EXPECT_EQ(out, line_0_56 + "\r\n");

    out.clear();
    const std::string data = bytes_0_to(58);
    memory_source longer(data);
    WriteBase64Stream(longer, out, "\n");
    EXPECT_EQ(out, line_0_56 + "\nOQ==");

    out = "kept";
    memory_source empty("");
    WriteBase64Stream(empty, out, "\n");
    EXPECT_EQ(out, "kept");
}

TEST(Base64, BufferHasSeparatorsOnlyBetweenLines) {
    std::string out;
    WriteBase64Buffer(bytes_0_to(57), out, "\r\n");
    EXPECT_EQ(out, line_0_56);
    out.clear();
    WriteBase64Buffer(bytes_0_to(57) + bytes_0_to(57) + "9", out, "\r\n ");
    EXPECT_EQ(out, line_0_56 + "\r\n " + line_0_56 + "\r\n OQ==");
    out.clear();
    WriteBase64Buffer("", out, "\r\n");
    EXPECT_EQ(out, "");
}

TEST(Base64, LinesStayWholeAcrossChunksAndShortReads) {
    // 1001 lines and 3 bytes: more than one 57000-byte chunk, delivered 1000 bytes a read.
    const std::string data(1001 * 57 + 3, 'a');
    memory_source source(data, 1000);
    std::string out;
    WriteBase64Stream(source, out, "\n");
    std::string expected;
    for (int i = 0; i < 1001; ++i) {
        for (int k = 0; k < 19; ++k) expected += "YWFh";
        expected += "\n";
    }
    expected += "YWFh";
    EXPECT_EQ(out, expected);
}

}  // namespace
}  // namespace mailferry
