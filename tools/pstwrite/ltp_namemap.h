#pragma once
// ltp_namemap.h: the named-property map (node 0x61). Each new name gets the next property id from 0x8000; the
// builder keeps the GUID, entry and string streams and the hash buckets, and writes them as a property context.

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "ltp_node.h"
#include "ltp_property.h"

namespace pstwrite {

// A property name: a property set and either a numeric id (LID) or a string name.
struct named_property {
    guid set;
    std::variant<std::uint32_t, std::u16string> name;
    friend bool operator==(const named_property&, const named_property&) = default;
};

class name_map_builder {
public:
    explicit name_map_builder(format f, std::uint32_t bucket_count = 251);

    // The property id of `name`, assigning the next free one (0x8000 + k) the first time.
    std::uint16_t id_of(const named_property& name);
    std::size_t size() const { return m_names.size(); }

    // The hash and bucket a name lands in (exposed so tests can pick colliding names).
    static std::uint32_t hash_of(const named_property& name);
    std::uint32_t bucket_of(const named_property& name) const;

    node_content build(nid_counter& nids) const;

private:
    std::uint16_t guid_index(const guid& g);  // 1 PS_MAPI, 2 PS_PUBLIC_STRINGS, 3+ stream entry
    std::uint16_t guid_index_of(const guid& g) const;

    format m_format;
    std::uint32_t m_bucket_count;
    std::vector<guid> m_guids;
    std::vector<named_property> m_names;
    bytes m_entries;
    bytes m_strings;
    std::vector<bytes> m_buckets;
};

}  // namespace pstwrite
