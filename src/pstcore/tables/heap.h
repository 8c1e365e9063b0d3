#pragma once
// heap.h: a heap on a node; turns a heap id into the bytes it names. The heap's pages are the node's data
// blocks. Spans handed out point into those blocks, which the heap keeps once used, so they stay valid as long as
// the heap. Page maps are checked on every use (never trusted from an earlier read). Not thread-safe.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "pstcore/ndb/node.h"
#include "pstcore/tables/tables_format.h"

namespace pstcore {

class heap_impl : public std::enable_shared_from_this<heap_impl> {
public:
    // Checks the heap signature and, when `client_sig` is given, the client signature.
    // Throws sig_mismatch "invalid heap_sig" / "invalid client_sig", or the node's read errors.
    explicit heap_impl(const node& n, std::optional<std::uint8_t> client_sig = std::nullopt);

    heap_id get_root_id() const;
    std::uint8_t get_client_signature() const;

    // The item's size; 0 for heap id 0. Throws std::length_error "page_map_offset > node size" or
    // "index > num_allocs", database_corrupt when the page map does not fit its page.
    std::size_t size(heap_id id) const;
    // Copies buffer.size() bytes of the item from `offset`; returns the count copied.
    std::size_t read(std::span<std::byte> buffer, heap_id id, std::size_t offset) const;
    // The whole item, copied.
    std::vector<std::byte> read(heap_id id) const;
    // The whole item in place (no copy); empty for heap id 0. Valid as long as this heap.
    std::span<const std::byte> item(heap_id id) const;

    const node& get_node() const { return m_node; }
    // An upper bound on the items a sound heap can hold; walks over structures in the heap stop past it.
    std::uint64_t item_budget() const;

private:
    const external_block& page(std::size_t index) const;

    node m_node;
    // The pages used so far, by index (at most 65,536: a heap id has 16 bits for the page). The node keeps only a
    // few recent blocks of a long stream, and the spans handed out must outlive that.
    mutable std::vector<std::shared_ptr<external_block>> m_pages;
};

using heap = std::shared_ptr<heap_impl>;

inline heap open_heap(const node& n, std::optional<std::uint8_t> client_sig = std::nullopt) {
    return std::make_shared<heap_impl>(n, client_sig);
}

}  // namespace pstcore
