#pragma once
// lzfu_fixture.h: builds compressed-RTF values for the tests: literal-only LZFu streams (the simplest valid
// encoding), MELA values, and the CRC the header carries. Kept apart from the decoder so the two cannot share a
// mistake; the CRC is checked against the published examples in compressed_rtf_test.cpp.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mftest {

inline std::vector<std::byte> to_bytes(std::string_view text) {
    std::vector<std::byte> out;
    for (char c : text) out.push_back(static_cast<std::byte>(c));
    return out;
}

inline std::uint32_t rtf_crc(std::string_view bytes, std::uint32_t crc = 0) {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    for (unsigned char b : bytes) crc = table[(crc ^ b) & 0xFF] ^ (crc >> 8);
    return crc;
}

inline void put_u32(std::string& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// A whole value around `contents`: sizes, type and (for LZFu) the CRC.
inline std::string make_value(std::string_view contents, std::uint32_t raw_size, std::string_view type) {
    std::string value;
    put_u32(value, static_cast<std::uint32_t>(contents.size() + 12));
    put_u32(value, raw_size);
    value.append(type);
    put_u32(value, type == "LZFu" ? rtf_crc(contents) : 0);
    value.append(contents);
    return value;
}

// Every byte as a literal, eight to a control byte, closed by the end reference (offset == write position).
inline std::string lzfu_literal_contents(std::string_view text) {
    std::string out;
    std::size_t i = 0;
    std::size_t write = 207;
    for (;;) {
        const std::size_t count = std::min<std::size_t>(8, text.size() - i);
        const bool room_for_end = count < 8;
        out.push_back(static_cast<char>(room_for_end ? 1u << count : 0));
        out.append(text.substr(i, count));
        i += count;
        write += count;
        if (room_for_end) {
            const unsigned end = static_cast<unsigned>((write % 4096) << 4);
            out.push_back(static_cast<char>(end >> 8));
            out.push_back(static_cast<char>(end & 0xFF));
            return out;
        }
    }
}

inline std::string lzfu_value(std::string_view text) {
    return make_value(lzfu_literal_contents(text), static_cast<std::uint32_t>(text.size()), "LZFu");
}

}  // namespace mftest
