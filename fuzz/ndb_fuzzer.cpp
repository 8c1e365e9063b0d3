// Opens the input as a PST file and reads every node's data and subnode tree, as `mailferry info` does.
// Any exception is a clean refusal; a crash, hang or runaway allocation is a finding.

#include <array>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <vector>

#include "pstcore/ndb/crypt.h"
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

// Mutations of the header would nearly all die at its CRC check; recomputing the CRCs lets the fuzzer reach
// the roots, sizes and versions the header describes.
void fix_header_crcs(std::vector<std::byte>& bytes) {
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::byte>(v >> (8 * i));
    };
    if (bytes.size() >= 512) put32(4, pstcore::compute_crc(std::span(bytes).subspan(8, 471)));
    if (bytes.size() >= 568) put32(524, pstcore::compute_crc(std::span(bytes).subspan(8, 516)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::byte> bytes(reinterpret_cast<const std::byte*>(data),
                                 reinterpret_cast<const std::byte*>(data) + size);
    fix_header_crcs(bytes);
    try {
        const auto db = pstcore::open_database(std::move(bytes));
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
