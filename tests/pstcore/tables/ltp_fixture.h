#pragma once
// ltp_fixture.h: hand-built property bags and tables for the tests of the list and table layer, on heaps laid out
// by the fixture writer and written as nodes of an in-memory file. Used where neither the sample files nor the
// store builder make the case: stale types, odd cell layouts, exact damage.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "pstcore/ndb/database.h"
#include "pstwrite/ltp_heap.h"
#include "pstwrite/ndb_writer.h"
#include "support/test_helpers.h"

namespace mftest {

// Nodes kept in memory; every node added is read back from a fresh file holding all of them.
class node_file {
public:
    pstcore::node add(pstcore::node_id nid, const bytes& data) {
        m_nodes.push_back({nid, data});
        return db()->lookup_node(nid);
    }
    std::shared_ptr<pstcore::db_context> db() const {
        pstwrite::ndb_writer writer(pstwrite::format::unicode, pstwrite::crypt::none);
        for (const auto& n : m_nodes) writer.add_node(n.nid, 0, n.data);
        return pstcore::open_database(writer.finish_to_memory());
    }

private:
    struct entry {
        pstcore::node_id nid;
        bytes data;
    };
    std::vector<entry> m_nodes;
};

inline pstwrite::heap_builder heap_builder(std::uint8_t client_sig) {
    return pstwrite::heap_builder(pstwrite::format::unicode, client_sig);
}

inline bytes bth_header(std::uint8_t key_size, std::uint8_t entry_size, std::uint8_t levels, std::uint32_t root) {
    bytes out{std::byte{0xB5}, static_cast<std::byte>(key_size), static_cast<std::byte>(entry_size),
              static_cast<std::byte>(levels)};
    put_le(out, root, 4);
    return out;
}

// One property of a hand-built bag: an inline value, or bytes kept in the heap.
struct fixture_prop {
    std::uint16_t id;
    std::uint16_t type;
    std::uint32_t inline_value = 0;
    bytes value = {};
};

// Builds a property bag on node `nid`: one leaf of records, in the order given.
inline pstcore::node make_bag(node_file& file, pstcore::node_id nid, const std::vector<fixture_prop>& props) {
    auto heap = heap_builder(0xBC);
    const std::uint32_t header = heap.allocate(bytes(8));
    bytes leaf;
    for (const auto& p : props) {
        put_le(leaf, p.id, 2);
        put_le(leaf, p.type, 2);
        put_le(leaf, p.value.empty() ? p.inline_value : heap.allocate(p.value), 4);
    }
    const std::uint32_t root = leaf.empty() ? 0 : heap.allocate(leaf);
    heap.replace(header, bth_header(2, 6, 0, root));
    heap.set_user_root(header);
    return file.add(nid, heap.build());
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
inline pstcore::node make_table(node_file& file, pstcore::node_id nid, const fixture_table& t) {
    auto heap = heap_builder(0x7C);
    for (const auto& value : t.heap_values) heap.allocate(value);
    bytes index_leaf;
    for (std::size_t r = 0; r < t.rows.size(); ++r) {
        index_leaf.insert(index_leaf.end(), t.rows[r].begin(), t.rows[r].begin() + 4);  // each row starts with its id
        put_le(index_leaf, r, 4);
    }
    const std::uint32_t leaf = index_leaf.empty() ? 0 : heap.allocate(index_leaf);
    bytes index_header = bth_header(4, 4, 0, leaf);
    if (t.short_index_header) index_header.resize(2);
    const std::uint32_t index = heap.allocate(index_header);

    bytes matrix;
    for (const auto& row : t.rows) matrix.insert(matrix.end(), row.begin(), row.end());
    const std::uint32_t rows_ref = matrix.empty() ? 0 : heap.allocate(matrix);

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
    heap.set_user_root(heap.allocate(header));
    return file.add(nid, heap.build());
}

}  // namespace mftest
