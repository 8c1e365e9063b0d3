#include "pstwrite/damage.h"

#include <algorithm>
#include <array>
#include <stdexcept>
#include <string>

#include "ndb_bytes.h"
#include "ndb_format.h"
#include "pstcore/ndb/crypt.h"

namespace pstwrite {

namespace {

namespace nf = ndb_format;

struct fault_name {
    fault f;
    std::string_view name;
};
constexpr std::array<fault_name, 11> names{{
    {fault::header_crc_partial, "header-crc-partial"},
    {fault::header_crc_full, "header-crc-full"},
    {fault::page_signature, "page-signature"},
    {fault::block_signature, "block-signature"},
    {fault::page_type, "page-type"},
    {fault::truncated, "truncated"},
    {fault::page_past_eof, "page-past-eof"},
    {fault::block_past_eof, "block-past-eof"},
    {fault::btree_loop, "btree-loop"},
    {fault::cent_too_large, "cent-too-large"},
    {fault::xblock_lcb_total, "xblock-lcb-total"},
}};

[[noreturn]] void cannot(const char* why) {
    throw std::invalid_argument(why);
}

class damager {
public:
    damager(std::vector<std::byte>& bytes, const layout& where)
        : m_bytes(bytes), m_where(where), m_sizes(nf::sizes_of(where.fmt)) {
        if (bytes.size() < nf::first_amap || where.file_size != bytes.size()) cannot("layout does not fit the file");
    }

    std::span<std::byte> page(std::uint64_t ib) { return slice(ib, nf::page_size); }

    // A page's CRC over the bytes before its trailer, stored where the format keeps it.
    void fix_page_crc(std::uint64_t ib) {
        auto p = page(ib);
        const std::uint32_t crc = pstcore::compute_crc(p.first(m_sizes.page_data));
        store_u32(p, m_sizes.page_data + (m_where.fmt == format::unicode ? 4 : 8), crc);
    }

    const block_place& block(std::uint64_t bid) {
        const block_place* b = m_where.find_block(bid);
        if (!b) cannot("block not in layout");
        slice(b->ib, b->size);  // bounds check
        return *b;
    }
    std::span<std::byte> trailer(const block_place& b) {
        return slice(b.ib + b.size - m_sizes.block_trailer, m_sizes.block_trailer);
    }
    void fix_block_crc(const block_place& b) {
        const std::uint32_t crc = pstcore::compute_crc(slice(b.ib, b.cb));
        store_u32(trailer(b), m_where.fmt == format::unicode ? 4 : 8, crc);
    }

    void fix_header_crcs() {
        auto h = slice(0, m_sizes.header_size);
        store_u32(h, nf::off_crc_partial,
                  pstcore::compute_crc(h.subspan(nf::crc_start, nf::crc_partial_end - nf::crc_start)));
        if (m_where.fmt == format::unicode)
            store_u32(h, m_sizes.off_crc_full,
                      pstcore::compute_crc(h.subspan(nf::crc_start, nf::crc_full_end - nf::crc_start)));
    }

    const node_place& lowest_node() {
        if (m_where.nodes.empty()) cannot("fault needs a node");
        return m_where.nodes.front();
    }

    // The page-aligned end of the file: a place where no page or block can be.
    std::uint64_t past_eof() const { return nf::round_up(m_bytes.size(), nf::page_size); }

    // The BBT leaf entry of block `bid`: the page's offset and the entry's offset in it.
    std::pair<std::uint64_t, std::size_t> bbt_entry(std::uint64_t bid) {
        for (const page_place& p : m_where.pages) {
            if (p.which != tree::bbt || p.level != 0) continue;
            auto bytes = page(p.ib);
            for (std::size_t i = 0; i < p.entries && i < m_sizes.bbt_max; ++i)
                if (load_le(bytes, i * m_sizes.bbt_entry, m_sizes.id) == bid) return {p.ib, i * m_sizes.bbt_entry};
        }
        cannot("block not in any BBT leaf");
    }

    std::span<std::byte> slice(std::uint64_t offset, std::uint64_t length) {
        if (offset > m_bytes.size() || length > m_bytes.size() - offset) cannot("layout does not fit the file");
        return std::span(m_bytes).subspan(offset, length);
    }

