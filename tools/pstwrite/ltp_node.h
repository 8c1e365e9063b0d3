#pragma once
// ltp_node.h: what an LTP builder hands to the node writer (the node's data and its subnodes), and the node-id
// counters that give subnodes and nodes their ids the way Outlook does (one global counter per nid type).

#include <array>
#include <cstdint>
#include <vector>

#include "ltp_format.h"
#include "ndb_writer.h"

namespace pstwrite {

struct node_content {
    bytes data;
    std::vector<subnode> subnodes;
};

class nid_counter {
public:
    nid_counter();
    // A new nid of this type: ++last index, as Outlook does.
    std::uint32_t next(std::uint32_t nid_type);
    std::uint32_t last_index(std::uint32_t nid_type) const { return m_last[nid_type & 0x1F]; }

private:
    std::array<std::uint32_t, 32> m_last{};
};

constexpr std::uint32_t make_nid(std::uint32_t type, std::uint32_t index) {
    return (index << 5) | type;
}

}  // namespace pstwrite
