#include "pstcore/ndb/block.h"

#include <algorithm>
#include <cstring>

#include "pstcore/ndb/database.h"
#include "pstcore/ndb/exceptions.h"

namespace pstcore {

external_block::external_block(std::shared_ptr<db_context> db, const block_info& info, std::size_t max_size,
                               const std::vector<std::byte>& data)
    : external_block(std::move(db), info, max_size, std::make_unique_for_overwrite<std::byte[]>(data.size()),
                     data.size()) {
    if (!data.empty()) std::memcpy(m_data.get(), data.data(), data.size());
}

std::size_t external_block::read_raw(std::byte* dest, std::size_t size, std::uint64_t offset) const {
    if (offset >= m_size) return 0;
    const std::size_t count = std::min<std::uint64_t>(size, m_size - offset);
    std::memcpy(dest, m_data.get() + offset, count);
    return count;
}

std::shared_ptr<external_block> external_block::get_page(std::size_t index) const {
    if (index > 0) throw std::out_of_range("index > 0");
    return std::const_pointer_cast<external_block>(shared_from_this());
}

namespace {

// Pieces of data blocks at least this large are decoded straight into the reader's buffer; smaller reads (single
// values, short strings) go through the kept children, so that reading a block bit by bit decodes it once.
constexpr std::size_t k_direct_read = 1024;

}  // namespace

const std::shared_ptr<data_block>* extended_block::find_kept(std::size_t index) const {
    const auto end = m_kept.begin() + static_cast<std::ptrdiff_t>(m_kept_count);
    const auto found = std::find_if(m_kept.begin(), end, [&](const auto& kept) { return kept.first == index; });
    if (found == end) return nullptr;
    std::rotate(m_kept.begin(), found, found + 1);
    return &m_kept.front().second;
}

std::shared_ptr<data_block> extended_block::load_child(std::size_t index) const {
    if (m_level == 1) return m_db->read_external_block(m_child_ids[index]);
    auto child = m_db->read_extended_block(m_child_ids[index]);
    // A two-level tree lists one-level blocks only; anything else would let a block list itself.
    if (child->get_level() != 1) throw database_corrupt("extended block level mismatch");
    return child;
}

std::shared_ptr<data_block> extended_block::get_child(std::size_t index) const {
    if (index >= m_child_ids.size()) throw std::out_of_range("index >= m_child_blocks.size()");
    if (const auto* kept = find_kept(index)) return *kept;
    std::shared_ptr<data_block> child = load_child(index);
    if (m_kept_count < m_kept.size()) ++m_kept_count;
    // The oldest falls off the end.
    std::rotate(m_kept.begin(), m_kept.begin() + static_cast<std::ptrdiff_t>(m_kept_count) - 1,
                m_kept.begin() + static_cast<std::ptrdiff_t>(m_kept_count));
    m_kept.front() = {index, child};
    return child;
}

std::size_t extended_block::read_raw(std::byte* dest, std::size_t size, std::uint64_t offset) const {
    if (offset >= m_total_size) return 0;
    std::size_t remaining = std::min<std::uint64_t>(size, m_total_size - offset);
    std::size_t copied = 0;
    while (remaining > 0) {
        const std::uint64_t index = offset / m_child_size;
        const std::uint64_t within = offset % m_child_size;
        const std::size_t want = std::min<std::uint64_t>(remaining, m_child_size - within);
        if (index >= m_child_ids.size()) throw std::out_of_range("index >= m_child_blocks.size()");
        std::size_t got = 0;
        if (m_level == 1 && want >= k_direct_read && !find_kept(index))
            got = m_db->read_external_range(m_child_ids[index], within, {dest + copied, want});
        else
            got = get_child(index)->read_raw(dest + copied, want, within);
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
