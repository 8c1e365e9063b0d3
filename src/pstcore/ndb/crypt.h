#pragma once
// crypt.h: the PST checksum, the page and block signature, and the two byte encodings of external data blocks.
// This is the one piece of format knowledge that the reader and the test-fixture writer share.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace pstcore {

// CRC-32 with the reflected polynomial 0xEDB88320, starting from `initial` and with no final inversion.
std::uint32_t compute_crc(std::span<const std::byte> data, std::uint32_t initial = 0);

// The 16-bit signature of a page or block: derived from its id and file offset.
constexpr std::uint16_t compute_signature(std::uint64_t id, std::uint64_t address) {
    const auto x = static_cast<std::uint32_t>(address ^ id);
    return static_cast<std::uint16_t>((x >> 16) ^ x);
}

// The 768-byte substitution table, in the order R, S, I.
const std::array<std::uint8_t, 768>& crypt_table();

// Permutation encoding ("compressible encryption"): encode maps through R, decode through I.
void permute_encode(std::span<std::byte> data);
void permute_decode(std::span<std::byte> data);

// Cyclic encoding keyed by the low 32 bits of the block id; the same call encodes and decodes.
void cyclic_crypt(std::span<std::byte> data, std::uint32_t key);

}  // namespace pstcore
