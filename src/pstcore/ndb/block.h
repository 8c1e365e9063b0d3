#pragma once
// block.h: blocks, the units of at most 8192 bytes that hold a node's data and subnode trees. A data block
// stands for a node's whole data stream: one external block, or an extended block listing external blocks
// (one level) or extended blocks (two levels). Subnode blocks form the B-tree of a node's subnodes.
// Every block keeps the database open. Blocks are immutable once read, except that an extended block keeps a few
// recently used children and an inner subnode block keeps its children after first use. Not thread-safe.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <type_traits>
#include <vector>

#include "pstcore/ndb/btree.h"
#include "pstcore/ndb/byte_reader.h"
#include "pstcore/ndb/types.h"

namespace pstcore {

class db_context;
class external_block;

class block {
public:
    block(std::shared_ptr<db_context> db, const block_info& info) : m_db(std::move(db)), m_info(info) {}
    virtual ~block() = default;

    block_id get_id() const { return m_info.id; }
    file_offset get_address() const { return m_info.address; }
    std::uint16_t get_disk_size() const { return m_info.size; }

protected:
    std::shared_ptr<db_context> m_db;
    block_info m_info;
};

// A readable byte range: the whole data stream of a node (or the part under one extended block).
class data_block : public block {
public:
    using block::block;

    virtual std::uint64_t get_total_size() const = 0;
    // Copies up to `size` bytes from `offset` into `dest`; fewer only at the end of the data.
    // Requires offset <= get_total_size().
    virtual std::size_t read_raw(std::byte* dest, std::size_t size, std::uint64_t offset) const = 0;
    // The external blocks underneath, in order: the pages a heap is made of.
    virtual std::size_t get_page_count() const = 0;
    virtual std::shared_ptr<external_block> get_page(std::size_t index) const = 0;

    // Fills `buffer` from `offset` as far as the data goes and returns the count; an empty buffer reads nothing.
    // Throws std::out_of_range "offset >= size()" when offset is at or past the end.
    std::size_t read(std::span<std::byte> buffer, std::uint64_t offset) const {
        if (buffer.empty()) return 0;
        if (offset >= get_total_size()) throw std::out_of_range("offset >= size()");
        return read_raw(buffer.data(), buffer.size(), offset);
    }

    // One little-endian value (an integer, or a byte array of the width asked for).
    template <typename T>
    T read(std::uint64_t offset) const {
        const std::uint64_t total = get_total_size();
        if (offset >= total) throw std::out_of_range("offset >= size()");
        if (sizeof(T) > total - offset) throw std::out_of_range("sizeof(T) + offset >= size()");
        std::array<std::byte, sizeof(T)> raw{};
        read_raw(raw.data(), raw.size(), offset);
        return load_little_endian<T>(raw.data());
    }
};

// A block holding node bytes, decoded. Page 0 of itself.
class external_block final : public data_block, public std::enable_shared_from_this<external_block> {
public:
    // `data` holds `size` bytes.
    external_block(std::shared_ptr<db_context> db, const block_info& info, std::size_t max_size,
                   std::unique_ptr<std::byte[]> data, std::size_t size)
        : data_block(std::move(db), info), m_max_size(max_size), m_data(std::move(data)), m_size(size) {}
    external_block(std::shared_ptr<db_context> db, const block_info& info, std::size_t max_size,
                   const std::vector<std::byte>& data);

    std::uint64_t get_total_size() const override { return m_size; }
    std::size_t read_raw(std::byte* dest, std::size_t size, std::uint64_t offset) const override;
    std::size_t get_page_count() const override { return 1; }
    std::shared_ptr<external_block> get_page(std::size_t index) const override;

