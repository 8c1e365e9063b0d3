#pragma once
// ndb_check.h: test-side helpers for the writer's tests: the most data a block holds in each format, and
// reproducible data.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "pstwrite/ndb_writer.h"

namespace ndbcheck {

inline std::size_t max_data(pstwrite::format f) {
    return f == pstwrite::format::unicode ? 8176 : 8180;
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
