#pragma once
// types.h: the small value records of the node database, the same for ANSI and Unicode files
// (every id and offset is widened to 64 bits as soon as it is read).

#include <cstdint>

namespace pstcore {

using node_id = std::uint32_t;
using block_id = std::uint64_t;
using page_id = std::uint64_t;
using file_offset = std::uint64_t;

struct page_info {
    page_id id = 0;
    file_offset address = 0;
};

struct block_info {
    block_id id = 0;
    file_offset address = 0;
    std::uint16_t size = 0;  // bytes of data, without padding and trailer
    std::uint16_t ref_count = 0;
};

struct node_info {
    node_id id = 0;
    block_id data_bid = 0;
    block_id sub_bid = 0;
    node_id parent_id = 0;
};

struct subnode_info {
    node_id id = 0;
    block_id data_bid = 0;
    block_id sub_bid = 0;
};

// The way external data blocks are stored on disk.
enum class crypt_method : std::uint8_t { none = 0, permute = 1, cyclic = 2 };

// The node id's low five bits name what kind of node it is.
constexpr std::uint32_t nid_type(node_id id) {
    return id & 0x1F;
}

}  // namespace pstcore
