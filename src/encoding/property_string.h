#pragma once
// property_string.h: the rule by which a string property's raw value becomes text. 8-bit values (0x001E, and the
// elements of a 0x101E list) are decoded with the code page attached to the bag or row that holds them; every
// other string type is UTF-16LE. The caller has already checked that the property is a string type and, for a
// list, split the value into its elements; these functions only decode. Failures are those of text_conversion.h
// (an 8-bit value with no code page attached throws "bytes_to_wstring: No Text Encoding provided !").

#include "encoding/code_page_table.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace mailferry {

inline constexpr std::uint16_t string8_property_type = 0x001E;
inline constexpr std::uint16_t unicode_property_type = 0x001F;
inline constexpr std::uint16_t multiple_string8_property_type = 0x101E;
inline constexpr std::uint16_t multiple_unicode_property_type = 0x101F;

// The row to decode a value of this type with: `attached` (may be null) for 8-bit strings, UTF-16LE otherwise.
const TextEncodingItem* string_property_encoding(std::uint16_t property_type, const TextEncodingItem* attached);

// A value (or one element of a multi-valued value) of `property_type` as a wide, UTF-16 or UTF-8 string.
std::wstring read_string_property(std::span<const std::byte> raw, std::uint16_t property_type,
                                  const TextEncodingItem* attached);
std::u16string read_unistring_property(std::span<const std::byte> raw, std::uint16_t property_type,
                                       const TextEncodingItem* attached);
std::string read_utf8string_property(std::span<const std::byte> raw, std::uint16_t property_type,
                                     const TextEncodingItem* attached);

}  // namespace mailferry
