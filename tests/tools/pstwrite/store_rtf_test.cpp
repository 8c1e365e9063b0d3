// Compressed RTF: the two published LZFu examples byte for byte, and longer texts through a small independent
// decoder written here from the published algorithm.
#include <gtest/gtest.h>

#include "ltp_check.h"
#include "pstwrite/rtf_compress.h"

namespace {

using ltpcheck::hex;

// Decompresses an LZFu or MELA value; checks the header's sizes and CRC as it goes.
std::string decode(const ltpcheck::bytes& blob) {
    static const std::string dict_init =
        "{\\rtf1\\ansi\\mac\\deff0\\deftab720{\\fonttbl;}{\\f0\\fnil \\froman \\fswiss \\fmodern \\fscript "
        "\\fdecor MS Sans SerifSymbolArialTimes New RomanCourier{\\colortbl\\red0\\green0\\blue0\r\n\\par "
        "\\pard\\plain\\f0\\fs20\\b\\i\\u\\tab\\tx";
    const auto comp = ltpcheck::le(blob, 0, 4), raw = ltpcheck::le(blob, 4, 4), magic = ltpcheck::le(blob, 8, 4);
    EXPECT_EQ(comp + 4, blob.size());
    const ltpcheck::bytes contents(blob.begin() + 16, blob.end());
    std::string out;
    if (magic == 0x414C454D) {
        EXPECT_EQ(ltpcheck::le(blob, 12, 4), 0u);
        for (auto b : contents) out.push_back(static_cast<char>(b));
        EXPECT_EQ(out.size(), raw);
        return out;
    }
    EXPECT_EQ(magic, 0x75465A4Cu);
    EXPECT_EQ(ltpcheck::le(blob, 12, 4), ltpcheck::slow_crc(contents));
    std::vector<char> dict(4096, 0);
    std::copy(dict_init.begin(), dict_init.end(), dict.begin());
    std::size_t wp = dict_init.size(), in = 0;
    bool ended = false;
    while (in < contents.size() && !ended) {
        const auto control = std::to_integer<unsigned>(contents[in++]);
        for (int bit = 0; bit < 8 && in < contents.size(); ++bit) {
            if (control & (1u << bit)) {
                if (in + 2 > contents.size()) return out;
                const unsigned word =
                    (std::to_integer<unsigned>(contents[in]) << 8) | std::to_integer<unsigned>(contents[in + 1]);
                in += 2;
                const std::size_t offset = word >> 4, length = (word & 15) + 2;
                if (offset == wp) {
                    ended = true;
                    break;
                }
                for (std::size_t k = 0; k < length; ++k) {
                    const char c = dict[(offset + k) % 4096];
                    out.push_back(c);
                    dict[wp] = c;
                    wp = (wp + 1) % 4096;
                }
            } else {
                const char c = static_cast<char>(contents[in++]);
                out.push_back(c);
                dict[wp] = c;
                wp = (wp + 1) % 4096;
            }
        }
    }
    EXPECT_TRUE(ended);
    EXPECT_EQ(out.size(), raw);
    return out;
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
