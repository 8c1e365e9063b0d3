#pragma once
// compressed_rtf_format.h: the layout of a compressed-RTF value (PidTagRtfCompressed): a 16-byte header of four
// little-endian 32-bit fields, then LZFu tokens or the stored text. Shared by the decompressor and its tests.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace mailferry::compressed_rtf_format {

inline constexpr std::size_t header_size = 16;
inline constexpr std::size_t compressed_size_offset = 0;  // the value's length minus 4
inline constexpr std::size_t raw_size_offset = 4;         // the text's length after decompression
inline constexpr std::size_t type_offset = 8;
inline constexpr std::size_t crc_offset = 12;  // LZFu only: CRC-32 of the bytes after the header

inline constexpr std::uint32_t type_compressed = 0x75465A4C;  // "LZFu"
inline constexpr std::uint32_t type_stored = 0x414C454D;      // "MELA"

// The size field counts the header bytes that follow it.
inline constexpr std::size_t compressed_size_bias = 4;

// One control byte and eight two-byte references give at most 8 * 17 bytes from 17: a raw size above
// this many times the compressed size (plus a little) cannot be honest.
inline constexpr std::uint64_t max_expansion = 9;
inline constexpr std::uint64_t max_expansion_slack = 256;

// References address a 4096-byte window that starts out holding this text.
inline constexpr std::size_t window_size = 4096;
inline constexpr std::string_view initial_dictionary =
    "{\\rtf1\\ansi\\mac\\deff0\\deftab720{\\fonttbl;}{\\f0\\fnil \\froman \\fswiss \\fmodern \\fscript \\fdecor MS "
    "Sans SerifSymbolArialTimes New RomanCourier{\\colortbl\\red0\\green0\\blue0\r\n\\par "
    "\\pard\\plain\\f0\\fs20\\b\\i\\u\\tab\\tx";
static_assert(initial_dictionary.size() == 207);

}  // namespace mailferry::compressed_rtf_format
