#pragma once
// memory_db.h: the heap fuzzer's node database, served from byte vectors, so that one input lays out heap pages
// and subnodes directly without a file around them.

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <stdexcept>
#include <vector>

#include "pstcore/ndb/database.h"
#include "pstcore/ndb/exceptions.h"

namespace mffuzz {

// Blocks and nodes from memory. Block ids are handed out in order; data streams of several pages become a
// one-level extended block whose children are those pages, of any size the input picks (a written file can only
// hold full blocks but the last, which would need inputs of many kilobytes to reach a second heap page).
class memory_db : public pstcore::db_context {
public:
    using pstcore::db_context::read_data_block;
    using pstcore::db_context::read_extended_block;
    using pstcore::db_context::read_external_block;
    using pstcore::db_context::read_subnode_block;

    static std::shared_ptr<memory_db> create() { return std::shared_ptr<memory_db>(new memory_db()); }

    // A data stream made of `pages`; every page but the last must have the size of the first.
    pstcore::block_id add_stream(const std::vector<std::vector<std::byte>>& pages) {
        if (pages.size() == 1) return add_external(pages[0]);
        std::vector<pstcore::block_id> children;
        std::uint64_t total = 0;
        for (const auto& page : pages) {
            children.push_back(add_external(page));
            total += page.size();
        }
        const pstcore::block_id id = next_id(true);
        m_extended[id] = {children, pages.front().size(), total};
        return id;
    }
    pstcore::block_id add_subnodes(std::vector<pstcore::subnode_info> entries) {
        const pstcore::block_id id = next_id(true);
        m_subnodes[id] = std::move(entries);
        return id;
    }
    void add_node(pstcore::node_id nid, pstcore::block_id data, pstcore::block_id sub = 0) {
        m_nodes[nid] = {nid, data, sub, 0};
    }
    pstcore::node node(pstcore::node_id nid) { return lookup_node(nid); }

    std::uint16_t header_version() const override { return 23; }
    pstcore::crypt_method get_crypt_method() const override { return pstcore::crypt_method::none; }
    std::uint64_t get_file_eof() const override { return 1 << 30; }

    pstcore::node lookup_node(pstcore::node_id nid) override {
        return pstcore::node(shared_from_this(), lookup_node_info(nid));
    }
    pstcore::node_info lookup_node_info(pstcore::node_id nid) override {
        const auto it = m_nodes.find(nid);
        if (it == m_nodes.end()) throw pstcore::key_not_found<pstcore::node_id>(nid);
        return it->second;
    }
    pstcore::block_info lookup_block_info(pstcore::block_id bid) override { return {bid, 0, 0, 1}; }

    std::shared_ptr<pstcore::bbt_page> read_bbt_root() override { throw unsupported(); }
    std::shared_ptr<pstcore::nbt_page> read_nbt_root() override { throw unsupported(); }
    std::shared_ptr<pstcore::bbt_page> read_bbt_page(const pstcore::page_info&) override { throw unsupported(); }
    std::shared_ptr<pstcore::nbt_page> read_nbt_page(const pstcore::page_info&) override { throw unsupported(); }
    std::shared_ptr<pstcore::nbt_leaf_page> read_nbt_leaf_page(const pstcore::page_info&) override {
        throw unsupported();
    }
    std::shared_ptr<pstcore::bbt_leaf_page> read_bbt_leaf_page(const pstcore::page_info&) override {
        throw unsupported();
    }
    std::shared_ptr<pstcore::nbt_nonleaf_page> read_nbt_nonleaf_page(const pstcore::page_info&) override {
        throw unsupported();
    }
    std::shared_ptr<pstcore::bbt_nonleaf_page> read_bbt_nonleaf_page(const pstcore::page_info&) override {
        throw unsupported();
    }
    std::shared_ptr<pstcore::nbt_page> load_nbt_page(const pstcore::page_info&,
                                                     std::shared_ptr<pstcore::db_context>) override {
        throw unsupported();
    }
    std::shared_ptr<pstcore::bbt_page> load_bbt_page(const pstcore::page_info&,
                                                     std::shared_ptr<pstcore::db_context>) override {
        throw unsupported();
    }

    std::shared_ptr<pstcore::block> read_block(const pstcore::block_info& bi) override {
        if (m_subnodes.count(bi.id)) return std::dynamic_pointer_cast<pstcore::block>(read_subnode_block(bi));
        return read_data_block(bi);
    }
    std::shared_ptr<pstcore::data_block> read_data_block(const pstcore::block_info& bi) override {
        if (m_extended.count(bi.id)) return read_extended_block(bi);
        return read_external_block(bi);
    }
    std::shared_ptr<pstcore::extended_block> read_extended_block(const pstcore::block_info& bi) override {
        const auto& x = m_extended.at(bi.id);
        return std::make_shared<pstcore::extended_block>(shared_from_this(), bi, 1, x.total, x.child_size, 1,
                                                         x.children);
    }
    std::shared_ptr<pstcore::external_block> read_external_block(const pstcore::block_info& bi) override {
        const auto it = m_external.find(bi.id);
        if (it == m_external.end()) throw pstcore::key_not_found<pstcore::block_id>(bi.id);
        return std::make_shared<pstcore::external_block>(shared_from_this(), bi, 8176, it->second);
    }
    std::shared_ptr<pstcore::subnode_block> read_subnode_block(const pstcore::block_info& bi) override {
        return read_subnode_leaf_block(bi);
    }
    std::shared_ptr<pstcore::subnode_leaf_block> read_subnode_leaf_block(const pstcore::block_info& bi) override {
        std::vector<std::pair<pstcore::node_id, pstcore::subnode_info>> entries;
        if (bi.id != 0)
            for (const auto& info : m_subnodes.at(bi.id)) entries.emplace_back(info.id, info);
        return std::make_shared<pstcore::subnode_leaf_block>(shared_from_this(), bi, std::move(entries));
    }
    std::shared_ptr<pstcore::subnode_nonleaf_block> read_subnode_nonleaf_block(const pstcore::block_info&) override {
        throw unsupported();
    }

private:
    memory_db() = default;
    static std::logic_error unsupported() { return std::logic_error("not served by memory_db"); }
    pstcore::block_id next_id(bool internal) {
        m_last += 4;
        return m_last | (internal ? 2 : 0);
    }
    pstcore::block_id add_external(const std::vector<std::byte>& data) {
        const pstcore::block_id id = next_id(false);
        m_external[id] = data;
        return id;
    }

    struct extended {
        std::vector<pstcore::block_id> children;
        std::uint64_t child_size;
        std::uint64_t total;
    };
    pstcore::block_id m_last = 0;
    std::map<pstcore::block_id, std::vector<std::byte>> m_external;
    std::map<pstcore::block_id, extended> m_extended;
    std::map<pstcore::block_id, std::vector<pstcore::subnode_info>> m_subnodes;
    std::map<pstcore::node_id, pstcore::node_info> m_nodes;
};

}  // namespace mffuzz
