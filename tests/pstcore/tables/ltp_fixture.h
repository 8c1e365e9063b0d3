#pragma once
// ltp_fixture.h: hand-built heaps, property bags and tables for the tests of the list and table layer, over an
// in-memory node database (fake_db) that serves blocks and nodes from byte vectors. Used where the sample files
// lack a case (many-page heaps, index levels, rows spanning blocks) and for exact damage.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "pstcore/ndb/database.h"
#include "pstcore/ndb/exceptions.h"
#include "support/test_helpers.h"

namespace mftest {

// Blocks and nodes from memory. Block ids are handed out in order; data streams of several pages become a
// one-level extended block whose children are those pages.
class fake_db : public pstcore::db_context {
public:
    using pstcore::db_context::read_data_block;
    using pstcore::db_context::read_extended_block;
    using pstcore::db_context::read_external_block;
    using pstcore::db_context::read_subnode_block;

    static std::shared_ptr<fake_db> create() { return std::shared_ptr<fake_db>(new fake_db()); }

    // A data stream made of `pages`; every page but the last must have the size of the first.
    pstcore::block_id add_stream(const std::vector<bytes>& pages) {
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
    fake_db() = default;
    static std::logic_error unsupported() { return std::logic_error("not served by fake_db"); }
    pstcore::block_id next_id(bool internal) {
        m_last += 4;
        return m_last | (internal ? 2 : 0);
    }
    pstcore::block_id add_external(const bytes& data) {
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
    std::map<pstcore::block_id, bytes> m_external;
    std::map<pstcore::block_id, extended> m_extended;
    std::map<pstcore::block_id, std::vector<pstcore::subnode_info>> m_subnodes;
    std::map<pstcore::node_id, pstcore::node_info> m_nodes;
};

// Lays out heap items page by page. Pages but the last are padded to `page_size` (the data tree's rule).
class heap_builder {
public:
    explicit heap_builder(std::size_t page_size = 8176) : m_page_size(page_size), m_pages(1) {}

    // Adds an item to the last page, or to a new page when `new_page` is set; returns its heap id.
    std::uint32_t add(bytes item, bool new_page = false) {
        if (new_page) m_pages.emplace_back();
        m_pages.back().push_back(std::move(item));
        return static_cast<std::uint32_t>(((m_pages.size() - 1) << 16) | (m_pages.back().size() << 5));
    }
    std::size_t page_count() const { return m_pages.size(); }
    void replace(std::uint32_t id, bytes item) { m_pages.at(id >> 16).at(((id >> 5) & 0x7FF) - 1) = std::move(item); }

    std::vector<bytes> build(std::uint8_t client_sig, std::uint32_t root) const {
        std::vector<bytes> pages;
        for (std::size_t p = 0; p < m_pages.size(); ++p) {
            bytes page;
            if (p == 0) {
                put_le(page, 0, 2);
                page.push_back(std::byte{0xEC});
                page.push_back(static_cast<std::byte>(client_sig));
                put_le(page, root, 4);
                put_le(page, 0, 4);
            } else {
                put_le(page, 0, 2);
            }
            std::vector<std::size_t> starts;
            for (const auto& item : m_pages[p]) {
                starts.push_back(page.size());
                page.insert(page.end(), item.begin(), item.end());
            }
            starts.push_back(page.size());
            if (page.size() % 2) page.push_back(std::byte{0});
            set_le(page, 0, page.size(), 2);
            put_le(page, m_pages[p].size(), 2);
            put_le(page, 0, 2);
            for (const auto start : starts) put_le(page, start, 2);
            if (p + 1 < m_pages.size()) {
                if (page.size() > m_page_size) throw std::logic_error("heap page overflow");
                page.resize(m_page_size);
            }
            pages.push_back(std::move(page));
        }
        return pages;
    }

private:
    std::size_t m_page_size;
    std::vector<std::vector<bytes>> m_pages;
};

inline bytes bth_header(std::uint8_t key_size, std::uint8_t entry_size, std::uint8_t levels, std::uint32_t root) {
    bytes out{std::byte{0xB5}, static_cast<std::byte>(key_size), static_cast<std::byte>(entry_size),
              static_cast<std::byte>(levels)};
    put_le(out, root, 4);
    return out;
}

// One property of a hand-built bag: an inline value, or bytes kept in the heap or in a subnode.
struct fixture_prop {
    std::uint16_t id;
    std::uint16_t type;
    std::uint32_t inline_value = 0;
    bytes value = {};
    bool in_subnode = false;
};

// Builds a property bag on node `nid`: one leaf of records (in the order given), values in the heap or in
// subnodes.
inline pstcore::node make_bag(fake_db& db, pstcore::node_id nid, const std::vector<fixture_prop>& props) {
    heap_builder heap;
    const std::uint32_t header = heap.add(bytes(8));
    std::vector<pstcore::subnode_info> subnodes;
    bytes leaf;
    pstcore::node_id next_sub = 0x3F;
    for (const auto& p : props) {
        std::uint32_t field = p.inline_value;
        if (p.in_subnode) {
            field = next_sub;
            subnodes.push_back({next_sub, db.add_stream({p.value}), 0});
            next_sub += 0x20;
        } else if (!p.value.empty()) {
            field = heap.add(p.value);
        }
        put_le(leaf, p.id, 2);
        put_le(leaf, p.type, 2);
        put_le(leaf, field, 4);
    }
    const std::uint32_t root = leaf.empty() ? 0 : heap.add(leaf);
    heap.replace(header, bth_header(2, 6, 0, root));
    db.add_node(nid, db.add_stream(heap.build(0xBC, header)), subnodes.empty() ? 0 : db.add_subnodes(subnodes));
    return db.node(nid);
}

struct fixture_column {
    std::uint32_t tag;
    std::uint16_t offset;
    std::uint8_t size;
    std::uint8_t bit;
};

// A hand-built table: columns, rows as raw bytes of cbRow each in one heap item, and a 32-bit row index. Fields
// left at their defaults give a sound table; the tests change one to damage it.
struct fixture_table {
    std::vector<fixture_column> columns;
    std::uint16_t row_size = 0;      // rgib[3], cbRow
    std::uint16_t bitmap_start = 0;  // rgib[2]
    std::vector<bytes> rows;
    std::vector<bytes> heap_values;   // extra heap items, ids 0x20, 0x40, ...
    std::size_t header_cut = 0;       // bytes cut from the end of the table header
    bool short_index_header = false;  // the row index's header item holds 2 bytes
};

// Builds the table on node `nid`; the extra heap items come first.
inline pstcore::node make_table(fake_db& db, pstcore::node_id nid, const fixture_table& t) {
    heap_builder heap;
    for (const auto& value : t.heap_values) heap.add(value);
    bytes index_leaf;
    for (std::size_t r = 0; r < t.rows.size(); ++r) {
        index_leaf.insert(index_leaf.end(), t.rows[r].begin(), t.rows[r].begin() + 4);  // each row starts with its id
        put_le(index_leaf, r, 4);
    }
    const std::uint32_t leaf = index_leaf.empty() ? 0 : heap.add(index_leaf);
    bytes index_header = bth_header(4, 4, 0, leaf);
    if (t.short_index_header) index_header.resize(2);
    const std::uint32_t index = heap.add(index_header);

    bytes matrix;
    for (const auto& row : t.rows) matrix.insert(matrix.end(), row.begin(), row.end());
    const std::uint32_t rows_ref = matrix.empty() ? 0 : heap.add(matrix);

    bytes header{std::byte{0x7C}, static_cast<std::byte>(t.columns.size())};
    put_le(header, 0, 2);
    put_le(header, 0, 2);
    put_le(header, t.bitmap_start, 2);
    put_le(header, t.row_size, 2);
    put_le(header, index, 4);
    put_le(header, rows_ref, 4);
    put_le(header, 0, 4);
    for (const auto& c : t.columns) {
        put_le(header, c.tag, 4);
        put_le(header, c.offset, 2);
        header.push_back(static_cast<std::byte>(c.size));
        header.push_back(static_cast<std::byte>(c.bit));
    }
    header.resize(header.size() - t.header_cut);
    const std::uint32_t root = heap.add(header);
    db.add_node(nid, db.add_stream(heap.build(0x7C, root)));
    return db.node(nid);
}

}  // namespace mftest
