#include "ltp_namemap.h"

#include <algorithm>
#include <stdexcept>

#include "ltp_pc.h"
#include "pstcore/ndb/crypt.h"

namespace pstwrite {

name_map_builder::name_map_builder(format f, std::uint32_t bucket_count)
    : m_format(f), m_bucket_count(bucket_count), m_buckets(bucket_count) {
    if (bucket_count == 0 || bucket_count > 0xF000) throw std::invalid_argument("bucket count");
}

std::uint16_t name_map_builder::guid_index_of(const guid& g) const {
    if (g == PS_MAPI) return 1;
    if (g == PS_PUBLIC_STRINGS) return 2;
    auto it = std::find(m_guids.begin(), m_guids.end(), g);
    return it == m_guids.end() ? 0 : static_cast<std::uint16_t>(3 + (it - m_guids.begin()));
}

std::uint16_t name_map_builder::guid_index(const guid& g) {
    if (auto k = guid_index_of(g)) return k;
    m_guids.push_back(g);
    return static_cast<std::uint16_t>(2 + m_guids.size());
}

std::uint32_t name_map_builder::hash_of(const named_property& name) {
    if (auto lid = std::get_if<std::uint32_t>(&name.name)) return *lid;
    return pstcore::compute_crc(utf16le(std::get<std::u16string>(name.name)));
}

std::uint32_t name_map_builder::bucket_of(const named_property& name) const {
    const bool is_string = std::holds_alternative<std::u16string>(name.name);
    std::uint32_t index = guid_index_of(name.set);
    if (index == 0) index = static_cast<std::uint32_t>(3 + m_guids.size());  // the index it would get
    return (hash_of(name) ^ ((index << 1) | (is_string ? 1u : 0u))) % m_bucket_count;
}

std::uint16_t name_map_builder::id_of(const named_property& name) {
    auto it = std::find(m_names.begin(), m_names.end(), name);
    if (it != m_names.end()) return static_cast<std::uint16_t>(0x8000 + (it - m_names.begin()));
    if (m_names.size() >= 0x7FFF) throw std::length_error("too many named properties");
    const auto k = static_cast<std::uint16_t>(m_names.size());
    const std::uint32_t bucket = bucket_of(name);
    const std::uint16_t index = guid_index(name.set);
    const bool is_string = std::holds_alternative<std::u16string>(name.name);
    std::uint32_t property = 0;
    if (is_string) {
        property = static_cast<std::uint32_t>(m_strings.size());
        const bytes text = utf16le(std::get<std::u16string>(name.name));
        put_u32(m_strings, static_cast<std::uint32_t>(text.size()));
        put_bytes(m_strings, text);
        while (m_strings.size() % 4 != 0) m_strings.push_back(std::byte{0});
    } else {
        property = std::get<std::uint32_t>(name.name);
    }
    const auto word = static_cast<std::uint16_t>((index << 1) | (is_string ? 1 : 0));
    put_u32(m_entries, property);
    put_u16(m_entries, word);
    put_u16(m_entries, k);
    put_u32(m_buckets[bucket], hash_of(name));
    put_u16(m_buckets[bucket], word);
    put_u16(m_buckets[bucket], k);
    m_names.push_back(name);
    return static_cast<std::uint16_t>(0x8000 + k);
}

node_content name_map_builder::build(nid_counter& nids) const {
    pc_builder pc(m_format);
    pc.set(0x0001, prop::i32(static_cast<std::int32_t>(m_bucket_count)));
    bytes guids;
    for (const auto& g : m_guids) put_bytes(guids, g.stored());
    pc.set(0x0002, prop::binary(guids));
    pc.set(0x0003, prop::binary(m_entries));
    pc.set(0x0004, prop::binary(m_strings));
    for (std::uint32_t b = 0; b < m_bucket_count; ++b)
        if (!m_buckets[b].empty()) pc.set(static_cast<std::uint16_t>(0x1000 + b), prop::binary(m_buckets[b]));
    return pc.build(nids);
}

}  // namespace pstwrite
