#pragma once
// ndb_check.h: test-side helpers for the writer's tests: a bit-by-bit CRC, little-endian reads, the block sizes
// of each format and reproducible data.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "pstwrite/ndb_writer.h"
#include "support/test_helpers.h"

namespace ndbcheck {

using mftest::slow_crc;

inline constexpr auto le = &mftest::get_le;

inline bool unicode(pstwrite::format f) {
    return f == pstwrite::format::unicode;
}
inline unsigned id_size(pstwrite::format f) {
    return unicode(f) ? 8 : 4;
}
inline std::size_t max_data(pstwrite::format f) {
    return unicode(f) ? 8176 : 8180;
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
