#pragma once
// ndb_check.h: test-side helpers that look at written bytes independently of the writer: a bit-by-bit CRC,
// the signature formula, little-endian reads, and the decoding of a stored data block.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "pstcore/ndb/crypt.h"
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

// The plain bytes of an external block, decoded with the file's encoding.
inline std::vector<std::byte> plain(std::span<const std::byte> file, const pstwrite::block_place& b,
                                    pstwrite::crypt c) {
    auto s = stored(file, b);
    std::vector<std::byte> out(s.begin(), s.end());
    if (c == pstwrite::crypt::permute)
        pstcore::permute_decode(out);
    else if (c == pstwrite::crypt::cyclic)
        pstcore::cyclic_crypt(out, static_cast<std::uint32_t>(b.bid));
    return out;
}

// A node's whole data stream, joined from the data blocks the layout lists.
inline std::vector<std::byte> node_data(std::span<const std::byte> file, const pstwrite::layout& l,
                                        const pstwrite::node_place& n) {
    std::vector<std::byte> out;
    for (std::uint64_t bid : n.data_blocks) {
        auto p = plain(file, *l.find_block(bid), l.enc);
        out.insert(out.end(), p.begin(), p.end());
    }
    return out;
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
