// Opens the input as a PST file and reads every node's data and subnode tree, as `mailferry info` does.
// Any exception is a clean refusal; a crash, hang or runaway allocation is a finding.

#include <array>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <vector>

#include "fuzz_input.h"
#include "pstcore/ndb/database.h"

namespace {

void read_node(const pstcore::node& n, int depth) {
    if (depth > 32) return;
    std::array<std::byte, 16 * 1024> buffer;
    for (std::uint64_t at = 0; at < n.size();) at += n.read(buffer, at);
    for (const auto& sub : n.subnodes()) {
        try {
            read_node(pstcore::node(n, sub), depth + 1);
        } catch (const std::exception&) {
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto bytes = fuzzing::pst_bytes_with_valid_header_crcs(data, size);
    try {
        const auto db = pstcore::open_database(std::move(bytes));
        // A cache of a few pages, so that pages leaving it and coming back are fuzzed too, not only in huge files.
        db->set_page_cache_limit(4);
        for (const auto& b : pstcore::btree_range<pstcore::block_id, pstcore::block_info>(db->read_bbt_root())) (void)b;
        for (const auto& info : pstcore::btree_range<pstcore::node_id, pstcore::node_info>(db->read_nbt_root())) {
            try {
                read_node(pstcore::node(db, info), 0);
            } catch (const std::exception&) {
            }
        }
    } catch (const std::exception&) {
    }
    return 0;
}
