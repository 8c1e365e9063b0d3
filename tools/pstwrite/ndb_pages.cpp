// The last steps of a file: the NBT and BBT pages, the allocation maps and the header.

#include <algorithm>
#include <array>
#include <stdexcept>

#include "ndb_bytes.h"
#include "ndb_format.h"
#include "ndb_output.h"
#include "ndb_writer.h"
#include "pstcore/ndb/crypt.h"

namespace pstwrite {

namespace nf = ndb_format;

page_place ndb_writer::write_page(tree which, std::uint8_t level, std::span<const std::byte> entries,
                                  std::uint8_t count) {
    const auto& s = *m_sizes;
    std::uint32_t entry_size = s.branch_entry;
    std::uint32_t entry_max = s.branch_max;
    if (level == 0) {
        entry_size = which == tree::nbt ? s.nbt_entry : s.bbt_entry;
        entry_max = which == tree::nbt ? s.nbt_max : s.bbt_max;
    }
    std::array<std::byte, nf::page_size> page{};
    std::copy(entries.begin(), entries.end(), page.begin());
    store_u8(page, s.bt_meta, count);
    store_u8(page, s.bt_meta + 1, static_cast<std::uint8_t>(entry_max));
    store_u8(page, s.bt_meta + 2, static_cast<std::uint8_t>(entry_size));
    store_u8(page, s.bt_meta + 3, level);

    const std::uint64_t bid = m_next_page_bid++;
    const std::uint64_t ib = allocate(nf::page_size, nf::page_size);
    const std::uint8_t ptype = which == tree::nbt ? nf::ptype_nbt : nf::ptype_bbt;
    store_u8(page, s.page_data, ptype);
    store_u8(page, s.page_data + 1, ptype);
    store_u16(page, s.page_data + 2, pstcore::compute_signature(bid, ib));
    const std::uint32_t crc = pstcore::compute_crc(std::span(page).first(s.page_data));
    if (m_format == format::unicode) {
        store_u32(page, s.page_data + 4, crc);
        store_u64(page, s.page_data + 8, bid);
    } else {
        store_u32(page, s.page_data + 4, static_cast<std::uint32_t>(bid));
        store_u32(page, s.page_data + 8, crc);
    }
    m_out->append(page);
    const page_place place{.which = which, .bid = bid, .ib = ib, .level = level, .entries = count};
    m_layout.pages.push_back(place);
    return place;
}

page_place ndb_writer::write_tree(tree which) {
    const auto& s = *m_sizes;
    const bool nbt = which == tree::nbt;
    const std::size_t total = nbt ? m_nbt.size() : m_layout.blocks.size();
    const std::uint32_t entry_size = nbt ? s.nbt_entry : s.bbt_entry;
    const std::uint32_t per_page = nbt ? s.nbt_max : s.bbt_max;

    struct child {
        std::uint64_t key;
        page_place page;
    };
    std::vector<child> level;
    std::vector<std::byte> buf;
    std::size_t i = 0;
    do {  // an empty tree is still one empty leaf page
        const std::size_t n = std::min<std::size_t>(per_page, total - i);
        buf.assign(n * entry_size, std::byte{0});
        for (std::size_t j = 0; j < n; ++j) {
            const std::size_t at = j * entry_size;
            if (nbt) {
                const nbt_entry& e = m_nbt[i + j];
                store_le(buf, at, e.nid, s.id);
                store_le(buf, at + s.id, e.bid_data, s.id);
                store_le(buf, at + 2 * s.id, e.bid_sub, s.id);
                store_u32(buf, at + 3 * s.id, e.parent);
            } else {
                const block_place& b = m_layout.blocks[i + j];
                store_le(buf, at, b.bid, s.id);
                store_le(buf, at + s.id, b.ib, s.id);
                store_u16(buf, at + 2 * s.id, b.cb);
                store_u16(buf, at + 2 * s.id + 2, 2);  // cRef: referenced once, as Outlook counts it
            }
        }
        const std::uint64_t key = n == 0 ? 0 : nbt ? m_nbt[i].nid : m_layout.blocks[i].bid;
        level.push_back({key, write_page(which, 0, buf, static_cast<std::uint8_t>(n))});
        i += n;
    } while (i < total);

    std::uint8_t depth = 0;
    while (level.size() > 1) {
        ++depth;
        std::vector<child> up;
        for (std::size_t k = 0; k < level.size(); k += s.branch_max) {
            const std::size_t n = std::min<std::size_t>(s.branch_max, level.size() - k);
            buf.assign(n * s.branch_entry, std::byte{0});
            for (std::size_t j = 0; j < n; ++j) {
                const std::size_t at = j * s.branch_entry;
                store_le(buf, at, level[k + j].key, s.id);
                store_le(buf, at + s.id, level[k + j].page.bid, s.id);
                store_le(buf, at + 2 * s.id, level[k + j].page.ib, s.id);
            }
            up.push_back({level[k].key, write_page(which, depth, buf, static_cast<std::uint8_t>(n))});
        }
        level = std::move(up);
    }
    return level.front().page;
}

void ndb_writer::write_maps_and_header() {
    const auto& s = *m_sizes;
    // Grow to whole AMap intervals, as Outlook does; the padding stays free in the maps.
    const std::uint64_t eof = nf::first_amap + m_amap_bits.size() * nf::amap_interval;
    m_out->append_zeros(eof - m_cursor);
    m_cursor = eof;

    std::uint64_t free_slots = 0;
    auto finish_map_page = [&](std::array<std::byte, nf::page_size>& page, std::uint8_t ptype, std::uint64_t ib) {
        store_u8(page, s.page_data, ptype);
        store_u8(page, s.page_data + 1, ptype);
        store_u16(page, s.page_data + 2, 0);
        const std::uint32_t crc = pstcore::compute_crc(std::span(page).first(s.page_data));
        if (m_format == format::unicode) {
            store_u32(page, s.page_data + 4, crc);
            store_u64(page, s.page_data + 8, ib);  // map pages carry their own offset as bid
        } else {
            store_u32(page, s.page_data + 4, static_cast<std::uint32_t>(ib));
            store_u32(page, s.page_data + 8, crc);
        }
        m_out->patch(ib, page);
    };
    for (std::size_t k = 0; k < m_amap_bits.size(); ++k) {
        std::array<std::byte, nf::page_size> page{};
        for (std::size_t j = 0; j < nf::amap_bitmap_bytes; ++j) {
            const std::uint8_t bits = m_amap_bits[k][j];
            page[s.amap_bitmap_at + j] = std::byte{bits};
            free_slots += 8 - static_cast<unsigned>(__builtin_popcount(bits));
        }
        finish_map_page(page, nf::ptype_amap, m_layout.amap_pages[k]);
    }
    for (const std::uint64_t ib : m_layout.pmap_pages) {
        std::array<std::byte, nf::page_size> page{};
        std::fill(page.begin() + s.amap_bitmap_at, page.begin() + s.amap_bitmap_at + nf::amap_bitmap_bytes,
                  std::byte{0xFF});
        finish_map_page(page, nf::ptype_pmap, ib);
    }

    std::array<std::byte, nf::first_amap> h{};
    const std::array<std::uint8_t, 4> magic{0x21, 0x42, 0x44, 0x4E};
    for (std::size_t j = 0; j < magic.size(); ++j) h[j] = std::byte{magic[j]};
    store_u16(h, 8, 0x4D53);  // wMagicClient "SM"
    store_u16(h, 10, s.version);
    store_u16(h, 12, 19);  // wVerClient
    store_u8(h, 14, 1);    // bPlatformCreate
    store_u8(h, 15, 1);    // bPlatformAccess
    store_le(h, s.off_bid_next_b, m_next_block_index << 2, s.id);
    store_le(h, s.off_bid_next_p, m_next_page_bid, s.id);
    store_u32(h, s.off_unique, 1);
    for (std::size_t t = 0; t < 32; ++t) store_u32(h, s.off_rgnid + 4 * t, m_rgnid[t]);
    store_le(h, nf::root_file_eof(s), eof, s.id);
    store_le(h, nf::root_amap_last(s), m_layout.amap_pages.back(), s.id);
    store_le(h, nf::root_amap_free(s), free_slots * nf::block_align, s.id);
    store_le(h, nf::root_pmap_free(s), 0, s.id);
    store_le(h, nf::root_nbt(s), m_layout.nbt_root.bid, s.id);
    store_le(h, nf::root_nbt(s) + s.id, m_layout.nbt_root.ib, s.id);
    store_le(h, nf::root_bbt(s), m_layout.bbt_root.bid, s.id);
    store_le(h, nf::root_bbt(s) + s.id, m_layout.bbt_root.ib, s.id);
    store_u8(h, nf::root_amap_valid(s), 2);
    std::fill(h.begin() + s.off_rgbfm, h.begin() + s.off_rgbfm + 256, std::byte{0xFF});  // rgbFM, rgbFP
    store_u8(h, s.off_sentinel, 0x80);
    store_u8(h, s.off_sentinel + 1, static_cast<std::uint8_t>(m_crypt));
    store_u32(h, nf::off_crc_partial,
              pstcore::compute_crc(std::span(h).subspan(nf::crc_start, nf::crc_partial_end - nf::crc_start)));
    if (m_format == format::unicode)
        store_u32(h, s.off_crc_full,
                  pstcore::compute_crc(std::span(h).subspan(nf::crc_start, nf::crc_full_end - nf::crc_start)));
    m_out->patch(0, h);

    m_layout.file_size = eof;
    m_layout.crc_partial_offset = nf::off_crc_partial;
    m_layout.crc_full_offset = s.off_crc_full;
    m_layout.nbt_root_bref_offset = nf::root_nbt(s);
    m_layout.bbt_root_bref_offset = nf::root_bbt(s);
    m_layout.file_eof_offset = nf::root_file_eof(s);
}

void ndb_writer::finish_common() {
    if (m_finished) throw std::logic_error("writer already finished");
    std::sort(m_nbt.begin(), m_nbt.end(), [](const nbt_entry& a, const nbt_entry& b) { return a.nid < b.nid; });
    for (std::size_t i = 1; i < m_nbt.size(); ++i)
        if (m_nbt[i].nid == m_nbt[i - 1].nid) throw std::invalid_argument("duplicate node id");
    std::sort(m_layout.nodes.begin(), m_layout.nodes.end(),
              [](const node_place& a, const node_place& b) { return a.nid < b.nid; });
    m_layout.bbt_root = write_tree(tree::bbt);
    m_layout.nbt_root = write_tree(tree::nbt);
    write_maps_and_header();
    m_finished = true;
    m_streams.clear();
}

void ndb_writer::finish() {
    finish_common();
    m_out->close();
}

std::vector<std::byte> ndb_writer::finish_to_memory() {
    finish_common();
    m_out->close();
    return m_out->take_bytes();
}

}  // namespace pstwrite
