#pragma once
// property_text.h: the one place where this layer turns a string property's bytes into text, and a name into
// the UTF-16LE bytes the file stores. 8-bit strings (0x001E and the elements of 0x101E) decode with the code page
// attached to the bag or row; every other type decodes as UTF-16LE. An 8-bit string with no code page attached
// throws std::runtime_error.

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "pstcore/tables/tables_format.h"

namespace mailferry {
struct TextEncodingItem;
}

namespace pstcore {

std::wstring decode_prop_wstring(std::span<const std::byte> raw, prop_type type,
                                 const mailferry::TextEncodingItem* encoding);
std::u16string decode_prop_unistring(std::span<const std::byte> raw, prop_type type,
                                     const mailferry::TextEncodingItem* encoding);
std::string decode_prop_utf8string(std::span<const std::byte> raw, prop_type type,
                                   const mailferry::TextEncodingItem* encoding);

// `text` as UTF-16LE bytes (characters above U+FFFF as surrogate pairs), with no terminator.
std::vector<std::byte> encode_utf16le(std::wstring_view text);

}  // namespace pstcore
