#pragma once
// node.h: a node, the unit the upper layers read: an id, a data stream and an optional tree of subnodes, each
// of which is a node again. A `node` is a cheap handle; copies share one state, which loads the data and
// subnode blocks on first use and keeps them. A node keeps the database open (a subnode also keeps the node
// that contains it). Not thread-safe.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

#include "pstcore/ndb/block.h"
#include "pstcore/ndb/btree.h"
#include "pstcore/ndb/types.h"

namespace pstcore {

class db_context;

class node_impl {
public:
    node_impl(std::shared_ptr<db_context> db, const node_info& info, std::shared_ptr<node_impl> container = nullptr)
        : m_db(std::move(db)), m_info(info), m_container(std::move(container)) {}

    const node_info& get_info() const { return m_info; }
    const std::shared_ptr<db_context>& get_db() const { return m_db; }
    const std::shared_ptr<data_block>& ensure_data_block() const;
    const std::shared_ptr<subnode_block>& ensure_sub_block() const;

private:
    std::shared_ptr<db_context> m_db;
    node_info m_info;
    std::shared_ptr<node_impl> m_container;  // the node this subnode belongs to; empty for top-level nodes
    mutable std::shared_ptr<data_block> m_data;
    mutable std::shared_ptr<subnode_block> m_sub;
};

class node {
public:
    node(std::shared_ptr<db_context> db, const node_info& info);
    // A subnode of `container`.
    node(const node& container, const subnode_info& info);

    node_id get_id() const { return m_impl->get_info().id; }
    block_id get_data_id() const { return m_impl->get_info().data_bid; }
    block_id get_sub_id() const { return m_impl->get_info().sub_bid; }
    node_id get_parent_id() const { return m_impl->get_info().parent_id; }
    const std::shared_ptr<db_context>& get_db() const { return m_impl->get_db(); }

    // The whole data stream.
    std::uint64_t size() const;
    std::size_t read(std::span<std::byte> buffer, std::uint64_t offset) const;
    template <typename T>
    T read(std::uint64_t offset) const {
        return data()->template read<T>(offset);
    }

    // The stream as pages (one per data block), as the heap sees it.
    std::size_t get_page_count() const;
    std::size_t get_page_size(std::size_t page) const;
    std::shared_ptr<external_block> get_page(std::size_t page) const;
    std::size_t read(std::span<std::byte> buffer, std::size_t page, std::uint64_t offset) const;
    template <typename T>
    T read(std::size_t page, std::uint64_t offset) const {
        return get_page(page)->template read<T>(offset);
    }

    // The subnode with id `id`; throws key_not_found<unsigned int> when this node has no such subnode.
    node lookup(node_id id) const;
    // The same, or nothing when this node has no such subnode (or no subnodes at all).
    std::optional<node> find(node_id id) const;
    // Every subnode's record, in ascending id order.
    btree_range<node_id, subnode_info> subnodes() const;

    std::shared_ptr<data_block> get_data_block() const { return data(); }
    std::shared_ptr<subnode_block> get_subnode_block() const { return m_impl->ensure_sub_block(); }

private:
    const std::shared_ptr<data_block>& data() const { return m_impl->ensure_data_block(); }

    std::shared_ptr<node_impl> m_impl;
};

}  // namespace pstcore
