#pragma once
// ltp_pc.h: builds a property context: a heap whose user root is a BTH of (property id → type, value or HNID)
// records. Values of 4 bytes or less sit in the record; larger ones are heap items, and values longer than one
// heap item (or than `subnode_threshold`) go to type-0x1F subnodes of the node.

#include <cstdint>
#include <map>
#include <optional>

#include "ltp_heap.h"
#include "ltp_node.h"
#include "ltp_property.h"

namespace pstwrite {

class pc_builder {
public:
    explicit pc_builder(format f) : m_format(f) {}

    void set(std::uint16_t id, prop::value v) {
        m_streamed.erase(id);
        m_values[id] = std::move(v);
    }
    // A value whose bytes are already in the file (ndb_writer::begin_data … end_data): it becomes a subnode.
    void set_streamed(std::uint16_t id, std::uint16_t type, data_ref ref) {
        m_values.erase(id);
        m_streamed[id] = {type, ref};
    }
    void remove(std::uint16_t id) {
        m_values.erase(id);
        m_streamed.erase(id);
    }
    bool has(std::uint16_t id) const { return m_values.contains(id); }
    const prop::value* find(std::uint16_t id) const;
    const std::map<std::uint16_t, prop::value>& values() const { return m_values; }  // streamed ones excluded

    // Values longer than this go to a subnode (default: longer than one heap item).
    void set_subnode_threshold(std::size_t bytes) { m_threshold = bytes; }
    void set_heap_fault(heap_fault f) { m_fault = f; }

    // The node's data and the subnodes for large values (nids from `nids`, type 0x1F).
    node_content build(nid_counter& nids) const;

private:
    format m_format;
    std::map<std::uint16_t, prop::value> m_values;
    std::map<std::uint16_t, std::pair<std::uint16_t, data_ref>> m_streamed;
    std::size_t m_threshold = ltp::max_heap_item;
    heap_fault m_fault = heap_fault::none;
};

// Stores one variable-size value in `heap`, or in a new subnode appended to `subnodes`; returns the HNID (0 for an
// empty value). Shared by property and table contexts.
std::uint32_t store_variable(heap_builder& heap, std::vector<subnode>& subnodes, nid_counter& nids, const bytes& value,
                             std::size_t threshold);

}  // namespace pstwrite
