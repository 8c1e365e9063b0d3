#pragma once
// property_object.h: anything that has properties — a property bag or a table row — read by 16-bit property
// id. The virtual readers return raw values; the typed readers on top (strings by the encoding rule,
// multi-valued lists, times) are shared by bags and rows. A missing property throws key_not_found<prop_id>; a
// stored type that cannot hold what is asked for throws prop_type_mismatch, which is a key_not_found too. To
// treat absence as the common case without exceptions, ask `find_prop_type` or `prop_is` first.
// The text encoding is not owned: a row of the static code-page table, or null. Not thread-safe.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "pstcore/tables/hnid_stream.h"
#include "pstcore/tables/tables_format.h"

namespace mailferry {
struct TextEncodingItem;
}

namespace pstcore {

class const_property_object {
public:
    virtual ~const_property_object() = default;

    virtual void set_text_encoding(const mailferry::TextEncodingItem* encoding) = 0;
    virtual const mailferry::TextEncodingItem* get_text_encoding() const = 0;

    virtual std::vector<prop_id> get_prop_list() const = 0;
    virtual prop_type get_prop_type(prop_id id) const = 0;
    virtual bool prop_exists(prop_id id) const = 0;
    // The size of a variable-size value (the bytes get_value_variable returns).
    virtual std::size_t size(prop_id id) const = 0;
    virtual hnid_stream_device open_prop_stream(prop_id id) const = 0;

    virtual std::uint8_t get_value_1(prop_id id) const = 0;
    virtual std::uint16_t get_value_2(prop_id id) const = 0;
    virtual std::uint32_t get_value_4(prop_id id) const = 0;
    virtual std::uint64_t get_value_8(prop_id id) const = 0;
    virtual std::vector<std::byte> get_value_variable(prop_id id) const = 0;

    // The stored type, or nothing when the property is absent; never throws key_not_found.
    std::optional<prop_type> find_prop_type(prop_id id) const;
    // True when the property exists with exactly this stored type.
    bool prop_is(prop_id id, prop_type type) const;

    // A string property (0x001E with this object's encoding; 0x001F and binaries as UTF-16LE).
    // Throws prop_type_mismatch for any other stored type.
    std::wstring read_wstring(prop_id id) const;
    std::u16string read_unistring(prop_id id) const;
    std::string read_utf8string(prop_id id) const;

    // A multi-valued property of variable-size elements, one byte string per element.
    // Throws std::length_error "mv prop too short" or "inconsistent mv prop toc".
    std::vector<std::vector<std::byte>> read_prop_array(prop_id id) const;
    // A multi-valued string property (0x101E with this object's encoding; others as UTF-16LE).
    std::vector<std::u16string> read_unistring_array(prop_id id) const;
    std::vector<std::string> read_utf8string_array(prop_id id) const;

    // A time property (FILETIME) as seconds since 1970-01-01 UTC, truncated toward zero.
    // Throws not_implemented "vt_date_to_time_t" for an application time (0x0007).
    std::int64_t read_time(prop_id id) const;

protected:
    // Throws prop_type_mismatch unless `type` is a string type that read_wstring accepts.
    static void check_string_type(prop_id id, prop_type type);
    static void check_string_array_type(prop_id id, prop_type type);
};

// Splits a multi-valued value into its elements, every offset checked against the value.
std::vector<std::vector<std::byte>> split_prop_array(std::span<const std::byte> value);

// FILETIME (100 ns since 1601) to seconds since 1970, truncated toward zero.
constexpr std::int64_t filetime_to_time(std::uint64_t filetime) {
    constexpr std::uint64_t epoch = 116444736000000000ULL;
    constexpr std::uint64_t ticks_per_second = 10000000ULL;
    if (filetime >= epoch) return static_cast<std::int64_t>((filetime - epoch) / ticks_per_second);
    return -static_cast<std::int64_t>((epoch - filetime) / ticks_per_second);
}

}  // namespace pstcore
