#include "pstcore/ndb/node.h"

#include "pstcore/ndb/database.h"

namespace pstcore {

const std::shared_ptr<data_block>& node_impl::ensure_data_block() const {
    if (!m_data) m_data = m_db->read_data_block(m_info.data_bid);
    return m_data;
}

const std::shared_ptr<subnode_block>& node_impl::ensure_sub_block() const {
    if (!m_sub) m_sub = m_db->read_subnode_block(m_info.sub_bid);
    return m_sub;
}

node::node(std::shared_ptr<db_context> db, const node_info& info)
    : m_impl(std::make_shared<node_impl>(std::move(db), info)) {}

node::node(const node& container, const subnode_info& info)
    : m_impl(std::make_shared<node_impl>(container.get_db(), node_info{info.id, info.data_bid, info.sub_bid, 0},
                                         container.m_impl)) {}

std::uint64_t node::size() const {
    return data()->get_total_size();
}

std::size_t node::read(std::span<std::byte> buffer, std::uint64_t offset) const {
    return data()->read(buffer, offset);
}

std::size_t node::get_page_count() const {
    return data()->get_page_count();
}

std::size_t node::get_page_size(std::size_t page) const {
    return get_page(page)->get_total_size();
}

std::shared_ptr<external_block> node::get_page(std::size_t page) const {
    return data()->get_page(page);
}

std::size_t node::read(std::span<std::byte> buffer, std::size_t page, std::uint64_t offset) const {
    return get_page(page)->read(buffer, offset);
}

node node::lookup(node_id id) const {
    return node(*this, m_impl->ensure_sub_block()->lookup(id));
}

std::optional<node> node::find(node_id id) const {
    if (get_sub_id() == 0) return std::nullopt;
    const std::optional<subnode_info> info = m_impl->ensure_sub_block()->find(id);
    if (!info) return std::nullopt;
    return node(*this, *info);
}

btree_range<node_id, subnode_info> node::subnodes() const {
    return btree_range<node_id, subnode_info>(m_impl->ensure_sub_block());
}

}  // namespace pstcore
