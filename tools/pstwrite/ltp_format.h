#pragma once
// ltp_format.h: the layout constants of the list, table and property layer (heaps, BTHs, property and table
// contexts) and the little-endian helpers the pstwrite LTP code appends bytes with. Writer-side only.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace pstwrite {

using bytes = std::vector<std::byte>;

namespace ltp {
inline constexpr std::uint8_t heap_signature = 0xEC;
inline constexpr std::uint8_t client_bth = 0xB5;
inline constexpr std::uint8_t client_pc = 0xBC;
inline constexpr std::uint8_t client_tc = 0x7C;
inline constexpr std::size_t heap_first_header = 12;           // HNHDR
inline constexpr std::size_t heap_page_header = 2;             // HNPAGEHDR
inline constexpr std::size_t heap_bitmap_header = 66;          // HNBITMAPHDR, on pages 8, 136, 264 …
inline constexpr std::size_t max_heap_item = 3580;             // Outlook never allocates more in one item
inline constexpr std::size_t max_allocations_per_page = 2047;  // 11-bit item index
inline constexpr std::size_t bth_header_size = 8;
inline constexpr std::size_t tcinfo_fixed_size = 22;
inline constexpr std::size_t tcoldesc_size = 8;
inline constexpr std::uint32_t nid_type_ltp = 0x1F;
inline constexpr std::uint32_t tag_row_id = 0x67F20003;
inline constexpr std::uint32_t tag_row_ver = 0x67F30003;

// Item index k (1-based) on heap page `page`.
constexpr std::uint32_t make_hid(std::uint32_t page, std::uint32_t index) {
    return (page << 16) | (index << 5);
}
}  // namespace ltp

inline void put_u8(bytes& out, std::uint8_t v) {
    out.push_back(std::byte{v});
}
inline void put_u16(bytes& out, std::uint16_t v) {
    for (int i = 0; i < 2; ++i) out.push_back(static_cast<std::byte>(v >> (8 * i)));
}
inline void put_u32(bytes& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::byte>(v >> (8 * i)));
}
inline void put_u64(bytes& out, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) out.push_back(static_cast<std::byte>(v >> (8 * i)));
}
inline void put_bytes(bytes& out, std::span<const std::byte> b) {
    out.insert(out.end(), b.begin(), b.end());
}
inline void set_u16(std::span<std::byte> out, std::size_t at, std::uint16_t v) {
    for (int i = 0; i < 2; ++i) out[at + i] = static_cast<std::byte>(v >> (8 * i));
}
inline void set_u32(std::span<std::byte> out, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<std::byte>(v >> (8 * i));
}
inline std::uint32_t get_u32(std::span<const std::byte> in, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= std::to_integer<std::uint32_t>(in[at + i]) << (8 * i);
    return v;
}
inline bytes to_bytes(std::string_view s) {
    bytes b(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) b[i] = static_cast<std::byte>(s[i]);
    return b;
}
// UTF-16LE bytes of a UTF-16 string, no terminator.
inline bytes utf16le(std::u16string_view s) {
    bytes b;
    b.reserve(s.size() * 2);
    for (char16_t c : s) put_u16(b, static_cast<std::uint16_t>(c));
    return b;
}
// ASCII or Latin-1 text widened to UTF-16 (the generator's and demo's strings are Latin-1).
inline std::u16string widen(std::string_view s) {
    std::u16string w(s.size(), u'\0');
    for (std::size_t i = 0; i < s.size(); ++i) w[i] = static_cast<unsigned char>(s[i]);
    return w;
}

}  // namespace pstwrite
