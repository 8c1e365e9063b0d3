#pragma once
// ndb_format.h: on-disk layout of the node database — header fields, page and block trailers, B-tree and
// block entry layouts — for the two formats. Offsets are from the start of the header, page or block.
// Internal to the ndb module.

#include <cstddef>
#include <cstdint>

namespace pstcore::detail {

struct header_layout {
    std::size_t size;      // bytes read from offset 0
    std::size_t file_eof;  // ibFileEof
    std::size_t nbt_root;  // BREF: bid, then ib
    std::size_t bbt_root;
    std::size_t crypt_method;  // bCryptMethod
    bool has_full_crc;         // dwCRCFull at 524, Unicode only
};

constexpr std::size_t k_header_crc_partial = 4;
constexpr std::size_t k_header_version = 10;
constexpr std::size_t k_header_crc_start = 8;
constexpr std::size_t k_header_crc_partial_length = 471;
constexpr std::size_t k_header_crc_full = 524;
constexpr std::size_t k_header_crc_full_length = 516;
constexpr std::uint16_t k_first_unicode_version = 20;

constexpr header_layout k_ansi_header{512, 168, 184, 192, 461, false};
constexpr header_layout k_unicode_header{568, 184, 216, 232, 513, true};

constexpr std::size_t k_page_size = 512;
constexpr std::uint8_t k_ptype_bbt = 0x80;
constexpr std::uint8_t k_ptype_nbt = 0x81;

// Deepest B-tree we accept. Real node and block trees have two to four levels and subnode trees two;
// anything deeper is damage, and refusing it keeps every lookup to a handful of reads.
constexpr unsigned k_max_btree_level = 8;

constexpr std::size_t k_max_block_size = 8192;
constexpr std::uint8_t k_btype_extended = 0x01;

// Layout facts that differ between ANSI (32-bit ids) and Unicode (64-bit ids).
struct format_layout {
    bool wide;  // ids and offsets are 64-bit
    const header_layout* header;
    // page trailer and B-tree page body
    std::size_t page_entries_room;  // bytes of entries before the counts
    std::size_t page_cent;          // cEnt; cLevel follows at +3
    std::size_t page_ptype;
    std::size_t page_sig;
    std::size_t page_id;
    std::size_t id_size;             // 4 or 8
    std::size_t nonleaf_entry_size;  // key, child id, child offset
    std::size_t nbt_leaf_entry_size;
    std::size_t bbt_leaf_entry_size;
    // block trailer, as offsets back from the block's end
    std::size_t block_trailer_size;
    std::size_t trailer_cb;
    std::size_t trailer_sig;
    std::size_t trailer_id;
    std::size_t max_block_data;
    // extended block: data blocks per child id
    std::size_t extended_children;
    // subnode block header and entries
    std::size_t subnode_header_size;
    std::size_t subnode_leaf_entry_size;
    std::size_t subnode_nonleaf_entry_size;
};

constexpr format_layout k_ansi_layout{
    .wide = false,
    .header = &k_ansi_header,
    .page_entries_room = 496,
    .page_cent = 496,
    .page_ptype = 500,
    .page_sig = 502,
    .page_id = 504,
    .id_size = 4,
    .nonleaf_entry_size = 12,
    .nbt_leaf_entry_size = 16,
    .bbt_leaf_entry_size = 12,
    .block_trailer_size = 12,
    .trailer_cb = 12,
    .trailer_sig = 10,
    .trailer_id = 8,
    .max_block_data = 8180,
    // (8180 - 8) / 4 ids fit in one block
    .extended_children = 2043,
    .subnode_header_size = 4,
    .subnode_leaf_entry_size = 12,
    .subnode_nonleaf_entry_size = 8,
};

constexpr format_layout k_unicode_layout{
    .wide = true,
    .header = &k_unicode_header,
    .page_entries_room = 488,
    .page_cent = 488,
    .page_ptype = 496,
    .page_sig = 498,
    .page_id = 504,
    .id_size = 8,
    .nonleaf_entry_size = 24,
    .nbt_leaf_entry_size = 32,
    .bbt_leaf_entry_size = 24,
    .block_trailer_size = 16,
    .trailer_cb = 16,
    .trailer_sig = 14,
    .trailer_id = 8,
    .max_block_data = 8176,
    .extended_children = 1021,
    .subnode_header_size = 8,
    .subnode_leaf_entry_size = 24,
    .subnode_nonleaf_entry_size = 16,
};

constexpr std::size_t rounded_block_size(std::size_t cb, const format_layout& f) {
    return (cb + f.block_trailer_size + 63) & ~static_cast<std::size_t>(63);
}

}  // namespace pstcore::detail
