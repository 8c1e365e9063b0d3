#pragma once
// written_file.h: files written by the fixture writer for the node-database tests, with the layout that names
// where each page and block landed so a test can damage exact bytes. The reader checks no page or block CRC, so
// a patch needs no other fix-up; the header's CRCs are made right again where a test aims past them.

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "pstcore/ndb/crypt.h"
#include "pstcore/ndb/database.h"
#include "pstwrite/ndb_writer.h"
#include "support/test_helpers.h"

namespace ndbtest {

using bytes = std::vector<std::byte>;
using mftest::failure_of;
using mftest::read_all;
using pstwrite::crypt;
using pstwrite::format;

inline bytes filled(std::size_t n, std::uint8_t seed = 1) {
    bytes out(n);
    for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<std::byte>((i * 31 + seed * 7 + (i >> 8)) & 0xFF);
    return out;
}

struct file {
    bytes raw;
    pstwrite::layout where;

    bool unicode() const { return where.fmt == format::unicode; }
    std::size_t id_size() const { return unicode() ? 8 : 4; }
    std::size_t max_block() const { return pstwrite::max_block_data(where.fmt); }
    const pstwrite::node_place& node(pstcore::node_id nid) const { return *where.find_node(nid); }
    const pstwrite::block_place& block(std::uint64_t bid) const { return *where.find_block(bid); }
    std::uint64_t get(std::size_t at, std::size_t width) const { return mftest::get_le(raw, at, width); }
    void put(std::size_t at, std::uint64_t value, std::size_t width) { mftest::set_le(raw, at, value, width); }
    void fix_header_crcs() {
        put(4, pstcore::compute_crc(std::span(raw).subspan(8, 471)), 4);
        if (unicode()) put(524, pstcore::compute_crc(std::span(raw).subspan(8, 516)), 4);
    }
    std::shared_ptr<pstcore::db_context> open() const { return pstcore::open_database(raw); }
};

struct written_node {
    pstcore::node_id nid;
    bytes data;
    std::vector<pstwrite::subnode> subnodes = {};
};

inline file write(format f, crypt c, const std::vector<written_node>& nodes) {
    pstwrite::ndb_writer writer(f, c);
    for (const auto& n : nodes) writer.add_node(n.nid, 0, n.data, n.subnodes);
    file out{writer.finish_to_memory(), {}};
    out.where = writer.where();
    return out;
}

}  // namespace ndbtest
