#pragma once
// property_bag.h: a node read as a property bag — a heap whose root is a B-tree from property id to
// (type, value or reference). Bags are cheap to copy: copies share the tree and the heap, and keep the file open.
// Each copy has its own text-encoding pointer, which may be replaced between reads. Not thread-safe.

#include <cstdint>
#include <memory>
#include <vector>

#include "pstcore/ndb/node.h"
#include "pstcore/tables/bth.h"
#include "pstcore/tables/heap.h"
#include "pstcore/tables/property_object.h"

namespace pstcore {

// A property bag record's value: the stored type, and the value itself (1, 2 or 4 bytes) or a heap-or-node id.
struct prop_entry {
    prop_type type = 0;
    heap_or_node_id id = 0;
};

template <>
struct bth_value_traits<prop_entry> {
    static constexpr std::size_t size = 6;
    static prop_entry decode(const std::byte* bytes) {
        return {load_little_endian<std::uint16_t>(bytes), load_little_endian<std::uint32_t>(bytes + 2)};
    }
};

class property_bag final : public const_property_object {
public:
    // Opens the node's heap (client signature 0xBC) and its property tree.
    explicit property_bag(const node& n);
    // Reads the properties of an already opened heap (whose client signature the caller has checked).
    explicit property_bag(const heap& h);

    void set_text_encoding(const mailferry::TextEncodingItem* encoding) override { m_encoding = encoding; }
    const mailferry::TextEncodingItem* get_text_encoding() const override { return m_encoding; }

    // Ascending ids.
    std::vector<prop_id> get_prop_list() const override;
    prop_type get_prop_type(prop_id id) const override { return entry(id).type; }
    bool prop_exists(prop_id id) const override;
    std::size_t size(prop_id id) const override;
    hnid_stream_device open_prop_stream(prop_id id) const override;

    // The low bytes of a value stored in the record (1, 2 or 4-byte types only).
    std::uint8_t get_value_1(prop_id id) const override;
    std::uint16_t get_value_2(prop_id id) const override;
    std::uint32_t get_value_4(prop_id id) const override;
    // The first 8 bytes of the value (8-byte and variable types); std::length_error when it is shorter.
    std::uint64_t get_value_8(prop_id id) const override;
    // The bytes of a value stored by reference (not 1, 2 or 4-byte types); no bytes for reference 0.
    std::vector<std::byte> get_value_variable(prop_id id) const override;

    // The record itself; key_not_found<prop_id> when absent.
    prop_entry entry(prop_id id) const { return m_root->lookup(id); }
    const node& get_node() const { return m_heap->get_node(); }
    const heap& get_heap() const { return m_heap; }

private:
    std::uint32_t inline_value(prop_id id) const;
    prop_entry referenced_entry(prop_id id) const;

    heap m_heap;
    std::shared_ptr<bth_node<prop_id, prop_entry>> m_root;
    const mailferry::TextEncodingItem* m_encoding = nullptr;  // a row of the static code-page table, or null
};

}  // namespace pstcore
