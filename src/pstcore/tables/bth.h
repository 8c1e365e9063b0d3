#pragma once
// bth.h: B-trees on heaps — small sorted maps kept in heap items (a property bag's properties, a table's row
// index). open_bth reads the header and the root; inner nodes read their children on first use and keep them.
// Lookup and in-order iteration are those of every B-tree here (btree.h). Records that a damaged writer left out
// of order are sorted when their node is read, so binary search stays correct. Not thread-safe.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

#include "pstcore/ndb/btree.h"
#include "pstcore/ndb/byte_reader.h"
#include "pstcore/ndb/exceptions.h"
#include "pstcore/tables/heap.h"

namespace pstcore {

// How a value of type V is stored in a leaf record: its width and its decoding. Specialised for other
// value types beside them (prop_entry in property_bag.h).
template <typename V>
struct bth_value_traits {
    static_assert(std::is_unsigned_v<V>);
    static constexpr std::size_t size = sizeof(V);
    static V decode(const std::byte* bytes) { return load_little_endian<V>(bytes); }
};

template <typename K, typename V>
class bth_node : public virtual btree_node<K, V> {
public:
    bth_node(heap h, heap_id id, unsigned level) : m_heap(std::move(h)), m_id(id), m_level(level) {}
    bth_node(const bth_node&) = delete;
    bth_node& operator=(const bth_node&) = delete;

    const heap& get_heap() const { return m_heap; }
    heap_id get_id() const { return m_id; }
    unsigned get_level() const override { return m_level; }
    std::uint64_t walk_budget() const override { return m_heap->item_budget(); }

private:
    heap m_heap;
    heap_id m_id;
    unsigned m_level;
};

namespace detail {

// Cuts a node item into (key, payload) records, as many as fit whole, in ascending key order.
template <typename K, typename P, typename Decode>
std::vector<std::pair<K, P>> read_bth_records(std::span<const std::byte> bytes, std::size_t payload_size,
                                              Decode decode) {
    const std::size_t record = sizeof(K) + payload_size;
    std::vector<std::pair<K, P>> records;
    records.reserve(bytes.size() / record);
    for (std::size_t at = 0; bytes.size() - at >= record; at += record)
        records.emplace_back(load_little_endian<K>(bytes.data() + at), decode(bytes.data() + at + sizeof(K)));
    const auto by_key = [](const auto& a, const auto& b) { return a.first < b.first; };
    if (!std::is_sorted(records.begin(), records.end(), by_key))
        std::stable_sort(records.begin(), records.end(), by_key);
    return records;
}

}  // namespace detail

template <typename K, typename V>
class bth_leaf_node final : public bth_node<K, V>, public btree_node_leaf<K, V> {
public:
    // Heap id 0 is an empty tree.
    bth_leaf_node(heap h, heap_id id)
        : bth_node<K, V>(std::move(h), id, 0),
          m_records(detail::read_bth_records<K, V>(this->get_heap()->item(id), bth_value_traits<V>::size,
                                                   &bth_value_traits<V>::decode)) {}

    const K& get_key(std::size_t pos) const override { return m_records.at(pos).first; }
    const V& get_value(std::size_t pos) const override { return m_records.at(pos).second; }
    std::size_t num_values() const override { return m_records.size(); }
    unsigned get_level() const override { return 0; }

    // Every property read looks its id up here: search the sorted records directly rather than through the
    // virtual, bounds-checked key accessor the generic search uses.
    V lookup(const K& key) const override {
        if (const V* value = locate(key)) return *value;
        throw key_not_found<K>(key);
    }
    std::optional<V> find(const K& key) const override {
        if (const V* value = locate(key)) return *value;
        return std::nullopt;
    }

private:
    const V* locate(const K& key) const {
        const auto it = std::lower_bound(m_records.begin(), m_records.end(), key,
                                         [](const std::pair<K, V>& record, const K& k) { return record.first < k; });
        return it != m_records.end() && it->first == key ? &it->second : nullptr;
    }

    std::vector<std::pair<K, V>> m_records;
};

template <typename K, typename V>
class bth_nonleaf_node final : public bth_node<K, V>, public btree_node_nonleaf<K, V> {
public:
    bth_nonleaf_node(heap h, heap_id id, unsigned level)
        : bth_node<K, V>(std::move(h), id, level),
          m_records(detail::read_bth_records<K, heap_id>(this->get_heap()->item(id), detail::k_bth_child_id_size,
                                                         &load_little_endian<heap_id>)),
          m_children(m_records.size()) {}

    const K& get_key(std::size_t pos) const override { return m_records.at(pos).first; }
    std::size_t num_values() const override { return m_records.size(); }
    unsigned get_level() const override { return bth_node<K, V>::get_level(); }

    std::shared_ptr<btree_node<K, V>> get_child(std::size_t pos) const override {
        auto& slot = m_children.at(pos);
        if (!slot) {
            // Levels fall by one per step, so no chain of children can loop.
            const heap_id child = m_records[pos].second;
            const unsigned level = this->get_level();
            if (level == 1)
                slot = std::make_shared<bth_leaf_node<K, V>>(this->get_heap(), child);
            else
                slot = std::make_shared<bth_nonleaf_node<K, V>>(this->get_heap(), child, level - 1);
        }
        return slot;
    }

private:
    std::vector<std::pair<K, heap_id>> m_records;
    mutable std::vector<std::shared_ptr<bth_node<K, V>>> m_children;
};

// Opens the B-tree whose header is item `header_id` of `h`. Throws sig_mismatch "bth_signature expected",
// std::logic_error "invalid key size" / "invalid entry size", and the heap's errors.
template <typename K, typename V>
std::shared_ptr<bth_node<K, V>> open_bth(const heap& h, heap_id header_id) {
    std::array<std::byte, detail::k_bth_header_size> header{};
    h->read(header, header_id, 0);
    const byte_reader reader(header);
    const auto type = reader.u8(detail::k_bth_type);
    if (type != detail::k_client_bth)
        throw sig_mismatch("bth_signature expected", 0, header_id, type, detail::k_client_bth);
    if (reader.u8(detail::k_bth_key_size) != sizeof(K)) throw std::logic_error("invalid key size");
    if (reader.u8(detail::k_bth_entry_size) != bth_value_traits<V>::size) throw std::logic_error("invalid entry size");
    const unsigned levels = reader.u8(detail::k_bth_index_levels);
    const heap_id root = reader.u32(detail::k_bth_root);
    if (levels == 0 || root == 0) return std::make_shared<bth_leaf_node<K, V>>(h, root);
    return std::make_shared<bth_nonleaf_node<K, V>>(h, root, levels);
}

}  // namespace pstcore
