#pragma once
// name_id_map.h: the file's map from named properties (property set and number or name) to the property ids
// 0x8000 and above that this file's items use. Resolves in that one direction only. Every lookup reads the map's
// streams again (no cache of results); a lookup moves the streams' positions, so one map serves one thread at a
// time. The map keeps the file open.

#include <cstdint>
#include <memory>
#include <string>

#include "pstcore/messaging/guid.h"
#include "pstcore/messaging/named_prop.h"
#include "pstcore/ndb/database.h"
#include "pstcore/tables/hnid_stream.h"
#include "pstcore/tables/property_bag.h"

namespace pstcore {

class name_id_map {
public:
    // Reads node 0x61: the bucket count, then the entry, GUID and string streams. Throws key_not_found when the
    // node or one of those properties is missing, and the errors of the layers below.
    explicit name_id_map(const std::shared_ptr<db_context>& db);

    // The property id for `key`; key_not_found<named_prop> when the file has none. PS_MAPI numbers below 0x8000
    // are their own ids and need no map.
    prop_id lookup(const named_prop& key) const;
    prop_id lookup(const guid& set, std::int32_t number) const { return lookup(named_prop(set, number)); }
    prop_id lookup(const guid& set, const std::wstring& name) const { return lookup(named_prop(set, name)); }

    std::uint32_t get_bucket_count() const { return m_bucket_count; }
    // Entries in the entry stream: ids 0x8000 up to 0x8000 + count - 1 are assigned.
    std::uint64_t get_prop_count() const { return m_entries.size() / k_record_size; }

private:
    static constexpr std::size_t k_record_size = 8;
    static constexpr std::size_t k_guid_size = 16;

    // 0 for the null GUID, 1 PS_MAPI, 2 PS_PUBLIC_STRINGS, 3 + n for record n of the GUID stream.
    std::uint32_t guid_to_index(const named_prop& key) const;
    bool name_matches(std::uint32_t prop_index, const std::vector<std::byte>& name) const;

    property_bag m_bag;
    std::uint32_t m_bucket_count;
    mutable hnid_stream_device m_entries;
    mutable hnid_stream_device m_guids;
    mutable hnid_stream_device m_strings;
};

}  // namespace pstcore
