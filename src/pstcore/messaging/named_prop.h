#pragma once
// named_prop.h: the key of a named-property lookup — a property set and either a number or a name.

#include <cstdint>
#include <string>

#include "pstcore/messaging/guid.h"

namespace pstcore {

struct named_prop {
    named_prop(const guid& set, std::int32_t number) : set(set), is_string(false), id(number) {}
    named_prop(const guid& set, std::wstring name) : set(set), is_string(true), name(std::move(name)) {}

    guid set;
    bool is_string;
    std::int32_t id = 0;  // when !is_string
    std::wstring name;    // when is_string
};

}  // namespace pstcore
