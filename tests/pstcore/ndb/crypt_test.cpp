#include "pstcore/ndb/crypt.h"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

#include "support/test_helpers.h"

namespace pstcore {
namespace {

TEST(Crc, MatchesZlibCrcWithoutItsInversions) {
    // zlib's crc32("123456789") is 0xCBF43926; with initial 0 and no final inversion the PST variant of the
    // same bytes is crc32 computed from 0xFFFFFFFF and inverted back: 0x2DFD2D88.
    EXPECT_EQ(compute_crc(mftest::ascii("123456789")), 0x2DFD2D88u);
    EXPECT_EQ(compute_crc({}), 0u);
}

TEST(Crypt, TableHalvesAreInversesAndSIsAnInvolution) {
    const auto& t = crypt_table();
    for (unsigned x = 0; x < 256; ++x) {
        EXPECT_EQ(t[512 + t[x]], x);
        EXPECT_EQ(t[256 + t[256 + x]], x);
    }
}

// 00 decodes to the inverse table's first entry; 93 41 FF are the heap header bytes of a real file.
TEST(Crypt, PermuteDecodesZeroToFirstEntryOfInverse) {
    auto data = mftest::hex_bytes("00 93 41 ff");
    permute_decode(data);
    EXPECT_EQ(data, mftest::hex_bytes("47 bc 00 ec"));
}

// Decoding goes many bytes at a time (64 with vector instructions, two in the portable loop): every byte value, at
// every position, in every tail and from one buffer into another at an odd address, must still map through the
// inverse table on its own.
TEST(Crypt, PermuteDecodesEveryByteAtEveryPositionAndLength) {
    const auto& t = crypt_table();
    using decoder = void (*)(std::span<const std::byte>, std::byte*);
    const decoder decoders[] = {permute_decode, detail::permute_decode_portable};
    for (const decoder decode : decoders) {
        for (std::size_t length : {0, 1, 2, 63, 64, 257, 512}) {
            std::vector<std::byte> data(length + 1);
            for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::byte>((i * 37 + length) & 0xFF);
            std::vector<std::byte> out(length + 1);
            decode(std::span<const std::byte>(data).subspan(1), out.data() + 1);
            for (std::size_t i = 1; i <= length; ++i) {
                ASSERT_EQ(std::to_integer<unsigned>(out[i]), t[512 + std::to_integer<unsigned>(data[i])])
                    << "length " << length << ", byte " << i;
            }
        }
    }
}

TEST(Signature, XorsHalvesOfOffsetXorId) {
    EXPECT_EQ(compute_signature(0x138, 0x7E00), 0x7F38);
    EXPECT_EQ(compute_signature(0x10000, 0x20000), 0x0003);
}

}  // namespace
}  // namespace pstcore
