#include "pstcore/messaging/name_id_map.h"

#include <array>
#include <span>

#include "encoding/text_conversion.h"
#include "pstcore/ndb/byte_reader.h"
#include "pstcore/ndb/crypt.h"
#include "pstcore/ndb/exceptions.h"

namespace pstcore {

namespace {

constexpr node_id k_name_id_map_node = 0x61;
constexpr prop_id k_bucket_count_prop = 0x0001;
constexpr prop_id k_guid_stream_prop = 0x0002;
constexpr prop_id k_entry_stream_prop = 0x0003;
constexpr prop_id k_string_stream_prop = 0x0004;
constexpr prop_id k_first_bucket_prop = 0x1000;
constexpr std::uint32_t k_first_named_id = 0x8000;
constexpr std::uint32_t k_mapi_index = 1;

// Fills `out` from `offset`; false when the stream ends first.
bool read_exact(hnid_stream_device& device, std::uint64_t offset, std::span<std::byte> out) {
    if (offset > device.size() || out.size() > device.size() - offset) return false;
    device.seek(static_cast<boost::iostreams::stream_offset>(offset), std::ios_base::beg);
    std::size_t done = 0;
    while (done < out.size()) {
        const auto got =
            device.read(reinterpret_cast<char*>(out.data() + done), static_cast<std::streamsize>(out.size() - done));
        if (got <= 0) return false;
        done += static_cast<std::size_t>(got);
    }
    return true;
}

// A NAMEID or bucket record's second word.
struct record_key {
    bool is_string;
    std::uint32_t guid_index;
    std::uint32_t prop_index;
};

record_key decode_key(std::uint32_t word) {
    return {(word & 1) != 0, (word & 0xFFFF) >> 1, word >> 16};
}

}  // namespace

name_id_map::name_id_map(const std::shared_ptr<db_context>& db)
    : m_bag(db->lookup_node(k_name_id_map_node)),
      m_bucket_count(m_bag.get_value_4(k_bucket_count_prop)),
      m_entries(m_bag.open_prop_stream(k_entry_stream_prop)),
      m_guids(m_bag.open_prop_stream(k_guid_stream_prop)),
      m_strings(m_bag.open_prop_stream(k_string_stream_prop)) {}

std::uint32_t name_id_map::guid_to_index(const named_prop& key) const {
    if (key.set == property_sets::null) return 0;
    if (key.set == property_sets::ps_mapi) return 1;
    if (key.set == property_sets::ps_public_strings) return 2;
    std::array<std::byte, k_guid_size> record{};
    const std::uint64_t count = m_guids.size() / k_guid_size;
    for (std::uint64_t n = 0; n < count; ++n) {
        if (!read_exact(m_guids, n * k_guid_size, record)) break;
        if (guid::from_bytes(record) == key.set) return static_cast<std::uint32_t>(3 + n);
    }
    throw key_not_found<named_prop>(key);
}

bool name_id_map::name_matches(std::uint32_t prop_index, const std::vector<std::byte>& name) const {
    std::array<std::byte, k_record_size> entry{};
    if (!read_exact(m_entries, std::uint64_t{prop_index} * k_record_size, entry)) return false;
    const std::uint64_t offset = byte_reader(entry).u32(0);
    std::array<std::byte, 4> length_field{};
    if (!read_exact(m_strings, offset, length_field)) return false;
    const std::uint32_t length = byte_reader(length_field).u32(0);
    // Compared as stored bytes: the same names decode to the same text and back.
    if (length != name.size()) return false;
    std::vector<std::byte> stored(length);
    if (!read_exact(m_strings, offset + length_field.size(), stored)) return false;
    return stored == name;
}

prop_id name_id_map::lookup(const named_prop& key) const {
    const std::uint32_t guid_index = guid_to_index(key);
    if (guid_index == k_mapi_index) {
        if (!key.is_string && key.id >= 0 && static_cast<std::uint32_t>(key.id) < k_first_named_id)
            return static_cast<prop_id>(key.id);
        throw key_not_found<named_prop>(key);
    }

    std::vector<std::byte> name;
    std::uint32_t hash_base = static_cast<std::uint32_t>(key.id);
    if (key.is_string) {
        name = mailferry::wstring_to_bytes(key.name);
        hash_base = compute_crc(name);
    }
    const std::uint32_t hash = hash_base ^ ((guid_index << 1) | (key.is_string ? 1u : 0u));
    // A map without buckets can resolve nothing.
    if (m_bucket_count == 0) throw key_not_found<named_prop>(key);
    const auto bucket_prop = static_cast<prop_id>(hash % m_bucket_count + k_first_bucket_prop);
    if (!m_bag.prop_exists(bucket_prop)) throw key_not_found<named_prop>(key);

    hnid_stream_device bucket = m_bag.open_prop_stream(bucket_prop);
    std::array<std::byte, k_record_size> record{};
    const std::uint64_t count = bucket.size() / k_record_size;
    for (std::uint64_t n = 0; n < count; ++n) {
        if (!read_exact(bucket, n * k_record_size, record)) break;
        const byte_reader reader(record);
        if (reader.u32(0) != hash_base) continue;
        const record_key stored = decode_key(reader.u32(4));
        if (stored.is_string != key.is_string || stored.guid_index != guid_index) continue;
        // An index that cannot name a property id is damage; keep looking.
        if (stored.prop_index > 0xFFFF - k_first_named_id) continue;
        if (key.is_string && !name_matches(stored.prop_index, name)) continue;
        return static_cast<prop_id>(k_first_named_id + stored.prop_index);
    }
    throw key_not_found<named_prop>(key);
}

}  // namespace pstcore
