#include "pstcore/ndb/block.h"

#include <algorithm>
#include <cstring>

#include "pstcore/ndb/database.h"
#include "pstcore/ndb/exceptions.h"

namespace pstcore {

std::size_t external_block::read_raw(std::byte* dest, std::size_t size, std::uint64_t offset) const {
    if (offset >= m_data.size()) return 0;
    const std::size_t count = std::min<std::uint64_t>(size, m_data.size() - offset);
    std::memcpy(dest, m_data.data() + offset, count);
    return count;
}

std::shared_ptr<external_block> external_block::get_page(std::size_t index) const {
    if (index > 0) throw std::out_of_range("index > 0");
    return std::const_pointer_cast<external_block>(shared_from_this());
}

std::shared_ptr<data_block> extended_block::get_child(std::size_t index) const {
    if (index >= m_child_blocks.size()) throw std::out_of_range("index >= m_child_blocks.size()");
    auto& slot = m_child_blocks[index];
    if (!slot) {
        if (m_level == 1) {
            slot = m_db->read_external_block(m_child_ids[index]);
        } else {
            auto child = m_db->read_extended_block(m_child_ids[index]);
            // A two-level tree lists one-level blocks only; anything else would let a block list itself.
            if (child->get_level() != 1) throw database_corrupt("extended block level mismatch");
            slot = std::move(child);
        }
    }
    return slot;
}

std::size_t extended_block::read_raw(std::byte* dest, std::size_t size, std::uint64_t offset) const {
    if (offset >= m_total_size) return 0;
    std::size_t remaining = std::min<std::uint64_t>(size, m_total_size - offset);
    std::size_t copied = 0;
    while (remaining > 0) {
        const std::uint64_t within = offset % m_child_size;
        const std::size_t want = std::min<std::uint64_t>(remaining, m_child_size - within);
        const std::size_t got = get_child(offset / m_child_size)->read_raw(dest + copied, want, within);
        // Every child but the last is full; a short one would leave a hole in the stream.
        if (got != want) throw database_corrupt("extended block child too short");
        copied += got;
        offset += got;
        remaining -= got;
    }
    return copied;
}

std::size_t extended_block::get_page_count() const {
    const std::uint64_t page_size = m_child_size / m_child_pages;
    return (m_total_size + page_size - 1) / page_size;
}

std::shared_ptr<external_block> extended_block::get_page(std::size_t index) const {
    if (m_level == 1) {
        auto page = std::dynamic_pointer_cast<external_block>(get_child(index));
        if (!page) throw database_corrupt("extended block level mismatch");
        return page;
    }
    return get_child(index / m_child_pages)->get_page(index % m_child_pages);
}

std::uint64_t subnode_block::walk_budget() const {
    // Blocks are 64-byte aligned: a sound tree visits each once, and the file cannot hold more.
    return m_db->get_file_eof() / 64 + 1;
}

std::shared_ptr<btree_node<node_id, subnode_info>> subnode_nonleaf_block::get_child(std::size_t pos) const {
    auto& slot = m_children.at(pos);
    if (!slot) {
        auto child = m_db->read_subnode_block(m_entries[pos].second);
        if (child->get_level() + 1 != get_level()) throw database_corrupt("btree level mismatch");
        slot = std::move(child);
    }
    return slot;
}

}  // namespace pstcore
