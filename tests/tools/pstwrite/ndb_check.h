#pragma once
// ndb_check.h: test-side helpers that look at written bytes independently of the writer: a bit-by-bit CRC,
// the signature formula, little-endian reads, and the decoding of a stored data block.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "pstcore/ndb/crypt.h"
#include "pstwrite/ndb_writer.h"

namespace ndbcheck {

// The PST CRC-32 computed the slow way: reflected 0xEDB88320, initial 0, no final inversion.
inline std::uint32_t slow_crc(std::span<const std::byte> data) {
    std::uint32_t crc = 0;
    for (std::byte b : data) {
        crc ^= std::to_integer<std::uint32_t>(b);
        for (int i = 0; i < 8; ++i) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return crc;
}

inline std::uint16_t signature(std::uint64_t bid, std::uint64_t ib) {
    const auto v = static_cast<std::uint32_t>(bid ^ ib);
    return static_cast<std::uint16_t>((v >> 16) ^ (v & 0xFFFF));
}

inline std::uint64_t le(std::span<const std::byte> bytes, std::uint64_t offset, unsigned width) {
    std::uint64_t v = 0;
    for (unsigned i = 0; i < width; ++i) v |= std::to_integer<std::uint64_t>(bytes[offset + i]) << (8 * i);
    return v;
}

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
