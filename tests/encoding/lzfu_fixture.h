#pragma once
// lzfu_fixture.h: builds compressed-RTF values for the tests: literal-only LZFu streams (the simplest valid
// encoding), MELA values, and the CRC the header carries. Kept apart from the decoder so the two cannot share a
// mistake; the decoder checks the CRC, so a wrong one here fails every test that decodes such a value.

#include <array>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/corpus.h"
#include "support/test_helpers.h"

namespace mftest {

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

// The compressed-RTF value in sample file `name` whose header gives sizes `compressed` and `raw`, found without a
// PST reader: the files use the permutation encoding, which maps each byte on its own, so the header shows up in
// the decoded file; a value larger than one block continues in another block, found by the CRC in the header.
inline std::optional<std::string> corpus_rtf_value(const std::string& name, std::uint32_t compressed,
                                                   std::uint32_t raw) {
    std::ifstream table(shared_dir() / "reference" / "mpbbcrypt.txt");
    std::vector<unsigned char> permute;
    for (unsigned value = 0; table >> std::hex >> value;) permute.push_back(static_cast<unsigned char>(value));
    std::ifstream in(corpus_dir() / name, std::ios::binary);
    std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (permute.size() != 768) return std::nullopt;
    for (char& c : data) c = static_cast<char>(permute[512 + static_cast<unsigned char>(c)]);  // the inverse
    const auto u32_at = [&data](std::size_t at) {
        return static_cast<std::uint32_t>(get_le(ascii(data.substr(at, 4)), 0, 4));
    };

    for (std::size_t at = data.find("LZFu"); at != std::string::npos; at = data.find("LZFu", at + 1)) {
        if (at < 8 || u32_at(at - 8) != compressed || u32_at(at - 4) != raw) continue;
        constexpr std::size_t block_data = 8176;  // the most data one block holds
        const std::size_t header = at - 8, total = compressed + 4;
        if (total <= block_data) return data.substr(header, total);
        const std::string first = data.substr(header, block_data);
        const std::size_t rest = total - block_data;
        const std::uint32_t partial = rtf_crc(std::string_view(first).substr(16));
        for (std::size_t next = 0; next + rest <= data.size(); next += 64)
            if (rtf_crc(std::string_view(data).substr(next, rest), partial) == u32_at(header + 12))
                return first + data.substr(next, rest);
    }
    return std::nullopt;
}

}  // namespace mftest
