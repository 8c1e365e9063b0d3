#include "ltp_property.h"

#include <bit>
#include <cstring>

namespace pstwrite {

bytes guid::stored() const {
    bytes b;
    put_u32(b, data1);
    put_u16(b, data2);
    put_u16(b, data3);
    for (auto x : data4) put_u8(b, x);
    return b;
}

namespace prop {

bool is_inline(std::uint16_t type) {
    switch (type) {
        case pt_i2:
        case pt_i4:
        case pt_r4:
        case pt_error:
        case pt_boolean:
            return true;
        default:
            return false;
    }
}

bool is_fixed(std::uint16_t type) {
    switch (type) {
        case pt_r8:
        case pt_currency:
        case pt_apptime:
        case pt_i8:
        case pt_systime:
            return true;
        default:
            return is_inline(type);
    }
}

std::uint8_t cell_width(std::uint16_t type) {
    switch (type) {
        case pt_boolean:
            return 1;
        case pt_i2:
            return 2;
        case pt_r8:
        case pt_currency:
        case pt_apptime:
        case pt_i8:
        case pt_systime:
            return 8;
        default:
            return 4;
    }
}

namespace {
value fixed(std::uint16_t type, std::uint64_t v, int size) {
    value out{type, {}, 0};
    for (int i = 0; i < size; ++i) out.data.push_back(static_cast<std::byte>(v >> (8 * i)));
    return out;
}

// Variable-size multi-values: count, one offset per value from the start of the whole value, then the values.
value counted(std::uint16_t type, const std::vector<bytes>& items) {
    value out{type, {}, 0};
    put_u32(out.data, static_cast<std::uint32_t>(items.size()));
    std::uint32_t offset = static_cast<std::uint32_t>(4 + 4 * items.size());
    for (const auto& item : items) {
        put_u32(out.data, offset);
        offset += static_cast<std::uint32_t>(item.size());
    }
    for (const auto& item : items) put_bytes(out.data, item);
    return out;
}
}  // namespace

value i16(std::int16_t v) {
    return fixed(pt_i2, static_cast<std::uint16_t>(v), 2);
}
value i32(std::int32_t v) {
    return fixed(pt_i4, static_cast<std::uint32_t>(v), 4);
}
value i64(std::int64_t v) {
    return fixed(pt_i8, static_cast<std::uint64_t>(v), 8);
}
value boolean(bool v) {
    return fixed(pt_boolean, v ? 1 : 0, 1);
}
value r4(float v) {
    return fixed(pt_r4, std::bit_cast<std::uint32_t>(v), 4);
}
value r8(double v) {
    return fixed(pt_r8, std::bit_cast<std::uint64_t>(v), 8);
}
value currency(std::int64_t v) {
    return fixed(pt_currency, static_cast<std::uint64_t>(v), 8);
}
value error(std::uint32_t code) {
    return fixed(pt_error, code, 4);
}
value time(std::uint64_t filetime) {
    return fixed(pt_systime, filetime, 8);
}
value binary(std::span<const std::byte> v) {
    return {pt_binary, bytes(v.begin(), v.end()), 0};
}
value binary(std::string_view v) {
    return {pt_binary, to_bytes(v), 0};
}
value string8(std::string_view stored_bytes, std::uint32_t code_page) {
    return {pt_string8, to_bytes(stored_bytes), code_page};
}
value unicode(std::u16string_view v) {
    return {pt_unicode, utf16le(v), 0};
}
value clsid(const guid& g) {
    return {pt_clsid, g.stored(), 0};
}

value mv_i16(const std::vector<std::int16_t>& v) {
    value out{pt_mv | pt_i2, {}, 0};
    for (auto x : v) put_u16(out.data, static_cast<std::uint16_t>(x));
    return out;
}
value mv_i32(const std::vector<std::int32_t>& v) {
    value out{pt_mv | pt_i4, {}, 0};
    for (auto x : v) put_u32(out.data, static_cast<std::uint32_t>(x));
    return out;
}
value mv_i64(const std::vector<std::int64_t>& v) {
    value out{pt_mv | pt_i8, {}, 0};
    for (auto x : v) put_u64(out.data, static_cast<std::uint64_t>(x));
    return out;
}
value mv_time(const std::vector<std::uint64_t>& v) {
    value out{pt_mv | pt_systime, {}, 0};
    for (auto x : v) put_u64(out.data, x);
    return out;
}
value mv_clsid(const std::vector<guid>& v) {
    value out{pt_mv | pt_clsid, {}, 0};
    for (const auto& g : v) put_bytes(out.data, g.stored());
    return out;
}
value mv_unicode(const std::vector<std::u16string>& v) {
    std::vector<bytes> items;
    for (const auto& s : v) items.push_back(utf16le(s));
    return counted(pt_mv | pt_unicode, items);
}
value mv_string8(const std::vector<std::string>& v, std::uint32_t code_page) {
    std::vector<bytes> items;
    for (const auto& s : v) items.push_back(to_bytes(s));
    auto out = counted(pt_mv | pt_string8, items);
    out.code_page = code_page;
    return out;
}
value mv_binary(const std::vector<bytes>& v) {
    return counted(pt_mv | pt_binary, v);
}

}  // namespace prop
}  // namespace pstwrite
