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
std::shared_ptr<btree_node<K, V>> bt_nonleaf_page<K, V>::get_child(std::size_t pos) const {
    auto& slot = m_children.at(pos);
    if (!slot) {
        auto child = load_child(*this->m_db, m_entries[pos].second, this->m_owner, static_cast<const V*>(nullptr));
        // Levels must fall by exactly one: this is what stops a page that points back at an ancestor.
        if (child->get_level() + 1 != this->get_level()) throw database_corrupt("btree level mismatch");
        slot = std::move(child);
    }
    if (this->m_owner) return slot;
    // Below the database's cached roots: hand the child out tied to the database, which keeps it.
    return std::shared_ptr<btree_node<K, V>>(this->m_db->shared_from_this(), slot.get());
}

template class bt_page<node_id, node_info>;
template class bt_page<block_id, block_info>;
template class bt_nonleaf_page<node_id, node_info>;
template class bt_nonleaf_page<block_id, block_info>;

}  // namespace pstcore