    std::vector<std::byte>& m_bytes;
    const layout& m_where;
    const nf::sizes& m_sizes;
};

// The lowest top-level node with an XBLOCK, else the first subnode (depth first) with one.
const node_place* with_xblock(const std::vector<node_place>& nodes) {
    for (const auto& n : nodes)
        if (!n.tree_blocks.empty()) return &n;
    for (const auto& n : nodes)
        if (const node_place* inner = with_xblock(n.subnodes)) return inner;
    return nullptr;
}

}  // namespace

std::vector<std::byte> damage(std::vector<std::byte> good, const layout& where, fault f) {
    damager d(good, where);
    const auto& s = d.m_sizes;
    const bool unicode = where.fmt == format::unicode;
    switch (f) {
        case fault::header_crc_partial: {
            auto h = d.slice(where.crc_partial_offset, 4);
            store_u32(h, 0, static_cast<std::uint32_t>(load_le(h, 0, 4)) ^ 0x5A5A5A5Au);
            break;
        }
        case fault::header_crc_full: {
            if (!unicode || where.crc_full_offset == 0) cannot("an ANSI header has no dwCRCFull");
            auto h = d.slice(where.crc_full_offset, 4);
            store_u32(h, 0, static_cast<std::uint32_t>(load_le(h, 0, 4)) ^ 0x5A5A5A5Au);
            break;
        }
        case fault::page_signature: {
            auto p = d.page(where.nbt_root.ib);
            store_u16(p, s.page_data + 2, static_cast<std::uint16_t>(load_le(p, s.page_data + 2, 2) ^ 0x0101));
            d.fix_page_crc(where.nbt_root.ib);
            break;
        }
        case fault::block_signature: {
            const block_place& b = d.block(d.lowest_node().bid_data);
            auto t = d.trailer(b);
            store_u16(t, 2, static_cast<std::uint16_t>(load_le(t, 2, 2) ^ 0x0101));
            d.fix_block_crc(b);
            break;
        }
        case fault::page_type: {
            auto p = d.page(where.nbt_root.ib);
            store_u8(p, s.page_data, nf::ptype_bbt);
            store_u8(p, s.page_data + 1, nf::ptype_bbt);
            d.fix_page_crc(where.nbt_root.ib);
            break;
        }
        case fault::truncated: {
            if (where.pages.empty()) cannot("fault needs a B-tree page");
            std::uint64_t first = where.pages.front().ib;
            for (const auto& p : where.pages) first = std::min(first, p.ib);
            d.slice(0, first);
            good.resize(first);
            break;
        }
        case fault::page_past_eof: {
            auto h = d.slice(0, s.header_size);
            store_le(h, where.nbt_root_bref_offset + s.id, d.past_eof(), s.id);
            d.fix_header_crcs();
            break;
        }
        case fault::block_past_eof: {
            const auto [page_ib, at] = d.bbt_entry(d.lowest_node().bid_data);
            store_le(d.page(page_ib), at + s.id, d.past_eof(), s.id);
            d.fix_page_crc(page_ib);
            break;
        }
        case fault::btree_loop: {
            const page_place& root = where.nbt_root.level > 0 ? where.nbt_root : where.bbt_root;
            if (root.level == 0 || root.entries == 0) cannot("fault needs a multi-level B-tree");
            auto p = d.page(root.ib);
            store_le(p, s.id, root.bid, s.id);
            store_le(p, 2 * s.id, root.ib, s.id);
            d.fix_page_crc(root.ib);
            break;
        }
        case fault::cent_too_large: {
            store_u8(d.page(where.nbt_root.ib), s.bt_meta, 0xFF);
            d.fix_page_crc(where.nbt_root.ib);
            break;
        }
        case fault::xblock_lcb_total: {
            const node_place* target = with_xblock(where.nodes);
            if (!target) cannot("fault needs a node with an XBLOCK");
            // The last tree block is always a level-1 XBLOCK (an XXBLOCK comes first).
            const block_place& b = d.block(target->tree_blocks.back());
            auto data = d.slice(b.ib, b.cb);
            store_u32(data, 4, static_cast<std::uint32_t>(load_le(data, 4, 4) + s.max_data));
            d.fix_block_crc(b);
            break;
        }
    }
    return good;
}

std::optional<fault> fault_from_name(std::string_view name) {
    for (const auto& n : names)
        if (n.name == name) return n.f;
    return std::nullopt;
}

std::vector<std::string_view> fault_names() {
    std::vector<std::string_view> out;
    for (const auto& n : names) out.push_back(n.name);
    return out;
}

}  // namespace pstwrite
