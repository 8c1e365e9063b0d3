#pragma once
// ltp_property.h: typed MAPI property values as the writer stores them (`pstwrite::prop::value`): the type code and
// the value's stored bytes. Factory functions make each type; they only encode, nothing is checked against a tag.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ltp_format.h"

namespace pstwrite {

// A GUID in its usual text order; stored little-endian (Data1, Data2, Data3 swapped) as in the file.
struct guid {
    std::uint32_t data1 = 0;
    std::uint16_t data2 = 0;
    std::uint16_t data3 = 0;
    std::array<std::uint8_t, 8> data4{};
    bytes stored() const;
    friend bool operator==(const guid&, const guid&) = default;
};

inline constexpr guid PS_MAPI{0x00020328, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr guid PS_PUBLIC_STRINGS{0x00020329, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr guid PSETID_Common{0x00062008, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr guid PSETID_Address{0x00062004, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr guid PSETID_Appointment{0x00062002, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr guid PS_INTERNET_HEADERS{0x00020386, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

namespace prop {

enum type_code : std::uint16_t {
    pt_i2 = 0x0002,
    pt_i4 = 0x0003,
    pt_r4 = 0x0004,
    pt_r8 = 0x0005,
    pt_currency = 0x0006,
    pt_apptime = 0x0007,
    pt_error = 0x000A,
    pt_boolean = 0x000B,
    pt_object = 0x000D,
    pt_i8 = 0x0014,
    pt_string8 = 0x001E,
    pt_unicode = 0x001F,
    pt_systime = 0x0040,
    pt_clsid = 0x0048,
    pt_binary = 0x0102,
    pt_mv = 0x1000,
};

struct value {
    std::uint16_t type = 0;
    bytes data;                   // the stored form: fixed values little-endian, strings without terminator
    std::uint32_t code_page = 0;  // for 8-bit strings: the code page the bytes are in (informational)
};

// Values that a property context keeps inside the record itself (4 bytes or less).
bool is_inline(std::uint16_t type);
// Fixed-size values (inline or 8 bytes); everything else is variable-size and referenced by HNID.
bool is_fixed(std::uint16_t type);
// The width of a fixed value (1, 2, 4, 8); 4 (an HNID) for variable-size values.
std::uint8_t cell_width(std::uint16_t type);

value i16(std::int16_t v);
value i32(std::int32_t v);
value i64(std::int64_t v);
value boolean(bool v);
value r4(float v);
value r8(double v);
value currency(std::int64_t v);
value error(std::uint32_t code);
value time(std::uint64_t filetime);  // 100-ns ticks since 1601-01-01 UTC
value binary(std::span<const std::byte> v);
value binary(std::string_view v);
value string8(std::string_view stored_bytes, std::uint32_t code_page);
value unicode(std::u16string_view v);
value clsid(const guid& g);
value mv_i16(const std::vector<std::int16_t>& v);
value mv_i32(const std::vector<std::int32_t>& v);
value mv_i64(const std::vector<std::int64_t>& v);
value mv_time(const std::vector<std::uint64_t>& v);
value mv_clsid(const std::vector<guid>& v);
value mv_unicode(const std::vector<std::u16string>& v);
value mv_string8(const std::vector<std::string>& v, std::uint32_t code_page);
value mv_binary(const std::vector<bytes>& v);

}  // namespace prop

// A property tag: id in the high 16 bits, type in the low 16.
constexpr std::uint32_t make_tag(std::uint16_t id, std::uint16_t type) {
    return (std::uint32_t{id} << 16) | type;
}

}  // namespace pstwrite