    std::size_t get_max_size() const { return m_max_size; }
    // The decoded bytes; valid as long as the block.
    std::span<const std::byte> data() const { return {m_data.get(), m_size}; }

private:
    std::size_t m_max_size;
    std::unique_ptr<std::byte[]> m_data;
    std::size_t m_size;
};

// A block listing the blocks of a larger data stream. Level 1 lists external blocks, level 2 lists extended
// blocks of level 1. All children but the last are full. Only a few recently used children are kept, so a stream of
// any length reads in bounded memory; whoever needs a page for longer (a heap, a table) holds its pointer. Large
// reads go from the file straight into place without keeping the blocks at all.
class extended_block final : public data_block, public std::enable_shared_from_this<extended_block> {
public:
    // `child_size`: bytes one child covers; `child_pages`: external blocks under one child.
    extended_block(std::shared_ptr<db_context> db, const block_info& info, unsigned level, std::uint64_t total_size,
                   std::uint64_t child_size, std::size_t child_pages, std::vector<block_id> child_ids)
        : data_block(std::move(db), info),
          m_level(level),
          m_total_size(total_size),
          m_child_size(child_size),
          m_child_pages(child_pages),
          m_child_ids(std::move(child_ids)) {}

    std::uint64_t get_total_size() const override { return m_total_size; }
    std::size_t read_raw(std::byte* dest, std::size_t size, std::uint64_t offset) const override;
    std::size_t get_page_count() const override;
    std::shared_ptr<external_block> get_page(std::size_t index) const override;

    unsigned get_level() const { return m_level; }
    std::size_t get_child_count() const { return m_child_ids.size(); }
    block_id get_child_id(std::size_t index) const { return m_child_ids.at(index); }
    // Throws std::out_of_range "index >= m_child_blocks.size()" past the last child.
    std::shared_ptr<data_block> get_child(std::size_t index) const;

private:
    static constexpr std::size_t k_kept_children = 4;

    const std::shared_ptr<data_block>* find_kept(std::size_t index) const;
    std::shared_ptr<data_block> load_child(std::size_t index) const;

    unsigned m_level;
    std::uint64_t m_total_size;
    std::uint64_t m_child_size;
    std::size_t m_child_pages;
    std::vector<block_id> m_child_ids;
    // The children used last, most recent first: (index, block).
    mutable std::array<std::pair<std::size_t, std::shared_ptr<data_block>>, k_kept_children> m_kept;
    mutable std::size_t m_kept_count = 0;
};

// A node of a subnode B-tree (subnode id -> subnode_info).
class subnode_block : public block, public virtual btree_node<node_id, subnode_info> {
public:
    subnode_block(std::shared_ptr<db_context> db, const block_info& info, unsigned level)
        : block(std::move(db), info), m_level(level) {}
    unsigned get_level() const override { return m_level; }
    std::uint64_t walk_budget() const override;

private:
    unsigned m_level;
};

class subnode_leaf_block final : public subnode_block, public btree_node_leaf<node_id, subnode_info> {
public:
    subnode_leaf_block(std::shared_ptr<db_context> db, const block_info& info,
                       std::vector<std::pair<node_id, subnode_info>> entries)
        : subnode_block(std::move(db), info, 0), m_entries(std::move(entries)) {}

    const node_id& get_key(std::size_t pos) const override { return m_entries.at(pos).first; }
    const subnode_info& get_value(std::size_t pos) const override { return m_entries.at(pos).second; }
    std::size_t num_values() const override { return m_entries.size(); }

private:
    std::vector<std::pair<node_id, subnode_info>> m_entries;
};

class subnode_nonleaf_block final : public subnode_block, public btree_node_nonleaf<node_id, subnode_info> {
public:
    subnode_nonleaf_block(std::shared_ptr<db_context> db, const block_info& info, unsigned level,
                          std::vector<std::pair<node_id, block_id>> entries)
        : subnode_block(std::move(db), info, level), m_entries(std::move(entries)), m_children(m_entries.size()) {}

    const node_id& get_key(std::size_t pos) const override { return m_entries.at(pos).first; }
    std::size_t num_values() const override { return m_entries.size(); }
    std::shared_ptr<btree_node<node_id, subnode_info>> get_child(std::size_t pos) const override;

private:
    std::vector<std::pair<node_id, block_id>> m_entries;
    mutable std::vector<std::shared_ptr<subnode_block>> m_children;
};

}  // namespace pstcore
