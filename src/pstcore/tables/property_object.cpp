#include "pstcore/tables/property_object.h"

#include <stdexcept>

#include "encoding/property_string.h"
#include "pstcore/ndb/byte_reader.h"
#include "pstcore/ndb/exceptions.h"

namespace pstcore {

std::optional<prop_type> const_property_object::find_prop_type(prop_id id) const {
    if (!prop_exists(id)) return std::nullopt;
    return get_prop_type(id);
}

bool const_property_object::prop_is(prop_id id, prop_type type) const {
    const auto stored = find_prop_type(id);
    return stored && *stored == type;
}

void const_property_object::check_string_type(prop_id id, prop_type type) {
    if (type != prop_types::string8 && type != prop_types::unicode && type != prop_types::binary)
        throw prop_type_mismatch(id, type);
}

std::wstring const_property_object::read_wstring(prop_id id) const {
    const prop_type type = get_prop_type(id);
    check_string_type(id, type);
    return mailferry::read_string_property(get_value_variable(id), type, get_text_encoding());
}

std::u16string const_property_object::read_unistring(prop_id id) const {
    const prop_type type = get_prop_type(id);
    check_string_type(id, type);
    return mailferry::read_unistring_property(get_value_variable(id), type, get_text_encoding());
}

std::string const_property_object::read_utf8string(prop_id id) const {
    const prop_type type = get_prop_type(id);
    check_string_type(id, type);
    return mailferry::read_utf8string_property(get_value_variable(id), type, get_text_encoding());
}

std::vector<std::vector<std::byte>> split_prop_array(std::span<const std::byte> value) {
    const byte_reader reader(value);
    if (value.size() < detail::k_mv_count_size) throw std::length_error("mv prop too short");
    const std::size_t count = reader.u32(0);
    if ((value.size() - detail::k_mv_count_size) / detail::k_mv_offset_size < count)
        throw std::length_error("mv prop too short");
    std::vector<std::vector<std::byte>> elements;
    elements.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t start = reader.u32(detail::k_mv_count_size + detail::k_mv_offset_size * i);
        const std::size_t end =
            i + 1 < count ? reader.u32(detail::k_mv_count_size + detail::k_mv_offset_size * (i + 1)) : value.size();
        if (end < start || end > value.size()) throw std::length_error("inconsistent mv prop toc");
        elements.emplace_back(value.begin() + static_cast<std::ptrdiff_t>(start),
                              value.begin() + static_cast<std::ptrdiff_t>(end));
    }
    return elements;
}

std::vector<std::vector<std::byte>> const_property_object::read_prop_array(prop_id id) const {
    return split_prop_array(get_value_variable(id));
}

void const_property_object::check_string_array_type(prop_id id, prop_type type) {
    if (type != prop_types::multi_string8 && type != prop_types::multi_unicode &&
        type != (prop_types::multi_flag | prop_types::binary))
        throw prop_type_mismatch(id, type);
}

std::vector<std::u16string> const_property_object::read_unistring_array(prop_id id) const {
    const prop_type type = get_prop_type(id);
    check_string_array_type(id, type);
    std::vector<std::u16string> strings;
    for (const auto& element : read_prop_array(id))
        strings.push_back(mailferry::read_unistring_property(element, type, get_text_encoding()));
    return strings;
}

std::vector<std::string> const_property_object::read_utf8string_array(prop_id id) const {
    const prop_type type = get_prop_type(id);
    check_string_array_type(id, type);
    std::vector<std::string> strings;
    for (const auto& element : read_prop_array(id))
        strings.push_back(mailferry::read_utf8string_property(element, type, get_text_encoding()));
    return strings;
}

std::int64_t const_property_object::read_time(prop_id id) const {
    const prop_type type = get_prop_type(id);
    if (type == prop_types::app_time) throw not_implemented("vt_date_to_time_t");
    return filetime_to_time(get_value_8(id));
}

}  // namespace pstcore
