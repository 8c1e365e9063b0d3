#include "pstcore/tables/property_bag.h"

#include <array>
#include <stdexcept>

#include "pstcore/ndb/exceptions.h"

namespace pstcore {

property_bag::property_bag(const node& n) : property_bag(open_heap(n, detail::k_client_property_bag)) {}

property_bag::property_bag(const heap& h) : m_heap(h), m_root(open_bth<prop_id, prop_entry>(h, h->get_root_id())) {}

std::vector<prop_id> property_bag::get_prop_list() const {
    // Keys, unlike values, are not what the tree iterator yields; walk the nodes directly, leftmost first.
    std::vector<prop_id> ids;
    std::vector<std::shared_ptr<btree_node<prop_id, prop_entry>>> pending{m_root};
    std::uint64_t budget = m_heap->item_budget();
    while (!pending.empty()) {
        auto current = pending.back();
        pending.pop_back();
        if (budget-- == 0) throw database_corrupt("btree walk exceeds file");
        if (current->get_level() == 0) {
            for (std::size_t i = 0; i < current->num_values(); ++i) ids.push_back(current->get_key(i));
            continue;
        }
        const auto& inner = dynamic_cast<const btree_node_nonleaf<prop_id, prop_entry>&>(*current);
        for (std::size_t i = current->num_values(); i-- > 0;) pending.push_back(inner.get_child(i));
    }
    return ids;
}

bool property_bag::prop_exists(prop_id id) const {
    // The lookup's own search, without an exception for the common "absent" answer.
    const btree_node<prop_id, prop_entry>* current = m_root.get();
    std::shared_ptr<btree_node<prop_id, prop_entry>> hold;
    while (current->get_level() > 0) {
        const int pos = current->binary_search(id);
        if (pos < 0) return false;
        hold = dynamic_cast<const btree_node_nonleaf<prop_id, prop_entry>&>(*current).get_child(
            static_cast<std::size_t>(pos));
        current = hold.get();
    }
    const int pos = current->binary_search(id);
    return pos >= 0 && current->get_key(static_cast<std::size_t>(pos)) == id;
}

std::uint32_t property_bag::inline_value(prop_id id) const {
    const prop_entry e = entry(id);
    if (!is_inline_type(e.type)) throw prop_type_mismatch(id, e.type);
    return e.id;
}

prop_entry property_bag::referenced_entry(prop_id id) const {
    const prop_entry e = entry(id);
    if (is_inline_type(e.type)) throw prop_type_mismatch(id, e.type);
    return e;
}

std::uint8_t property_bag::get_value_1(prop_id id) const {
    return static_cast<std::uint8_t>(inline_value(id));
}

std::uint16_t property_bag::get_value_2(prop_id id) const {
    return static_cast<std::uint16_t>(inline_value(id));
}

std::uint32_t property_bag::get_value_4(prop_id id) const {
    return inline_value(id);
}

std::uint64_t property_bag::get_value_8(prop_id id) const {
    const prop_entry e = referenced_entry(id);
    std::array<std::byte, 8> raw{};
    if (is_heap_id(e.id)) {
        const auto bytes = m_heap->item(e.id);
        if (bytes.size() < raw.size()) throw std::length_error("get_value_8: value shorter than 8 bytes");
        std::copy_n(bytes.begin(), raw.size(), raw.begin());
    } else {
        const node sub = get_node().lookup(e.id);
        if (sub.size() < raw.size()) throw std::length_error("get_value_8: value shorter than 8 bytes");
        sub.read(raw, std::uint64_t{0});
    }
    return load_little_endian<std::uint64_t>(raw.data());
}

std::vector<std::byte> property_bag::get_value_variable(prop_id id) const {
    const prop_entry e = referenced_entry(id);
    if (is_heap_id(e.id)) return m_heap->read(e.id);
    const node sub = get_node().lookup(e.id);
    const std::uint64_t total = sub.size();
    std::vector<std::byte> bytes(static_cast<std::size_t>(total));
    if (!bytes.empty()) {
        const std::size_t got = sub.read(bytes, std::uint64_t{0});
        if (got != bytes.size()) throw database_corrupt("subnode stream shorter than its size");
    }
    return bytes;
}

std::size_t property_bag::size(prop_id id) const {
    const prop_entry e = referenced_entry(id);
    if (is_heap_id(e.id)) return m_heap->size(e.id);
    return static_cast<std::size_t>(get_node().lookup(e.id).size());
}

hnid_stream_device property_bag::open_prop_stream(prop_id id) const {
    const prop_entry e = referenced_entry(id);
    if (is_heap_id(e.id)) return hnid_stream_device(m_heap, e.id);
    return hnid_stream_device(get_node().lookup(e.id));
}

}  // namespace pstcore
