// Compressed RTF: the two published LZFu examples byte for byte, and longer texts back through the reader's own
// decoder, which checks the sizes and the CRC.
#include <gtest/gtest.h>

#include "encoding/compressed_rtf.h"
#include "pstwrite/rtf_compress.h"
#include "support/test_helpers.h"

namespace {

constexpr auto hex = &mftest::hex_bytes;

std::string decode(const std::vector<std::byte>& blob) {
    std::string text;
    std::vector<mailferry::rtf_picture_info> pictures;
    mailferry::DecompressRtf(blob, text, pictures);
    return text;
}

// The two published LZFu examples (the second copies over its own write position).
TEST(RtfCompress, PublishedExamples) {
    EXPECT_EQ(pstwrite::rtf_compress_lzfu("{\\rtf1\\ansi\\ansicpg1252\\pard hello world}\r\n"),
              hex("2d 00 00 00 2b 00 00 00 4c 5a 46 75 f1 c5 c7 a7"
                  "03 00 0a 00 72 63 70 67 31 32 35 42 32 0a f3 20"
                  "68 65 6c 09 00 20 62 77 05 b0 6c 64 7d 0a 80 0f a0"));
    EXPECT_EQ(pstwrite::rtf_compress_lzfu("{\\rtf1 WXYZWXYZWXYZWXYZWXYZ}"),
              hex("1a 00 00 00 1c 00 00 00 4c 5a 46 75 e2 d4 4b 51"
                  "41 00 04 20 57 58 59 5a 0d 6e 7d 01 0e b0"));
}

TEST(RtfCompress, LongTextsRoundTripAcrossTheDictionaryWrap) {
    std::string text = pstwrite::rtf_from_text("Caf\xE9 {menu}\n\tline two\n");
    std::uint32_t x = 7;
    while (text.size() < 20000) {  // past several 4096-byte dictionary wraps, with repeats and noise
        x = x * 1103515245u + 12345u;
        text += (x >> 20) % 3 == 0 ? std::string(1, static_cast<char>('a' + (x >> 16) % 26)) : "\\par lorem ipsum ";
    }
    for (const std::string& t : {std::string{}, std::string("a"), text}) {
        const auto blob = pstwrite::rtf_compress_lzfu(t);
        EXPECT_EQ(decode(blob), t);
    }
    EXPECT_LT(pstwrite::rtf_compress_lzfu(text).size(), text.size() / 2);
}

TEST(RtfCompress, MelaAndEncapsulation) {
    EXPECT_EQ(pstwrite::rtf_wrap_mela("{\\rtf1}"), hex("13000000 07000000 4D454C41 00000000 7B5C72746631 7D"));
    EXPECT_EQ(pstwrite::rtf_from_text("a{b}\\c\xE9\n"),
              "{\\rtf1\\ansi\\ansicpg1252\\fromtext \\deff0{\\fonttbl\r\n{\\f0\\fswiss\\fcharset0 Arial;}}\r\n"
              "\\uc1\\pard\\plain\\f0\\fs20 a\\{b\\}\\\\c\\'e9\\par\r\n}\r\n");
    EXPECT_NE(pstwrite::rtf_from_html("<p>x</p>").find("{\\*\\htmltag64 <p>}x{\\*\\htmltag64 </p>}"),
              std::string::npos);
}

}  // namespace
