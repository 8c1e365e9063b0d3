#pragma once
// ndb_bytes.h: little-endian stores into a byte buffer, the writer's one home for byte order. Callers size the
// buffer first; an offset past the end throws std::out_of_range rather than writing out of bounds.

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>

namespace pstwrite {

inline void store_le(std::span<std::byte> buf, std::size_t offset, std::uint64_t value, std::size_t width) {
    if (offset > buf.size() || width > buf.size() - offset) throw std::out_of_range("store past end of buffer");
    for (std::size_t i = 0; i < width; ++i) buf[offset + i] = static_cast<std::byte>((value >> (8 * i)) & 0xFF);
}
inline void store_u8(std::span<std::byte> buf, std::size_t offset, std::uint8_t v) {
    store_le(buf, offset, v, 1);
}
inline void store_u16(std::span<std::byte> buf, std::size_t offset, std::uint16_t v) {
    store_le(buf, offset, v, 2);
}
inline void store_u32(std::span<std::byte> buf, std::size_t offset, std::uint32_t v) {
    store_le(buf, offset, v, 4);
}
inline void store_u64(std::span<std::byte> buf, std::size_t offset, std::uint64_t v) {
    store_le(buf, offset, v, 8);
}

// Reads back what store_le wrote; used by the damage and layout code on bytes it has already bounds-checked.
inline std::uint64_t load_le(std::span<const std::byte> buf, std::size_t offset, std::size_t width) {
    if (offset > buf.size() || width > buf.size() - offset) throw std::out_of_range("load past end of buffer");
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < width; ++i)
        v |= static_cast<std::uint64_t>(std::to_integer<unsigned>(buf[offset + i])) << (8 * i);
    return v;
}

}  // namespace pstwrite
