#include "encoding/compressed_rtf.h"

#include <gtest/gtest.h>

#include "lzfu_fixture.h"
#include "support/corpus.h"

namespace mailferry {
namespace {

// The two examples of the compressed-RTF standard, byte for byte.
const std::string hello_world = mftest::from_hex(
    "2d 00 00 00 2b 00 00 00 4c 5a 46 75 f1 c5 c7 a7 03 00 0a 00 72 63 70 67 31 32 35 42 32 0a f3 20"
    "68 65 6c 09 00 20 62 77 05 b0 6c 64 7d 0a 80 0f a0");
const std::string overlapping =
    mftest::from_hex("1a 00 00 00 1c 00 00 00 4c 5a 46 75 e2 d4 4b 51 41 00 04 20 57 58 59 5a 0d 6e 7d 01 0e b0");

std::string decompress(std::string_view value, std::vector<rtf_picture_info>* pictures = nullptr) {
    std::string text;
    std::vector<rtf_picture_info> found;
    const auto bytes = mftest::ascii(value);
    DecompressRtf(bytes, text, found);
    if (pictures) *pictures = found;
    return text;
}

std::string failure_of(std::string_view value) {
    return mftest::failure_of<compressed_rtf_error>([&] { decompress(value); });
}

std::string with_u32(std::string value, std::size_t offset, std::uint32_t field) {
    for (int i = 0; i < 4; ++i) value[offset + i] = static_cast<char>((field >> (8 * i)) & 0xFF);
    return value;
}

TEST(DecompressRtf, PublishedExamples) {
    EXPECT_EQ(decompress(hello_world), "{\\rtf1\\ansi\\ansicpg1252\\pard hello world}\r\n");
    // The long reference reads bytes it has just written.
    EXPECT_EQ(decompress(overlapping), "{\\rtf1 WXYZWXYZWXYZWXYZWXYZ}");
}

TEST(DecompressRtf, StoredTextIsTheBytesAfterTheHeaderWhateverTheRawSaysAndHasNoPictures) {
    const std::string text = "{\\rtf1\\ansi\\fromtext{\\pict\\pngblip 00}Body}";
    // As some writers store it: the raw size equals the size field, 12 bytes more than the text.
    std::string value = mftest::make_value(text, static_cast<std::uint32_t>(text.size() + 12), "MELA");
    std::vector<rtf_picture_info> pictures;
    EXPECT_EQ(decompress(value, &pictures), text);
    EXPECT_TRUE(pictures.empty());
    EXPECT_EQ(decompress(with_u32(value, 4, 0xFFFFFFFF)), text);
    EXPECT_EQ(decompress(mftest::make_value("{\\rtf1 x}", 9, "ABCD")), "") << "an unknown type gives no text";
}

TEST(DecompressRtf, FailureTexts) {
    EXPECT_EQ(failure_of(hello_world.substr(0, 15)), "Invalid compressed-RTF header");
    EXPECT_EQ(failure_of(""), "Invalid compressed-RTF header");
    EXPECT_EQ(failure_of(with_u32(hello_world, 0, 0x2c)), "compressed-RTF data size mismatch");
    EXPECT_EQ(failure_of(hello_world + '\0'), "compressed-RTF data size mismatch");
    std::string flipped = hello_world;
    flipped[30] ^= 0x01;
    EXPECT_EQ(failure_of(flipped), "compressed-RTF CRC32 failed");
    EXPECT_EQ(failure_of(with_u32(hello_world, 12, 0)), "compressed-RTF CRC32 failed");
}

TEST(DecompressRtf, RejectsRawSizeBeyondWhatLzfuCanExpandTo) {
    // 26 bytes after the size field: at most 9 * 26 + 256 = 490 bytes of text.
    EXPECT_EQ(failure_of(with_u32(overlapping, 4, 491)), "compressed-RTF data size mismatch");
    EXPECT_EQ(failure_of(with_u32(overlapping, 4, 0xFFFFFFFF)), "compressed-RTF data size mismatch");
    // At the limit the value is accepted; the input ends long before, and the rest stays zero.
    const std::string text = decompress(with_u32(overlapping, 4, 490));
    ASSERT_EQ(text.size(), 490u);
    EXPECT_EQ(text.substr(0, 28), "{\\rtf1 WXYZWXYZWXYZWXYZWXYZ}");
    EXPECT_EQ(text.find_first_not_of('\0', 28), std::string::npos);
}

TEST(DecompressRtf, TruncatedStreamsStopAtTheEndOfInput) {
    // The first run of the first example only, then half a reference.
    const std::string first_run(hello_world.data() + 16, 11);
    std::string text = decompress(mftest::make_value(first_run, 43, "LZFu"));
    EXPECT_EQ(text, std::string("{\\rtf1\\ansi\\ansicpg125") + std::string(21, '\0'));
    text = decompress(mftest::make_value(first_run + "\x42" + "2" + "\x0a", 43, "LZFu"));
    EXPECT_EQ(text.substr(0, 23), "{\\rtf1\\ansi\\ansicpg1252");
    EXPECT_EQ(text.find_first_not_of('\0', 23), std::string::npos);
}

TEST(DecompressRtf, AReferenceBeforeTheOutputCopiesNothing) {
    // Offset 300 lies ahead of write position 207 and so 4096 bytes back: before the output, so it copies nothing.
    EXPECT_EQ(decompress(mftest::make_value(std::string("\x02", 1) + "a" + "\x12\xC0" + "b", 2, "LZFu")), "ab");
}

TEST(DecompressRtf, DamagedStreamsWithValidHeadersNeverReadOrWriteOutOfBounds) {
    // Random damage to the tokens, with the CRC made right again so the damage reaches the decoder.
    const std::string rtf =
        "{\\rtf1{\\*\\shppict{\\pict\\pngblip\\bliptag5 89504e47}}{\\nonshppict{\\pict "
        "\\wmetafile8 0100}}Hello}";
    const std::string contents = mftest::lzfu_literal_contents(rtf) + std::string(hello_world, 16);
    std::uint32_t seed = 12345;
    const auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
    for (int round = 0; round < 3000; ++round) {
        std::string damaged = contents;
        for (int k = 0; k < 4; ++k) damaged[next() % damaged.size()] = static_cast<char>(next() >> 16);
        damaged.resize(next() % (damaged.size() + 1));
        const auto raw = static_cast<std::uint32_t>(next() % (9 * (damaged.size() + 12) + 257));
        std::vector<rtf_picture_info> pictures;
        const std::string text = decompress(mftest::make_value(damaged, raw, "LZFu"), &pictures);
        ASSERT_EQ(text.size(), raw);
        for (const rtf_picture_info& p : pictures) {
            ASSERT_LE(p.groupStart + std::uint64_t{p.groupLength}, text.size());
            ASSERT_LE(p.dataStart + std::uint64_t{p.dataLength}, text.size());
        }
    }
}

// The compressed-RTF values of the sample files.
TEST(DecompressRtfCorpus, RealValuesDecompressToTheirRawSize) {
    MF_REQUIRE_CORPUS();
    struct expected {
        std::string file;
        std::uint32_t compressed;
        std::uint32_t raw;
        std::string_view starts;
    };
    const std::vector<expected> values = {
        {"mixed-items.pst", 5467, 23035, "{\\rtf1\\adeflang1025\\ansi\\ansicpg1252\\uc1"},
        {"mixed-items.pst", 5432, 22949, "{\\rtf1\\adeflang1025\\ansi\\ansicpg1252\\uc1"},
        {"recurring-distlist.pst", 3210, 9752, "{\\rtf1\\adeflang1025\\ansi\\ansicpg1252\\uc1"},
        {"recurring-distlist.pst", 3292, 10100, "{\\rtf1\\adeflang1025\\ansi\\ansicpg1252\\uc1"},
        {"recurring-distlist.pst", 3285, 10093, "{\\rtf1\\adeflang1025\\ansi\\ansicpg1252\\uc1"},
        {"rtf-html-inline.pst", 9056, 42418, "{\\rtf1\\ansi\\ansicpg932\\fromhtml1 \\fbidis \\deff0{\\fonttbl"},
    };
    for (const expected& want : values) {
        SCOPED_TRACE(want.file + " " + std::to_string(want.compressed));
        const auto value = mftest::corpus_rtf_value(want.file, want.compressed, want.raw);
        ASSERT_TRUE(value.has_value());
        std::vector<rtf_picture_info> pictures;
        const std::string text = decompress(*value, &pictures);
        EXPECT_EQ(text.size(), want.raw);
        EXPECT_TRUE(text.starts_with(want.starts)) << text.substr(0, 80);
        EXPECT_TRUE(text.ends_with(std::string("}\0", 2)) || text.ends_with("}") || text.ends_with("}\r\n"))
            << text.substr(text.size() - 10);
    }
}

}  // namespace
}  // namespace mailferry
