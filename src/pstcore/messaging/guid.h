#pragma once
// guid.h: a property-set GUID in the Windows layout (32-bit, 16-bit, 16-bit little-endian fields, then 8 bytes),
// kept as its 16 stored bytes and compared byte for byte; and the property sets this program looks names up in.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace pstcore {

struct guid {
    std::array<std::byte, 16> bytes{};

    // From its fields, as a GUID is written: {data1-data2-data3-data4[0..1]-data4[2..7]}.
    static constexpr guid from_fields(std::uint32_t data1, std::uint16_t data2, std::uint16_t data3,
                                      std::array<std::uint8_t, 8> data4) {
        guid g;
        for (std::size_t i = 0; i < 4; ++i) g.bytes[i] = static_cast<std::byte>((data1 >> (8 * i)) & 0xFF);
        for (std::size_t i = 0; i < 2; ++i) g.bytes[4 + i] = static_cast<std::byte>((data2 >> (8 * i)) & 0xFF);
        for (std::size_t i = 0; i < 2; ++i) g.bytes[6 + i] = static_cast<std::byte>((data3 >> (8 * i)) & 0xFF);
        for (std::size_t i = 0; i < 8; ++i) g.bytes[8 + i] = static_cast<std::byte>(data4[i]);
        return g;
    }
    // From 16 stored bytes; precondition: stored.size() == 16.
    static guid from_bytes(std::span<const std::byte> stored);

    bool operator==(const guid&) const = default;
};

// "{00020329-0000-0000-C000-000000000046}" (braces optional, any case); nothing when malformed.
std::optional<guid> parse_guid(std::string_view text);
// Upper-case text with braces.
std::string to_string(const guid& g);

namespace property_sets {
constexpr std::array<std::uint8_t, 8> k_mapi_tail{0xC0, 0, 0, 0, 0, 0, 0, 0x46};
constexpr guid null{};
constexpr guid ps_mapi = guid::from_fields(0x00020328, 0, 0, k_mapi_tail);
constexpr guid ps_public_strings = guid::from_fields(0x00020329, 0, 0, k_mapi_tail);
constexpr guid ps_internet_headers = guid::from_fields(0x00020386, 0, 0, k_mapi_tail);
constexpr guid psetid_appointment = guid::from_fields(0x00062002, 0, 0, k_mapi_tail);
constexpr guid psetid_address = guid::from_fields(0x00062004, 0, 0, k_mapi_tail);
constexpr guid psetid_common = guid::from_fields(0x00062008, 0, 0, k_mapi_tail);
}  // namespace property_sets

}  // namespace pstcore
