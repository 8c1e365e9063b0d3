#pragma once
// page.h: the 512-byte pages of the node B-tree (node id -> node_info) and the block B-tree
// (block id -> block_info). Pages are immutable once read, except that inner pages keep their children
// after first use.
//
// Ownership: a page handed out by the database keeps the database (and so the file) open. The root pages the
// database caches, and the children they load, point back to it without owning it — otherwise the cache and
// the pages would keep each other, and the file, alive forever. Such pages are handed out through pointers
// that share the database's ownership, so holding one still keeps everything it needs.

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "pstcore/ndb/btree.h"
#include "pstcore/ndb/types.h"

namespace pstcore {

class db_context;

class page {
public:
    // `db` is never null. `owner` is the same database when the page keeps it open, or empty for pages the
    // database itself caches (their lifetime is the database's).
    page(db_context* db, std::shared_ptr<db_context> owner, const page_info& info)
        : m_db(db), m_owner(std::move(owner)), m_info(info) {}
    virtual ~page() = default;

    page_id get_page_id() const { return m_info.id; }
    file_offset get_address() const { return m_info.address; }

protected:
    db_context* m_db;
    std::shared_ptr<db_context> m_owner;
    page_info m_info;
};

template <typename K, typename V>
class bt_page : public page, public virtual btree_node<K, V> {
public:
    bt_page(db_context* db, std::shared_ptr<db_context> owner, const page_info& info, unsigned level)
        : page(db, std::move(owner), info), m_level(level) {}
    unsigned get_level() const override { return m_level; }
    std::uint64_t walk_budget() const override;

private:
    unsigned m_level;
};

template <typename K, typename V>
class bt_leaf_page final : public bt_page<K, V>, public btree_node_leaf<K, V> {
public:
    bt_leaf_page(db_context* db, std::shared_ptr<db_context> owner, const page_info& info,
                 std::vector<std::pair<K, V>> entries)
        : bt_page<K, V>(db, std::move(owner), info, 0), m_entries(std::move(entries)) {}

    const K& get_key(std::size_t pos) const override { return m_entries.at(pos).first; }
    const V& get_value(std::size_t pos) const override { return m_entries.at(pos).second; }
    std::size_t num_values() const override { return m_entries.size(); }

private:
    std::vector<std::pair<K, V>> m_entries;
};

template <typename K, typename V>
class bt_nonleaf_page final : public bt_page<K, V>, public btree_node_nonleaf<K, V> {
public:
    bt_nonleaf_page(db_context* db, std::shared_ptr<db_context> owner, const page_info& info, unsigned level,
                    std::vector<std::pair<K, page_info>> entries)
        : bt_page<K, V>(db, std::move(owner), info, level),
          m_entries(std::move(entries)),
          m_children(m_entries.size()) {}

    const K& get_key(std::size_t pos) const override { return m_entries.at(pos).first; }
    std::size_t num_values() const override { return m_entries.size(); }
    const page_info& get_child_info(std::size_t pos) const { return m_entries.at(pos).second; }
    std::shared_ptr<btree_node<K, V>> get_child(std::size_t pos) const override;

private:
    std::vector<std::pair<K, page_info>> m_entries;
    mutable std::vector<std::shared_ptr<bt_page<K, V>>> m_children;
};

using nbt_page = bt_page<node_id, node_info>;
using bbt_page = bt_page<block_id, block_info>;
using nbt_leaf_page = bt_leaf_page<node_id, node_info>;
using bbt_leaf_page = bt_leaf_page<block_id, block_info>;
using nbt_nonleaf_page = bt_nonleaf_page<node_id, node_info>;
using bbt_nonleaf_page = bt_nonleaf_page<block_id, block_info>;

}  // namespace pstcore
