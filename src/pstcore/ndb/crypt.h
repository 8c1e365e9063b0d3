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
// Decodes `from` into `to`, which holds as many bytes (or is `from` itself).
void permute_decode(std::span<const std::byte> from, std::byte* to);

// Cyclic encoding keyed by the low 32 bits of the block id; the same call encodes and decodes.
void cyclic_crypt(std::span<std::byte> data, std::uint32_t key);
// The same from `from` into `to`, for bytes that start `position` bytes into their block (the key moves on with
// every byte).
void cyclic_crypt(std::span<const std::byte> from, std::byte* to, std::uint32_t key, std::size_t position);

namespace detail {
// The permutation decoder for machines without the vector instructions permute_decode uses when it can.
void permute_decode_portable(std::span<const std::byte> from, std::byte* to);
}  // namespace detail

}  // namespace pstcore
