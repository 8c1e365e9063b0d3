#include "encoding/property_string.h"

#include "encoding/text_conversion.h"

namespace mailferry {

const TextEncodingItem* string_property_encoding(std::uint16_t property_type, const TextEncodingItem* attached) {
    if (property_type == string8_property_type || property_type == multiple_string8_property_type) return attached;
    return utf16le_encoding();
}

std::wstring read_string_property(std::span<const std::byte> raw, std::uint16_t property_type,
                                  const TextEncodingItem* attached) {
    return bytes_to_wstring(raw, string_property_encoding(property_type, attached));
}

std::u16string read_unistring_property(std::span<const std::byte> raw, std::uint16_t property_type,
                                       const TextEncodingItem* attached) {
    return bytes_to_unistring(raw, string_property_encoding(property_type, attached));
}

std::string read_utf8string_property(std::span<const std::byte> raw, std::uint16_t property_type,
                                     const TextEncodingItem* attached) {
    return bytes_to_utf8string(raw, string_property_encoding(property_type, attached));
}

}  // namespace mailferry
