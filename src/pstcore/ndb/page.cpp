#include "pstcore/ndb/page.h"

#include "pstcore/ndb/database.h"
#include "pstcore/ndb/ndb_format.h"

namespace pstcore {

namespace {

std::shared_ptr<nbt_page> load_child(db_context& db, const page_info& pi, std::shared_ptr<db_context> owner,
                                     const node_info*) {
    return db.load_nbt_page(pi, std::move(owner));
}

std::shared_ptr<bbt_page> load_child(db_context& db, const page_info& pi, std::shared_ptr<db_context> owner,
                                     const block_info*) {
    return db.load_bbt_page(pi, std::move(owner));
}

}  // namespace

template <typename K, typename V>
std::uint64_t bt_page<K, V>::walk_budget() const {
    // A sound tree visits each page once, and the file cannot hold more pages than this.
    return m_db->get_file_eof() / detail::k_page_size + 1;
}

template <typename K, typename V>
std::shared_ptr<bt_page<K, V>> bt_nonleaf_page<K, V>::child_page(std::size_t pos) const {
    auto& slot = m_children.at(pos);
    std::shared_ptr<bt_page<K, V>> child = slot.lock();
    if (!child) {
        child = load_child(*this->m_db, m_entries[pos].second, nullptr, static_cast<const V*>(nullptr));
        // Levels must fall by exactly one: this is what stops a page that points back at an ancestor.
        if (child->get_level() + 1 != this->get_level()) throw database_corrupt("btree level mismatch");
        slot = child;
    }
    if (this->cache()) this->cache()->use(child);
    return child;
}

template <typename K, typename V>
V bt_nonleaf_page<K, V>::lookup(const K& key) const {
    const int pos = this->binary_search(key);
    if (pos < 0) throw key_not_found<K>(key);
    // The database is held by whoever asked, and the child by this call, while the lookup goes on below.
    return child_page(static_cast<std::size_t>(pos))->lookup(key);
}

template <typename K, typename V>
std::optional<V> bt_nonleaf_page<K, V>::find(const K& key) const {
    const int pos = this->binary_search(key);
    if (pos < 0) return std::nullopt;
    return child_page(static_cast<std::size_t>(pos))->find(key);
}

template <typename K, typename V>
std::shared_ptr<btree_node<K, V>> bt_nonleaf_page<K, V>::get_child(std::size_t pos) const {
    // The cache may let the child go at any time, and it does not keep the database: the pointer handed out
    // holds both.
    struct held {
        std::shared_ptr<db_context> db;
        std::shared_ptr<bt_page<K, V>> page;
    };
    auto both = std::make_shared<held>(held{this->m_db->shared_from_this(), child_page(pos)});
    return std::shared_ptr<btree_node<K, V>>(both, both->page.get());
}

template <typename K, typename V>
void page_cache<K, V>::use(const std::shared_ptr<bt_page<K, V>>& page) {
    std::uint32_t e = page->m_cache_entry;
    if (e != k_none) {
        if (e == m_newest) return;
        unlink(e);
    } else if (m_entries.size() < m_limit) {
        e = static_cast<std::uint32_t>(m_entries.size());
        m_entries.push_back({page});
    } else {
        // The least recently used goes; it lives on only while something else still holds it.
        e = m_oldest;
        unlink(e);
        m_entries[e].page->m_cache_entry = k_none;
        m_entries[e].page = page;
    }
    page->m_cache_entry = e;
    push_newest(e);
}

template <typename K, typename V>
void page_cache<K, V>::reset(std::size_t limit) {
    for (auto& e : m_entries) e.page->m_cache_entry = k_none;
    m_entries.clear();
    m_newest = m_oldest = k_none;
    m_limit = limit < 1 ? 1 : limit;
}

template <typename K, typename V>
void page_cache<K, V>::unlink(std::uint32_t e) {
    entry& it = m_entries[e];
    (it.newer == k_none ? m_newest : m_entries[it.newer].older) = it.older;
    (it.older == k_none ? m_oldest : m_entries[it.older].newer) = it.newer;
    it.newer = it.older = k_none;
}

template <typename K, typename V>
void page_cache<K, V>::push_newest(std::uint32_t e) {
    entry& it = m_entries[e];
    it.older = m_newest;
    it.newer = k_none;
    (m_newest == k_none ? m_oldest : m_entries[m_newest].newer) = e;
    m_newest = e;
}

template class page_cache<node_id, node_info>;
template class page_cache<block_id, block_info>;
template class bt_page<node_id, node_info>;
template class bt_page<block_id, block_info>;
template class bt_nonleaf_page<node_id, node_info>;
template class bt_nonleaf_page<block_id, block_info>;

}  // namespace pstcore
