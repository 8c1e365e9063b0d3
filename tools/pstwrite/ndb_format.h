#pragma once
// ndb_format.h: the writer's own on-disk constants for the node database (header, pages, blocks), for both file
// formats. Deliberately not shared with the reader, so a misreading of the format cannot hide itself in both.

#include <cstddef>
#include <cstdint>

#include "ndb_writer.h"

namespace pstwrite::ndb_format {

inline constexpr std::uint64_t page_size = 512;
inline constexpr std::uint64_t block_align = 64;
inline constexpr std::uint64_t max_block_size = 8192;

// Allocation maps: one AMap page every interval, a PMap page after every eighth AMap.
inline constexpr std::uint64_t first_amap = 0x4400;
inline constexpr std::uint64_t amap_interval = 496 * 8 * 64;  // 253,952 bytes
inline constexpr std::uint64_t amap_bitmap_bytes = 496;
inline constexpr std::uint64_t pmap_every = 8;  // AMap intervals per PMap

// Page types (the ptype byte of a page trailer).
inline constexpr std::uint8_t ptype_bbt = 0x80;
inline constexpr std::uint8_t ptype_nbt = 0x81;
inline constexpr std::uint8_t ptype_pmap = 0x83;
inline constexpr std::uint8_t ptype_amap = 0x84;

inline constexpr std::uint8_t btype_xblock = 0x01;
inline constexpr std::uint8_t btype_slblock = 0x02;

// Outlook's first values for rgnid[] (the last nid index handed out per nid type).
inline constexpr std::uint32_t rgnid_default = 0x400;
inline constexpr std::uint32_t rgnid_search_folder = 0x4000;
inline constexpr std::uint32_t rgnid_normal_message = 0x10000;
inline constexpr std::uint32_t rgnid_assoc_message = 0x8000;

// Everything that differs between the two formats.
struct sizes {
    std::uint32_t id;             // bytes of a BID, IB or key
    std::uint32_t block_trailer;  // cb, wSig, then U: dwCRC, bid; A: bid, dwCRC
    std::uint32_t max_data;       // data bytes of the largest block
    std::uint32_t xblock_max;     // child ids in an XBLOCK or XXBLOCK
    std::uint32_t xblock_header;
    std::uint32_t sl_header;  // btype, cLevel, cEnt, U: dwPadding
    std::uint32_t sl_entry;
    std::uint32_t sl_max;
    std::uint32_t si_entry;
    std::uint32_t si_max;
    // BT pages
    std::uint32_t page_data;  // bytes before the page trailer: the CRC covers them
    std::uint32_t bt_meta;    // offset of cEnt, then cEntMax, cbEnt, cLevel
    std::uint32_t nbt_entry;  // leaf entry sizes and capacities
    std::uint32_t nbt_max;
    std::uint32_t bbt_entry;
    std::uint32_t bbt_max;
    std::uint32_t branch_entry;
    std::uint32_t branch_max;
    std::uint32_t amap_bitmap_at;  // the bitmap's offset in an AMap page
    // Header
    std::uint32_t header_size;
    std::uint32_t off_bid_next_b;
    std::uint32_t off_bid_next_p;
    std::uint32_t off_unique;
    std::uint32_t off_rgnid;
    std::uint32_t off_root;  // ROOT: dwReserved, ibFileEof, ibAMapLast, cbAMapFree, cbPMapFree, BREFNBT, BREFBBT,
                             // fAMapValid
    std::uint32_t off_rgbfm;
    std::uint32_t off_sentinel;  // bSentinel, then bCryptMethod
    std::uint32_t off_crc_full;  // 0 for ANSI
    std::uint16_t version;
};

inline constexpr sizes unicode_sizes{.id = 8,
                                     .block_trailer = 16,
                                     .max_data = 8176,
                                     .xblock_max = 1021,
                                     .xblock_header = 8,
                                     .sl_header = 8,
                                     .sl_entry = 24,
                                     .sl_max = 340,
                                     .si_entry = 16,
                                     .si_max = 510,
                                     .page_data = 496,
                                     .bt_meta = 488,
                                     .nbt_entry = 32,
                                     .nbt_max = 15,
                                     .bbt_entry = 24,
                                     .bbt_max = 20,
                                     .branch_entry = 24,
                                     .branch_max = 20,
                                     .amap_bitmap_at = 0,
                                     .header_size = 564,
                                     .off_bid_next_b = 516,
                                     .off_bid_next_p = 32,
                                     .off_unique = 40,
                                     .off_rgnid = 44,
                                     .off_root = 180,
                                     .off_rgbfm = 256,
                                     .off_sentinel = 512,
                                     .off_crc_full = 524,
                                     .version = 23};

inline constexpr sizes ansi_sizes{.id = 4,
                                  .block_trailer = 12,
                                  .max_data = 8180,
                                  .xblock_max = 2043,
                                  .xblock_header = 8,
                                  .sl_header = 4,
                                  .sl_entry = 12,
                                  .sl_max = 681,
                                  .si_entry = 8,
                                  .si_max = 1022,
                                  .page_data = 500,
                                  .bt_meta = 496,
                                  .nbt_entry = 16,
                                  .nbt_max = 31,
                                  .bbt_entry = 12,
                                  .bbt_max = 41,
                                  .branch_entry = 12,
                                  .branch_max = 41,
                                  .amap_bitmap_at = 4,
                                  .header_size = 512,
                                  .off_bid_next_b = 24,
                                  .off_bid_next_p = 28,
                                  .off_unique = 32,
                                  .off_rgnid = 36,
                                  .off_root = 164,
                                  .off_rgbfm = 204,
                                  .off_sentinel = 460,
                                  .off_crc_full = 0,
                                  .version = 14};

inline constexpr const sizes& sizes_of(format f) {
    return f == format::unicode ? unicode_sizes : ansi_sizes;
}

// Both header CRCs start after dwMagic and dwCRCPartial.
inline constexpr std::uint32_t crc_start = 8;
inline constexpr std::uint32_t off_crc_partial = 4;
inline constexpr std::uint32_t crc_partial_end = 479;
inline constexpr std::uint32_t crc_full_end = 524;

// Offsets inside ROOT, per format (fields are id-sized except dwReserved and the trailing bytes).
inline constexpr std::uint32_t root_file_eof(const sizes& s) {
    return s.off_root + 4;
}
inline constexpr std::uint32_t root_amap_last(const sizes& s) {
    return s.off_root + 4 + s.id;
}
inline constexpr std::uint32_t root_amap_free(const sizes& s) {
    return s.off_root + 4 + 2 * s.id;
}
inline constexpr std::uint32_t root_pmap_free(const sizes& s) {
    return s.off_root + 4 + 3 * s.id;
}
inline constexpr std::uint32_t root_nbt(const sizes& s) {
    return s.off_root + 4 + 4 * s.id;
}
inline constexpr std::uint32_t root_bbt(const sizes& s) {
    return s.off_root + 4 + 6 * s.id;
}
inline constexpr std::uint32_t root_amap_valid(const sizes& s) {
    return s.off_root + 4 + 8 * s.id;
}

inline constexpr std::uint64_t round_up(std::uint64_t v, std::uint64_t to) {
    return (v + to - 1) / to * to;
}

}  // namespace pstwrite::ndb_format
