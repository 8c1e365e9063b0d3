#pragma once
// ndb_check.h: test-side helpers that look at written bytes independently of the writer: a bit-by-bit CRC,
// the signature formula, little-endian reads.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "pstwrite/ndb_writer.h"
#include "support/test_helpers.h"

namespace ndbcheck {

using mftest::slow_crc;

inline std::uint16_t signature(std::uint64_t bid, std::uint64_t ib) {
    const auto v = static_cast<std::uint32_t>(bid ^ ib);
    return static_cast<std::uint16_t>((v >> 16) ^ (v & 0xFFFF));
}

inline constexpr auto le = &mftest::get_le;

inline bool unicode(pstwrite::format f) {
    return f == pstwrite::format::unicode;
}
inline unsigned id_size(pstwrite::format f) {
    return unicode(f) ? 8 : 4;
}
inline unsigned trailer_size(pstwrite::format f) {
    return unicode(f) ? 16 : 12;
}
inline std::size_t max_data(pstwrite::format f) {
    return unicode(f) ? 8176 : 8180;
}

// The stored bytes of a block (without padding and trailer), as the writer reported it.
inline std::span<const std::byte> stored(std::span<const std::byte> file, const pstwrite::block_place& b) {
    return file.subspan(b.ib, b.cb);
}

inline std::vector<std::byte> pattern(std::size_t size, unsigned seed) {
    std::vector<std::byte> v(size);
    std::uint32_t x = seed * 2654435761u + 1;
    for (auto& b : v) {
        x = x * 1103515245u + 12345u;
        b = static_cast<std::byte>(x >> 16);
    }
    return v;
}

}  // namespace ndbcheck
