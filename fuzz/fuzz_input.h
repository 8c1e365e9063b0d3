#pragma once
// fuzz_input.h: turns a fuzzer's input into the bytes of a PST file worth opening. Mutations of the header would
// nearly all die at its CRC check; recomputing the CRCs lets the fuzzer reach the roots, sizes and versions the
// header describes.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "pstcore/ndb/crypt.h"

namespace fuzzing {

inline std::vector<std::byte> pst_bytes_with_valid_header_crcs(const std::uint8_t* data, std::size_t size) {
    std::vector<std::byte> bytes(reinterpret_cast<const std::byte*>(data),
                                 reinterpret_cast<const std::byte*>(data) + size);
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::byte>(v >> (8 * i));
    };
    // The partial CRC covers bytes 8..479, the full one (Unicode only) bytes 8..524.
    if (bytes.size() >= 512) put32(4, pstcore::compute_crc(std::span(bytes).subspan(8, 471)));
    if (bytes.size() >= 568) put32(524, pstcore::compute_crc(std::span(bytes).subspan(8, 516)));
    return bytes;
}

}  // namespace fuzzing
