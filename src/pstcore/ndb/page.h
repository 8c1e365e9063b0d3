#pragma once
// page.h: the 512-byte pages of the node B-tree (node id -> node_info) and the block B-tree
// (block id -> block_info). Pages are immutable once read. An inner page finds its children again while they live;
// what keeps them alive is the database's cache of recently used pages, bounded for each tree, so memory stays flat
// however large the file.
//
// Ownership: a page handed out by the database keeps the database (and so the file) open. The root pages the
// database keeps, and the pages in its cache, point back to it without owning it — otherwise the database and its
// pages would keep each other, and the file, alive forever. Such pages are handed out through pointers that also
// own the database, so holding one still keeps everything it needs.

#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "pstcore/ndb/btree.h"
#include "pstcore/ndb/types.h"

namespace pstcore {

class db_context;
template <typename K, typename V>
class bt_page;

// The pages of one B-tree used most recently, at most `limit` of them: the cache owns them, and the least recently
// used goes when a new one comes in. Not thread-safe.
template <typename K, typename V>
class page_cache {
public:
    explicit page_cache(std::size_t limit) : m_limit(limit < 1 ? 1 : limit) {}
    page_cache(const page_cache&) = delete;
    page_cache& operator=(const page_cache&) = delete;

    // Marks `page` as used now, taking it in (again) when the cache does not hold it.
    void use(const std::shared_ptr<bt_page<K, V>>& page);
    // Lets every page go and keeps at most `limit` from now on.
    void reset(std::size_t limit);
    std::size_t size() const { return m_entries.size(); }

private:
    static constexpr std::uint32_t k_none = UINT32_MAX;
    struct entry {
        std::shared_ptr<bt_page<K, V>> page;
        std::uint32_t newer = k_none;
        std::uint32_t older = k_none;
    };
    void unlink(std::uint32_t e);
    void push_newest(std::uint32_t e);

    std::size_t m_limit;
    std::vector<entry> m_entries;
    std::uint32_t m_newest = k_none;
    std::uint32_t m_oldest = k_none;
};

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
    // `cache`: the database's cache for this tree, where the children this page reads are kept; it lives as long
    // as the database (null: children are not cached).
    bt_page(db_context* db, std::shared_ptr<db_context> owner, const page_info& info, unsigned level,
            page_cache<K, V>* cache)
        : page(db, std::move(owner), info), m_level(level), m_cache(cache) {}
    unsigned get_level() const override { return m_level; }
    std::uint64_t walk_budget() const override;

protected:
    page_cache<K, V>* cache() const { return m_cache; }

private:
    friend class page_cache<K, V>;

    unsigned m_level;
    page_cache<K, V>* m_cache;                         // see the constructor
    mutable std::uint32_t m_cache_entry = UINT32_MAX;  // where the cache holds this page, if it does
};

template <typename K, typename V>
class bt_leaf_page final : public bt_page<K, V>, public btree_node_leaf<K, V> {
public:
    bt_leaf_page(db_context* db, std::shared_ptr<db_context> owner, const page_info& info,
                 std::vector<std::pair<K, V>> entries, page_cache<K, V>* cache)
        : bt_page<K, V>(db, std::move(owner), info, 0, cache), m_entries(std::move(entries)) {}

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
                    std::vector<std::pair<K, page_info>> entries, page_cache<K, V>* cache)
        : bt_page<K, V>(db, std::move(owner), info, level, cache),
          m_entries(std::move(entries)),
          m_children(m_entries.size()) {}

    const K& get_key(std::size_t pos) const override { return m_entries.at(pos).first; }
    std::size_t num_values() const override { return m_entries.size(); }
    const page_info& get_child_info(std::size_t pos) const { return m_entries.at(pos).second; }
    V lookup(const K& key) const override;
    std::optional<V> find(const K& key) const override;
    // The child at `pos`, which keeps the database open while held.
    std::shared_ptr<btree_node<K, V>> get_child(std::size_t pos) const override;

private:
    // The child at `pos`, read when it is not alive any more; it does not keep the database open.
    std::shared_ptr<bt_page<K, V>> child_page(std::size_t pos) const;

    std::vector<std::pair<K, page_info>> m_entries;
    mutable std::vector<std::weak_ptr<bt_page<K, V>>> m_children;
};

using nbt_page = bt_page<node_id, node_info>;
using bbt_page = bt_page<block_id, block_info>;
using nbt_leaf_page = bt_leaf_page<node_id, node_info>;
using bbt_leaf_page = bt_leaf_page<block_id, block_info>;
using nbt_nonleaf_page = bt_nonleaf_page<node_id, node_info>;
using bbt_nonleaf_page = bt_nonleaf_page<block_id, block_info>;

}  // namespace pstcore
