#pragma once
// ndb_image.h: assembles small PST byte images for the node-database tests — header with both CRCs, B-tree
// pages, blocks with trailers and signatures — so that each test can reach exactly the case it is about,
// including damaged ones. Deliberately independent of the reader's own layout tables.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "pstcore/ndb/crypt.h"
#include "pstcore/ndb/types.h"
#include "support/test_helpers.h"

namespace ndbtest {

using bytes = std::vector<std::byte>;

using mftest::failure_of;
using mftest::read_all;

inline bytes filled(std::size_t n, std::uint8_t seed = 1) {
    bytes out(n);
    for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<std::byte>((i * 31 + seed * 7 + (i >> 8)) & 0xFF);
    return out;
}

class image {
public:
    // An image of `size` bytes (a multiple of 512) with a header of the chosen format; pages go from 0x400,
    // blocks from 0x10000 (the image grows as blocks are added).
    image(bool unicode, std::uint8_t crypt = 0, std::size_t size = 0x10000, std::uint16_t version = 0)
        : m_unicode(unicode), m_crypt(crypt), m_bytes(size) {
        put16(0, 0), put(0, {0x21, 0x42, 0x44, 0x4E});
        put16(8, 0x4D53);
        put16(10, version ? version : (unicode ? 23 : 14));
        put8(unicode ? 513 : 461, crypt);
        m_next_page = 0x400;
        m_next_block = 0x10000;
    }

    bool unicode() const { return m_unicode; }
    std::size_t id_size() const { return m_unicode ? 8 : 4; }
    std::size_t max_block() const { return m_unicode ? 8176 : 8180; }
    bytes& raw() { return m_bytes; }

    void put8(std::size_t at, std::uint8_t v) { m_bytes.at(at) = std::byte{v}; }
    void put16(std::size_t at, std::uint16_t v) { putn(at, v, 2); }
    void put32(std::size_t at, std::uint32_t v) { putn(at, v, 4); }
    void put64(std::size_t at, std::uint64_t v) { putn(at, v, 8); }
    void put_id(std::size_t at, std::uint64_t v) { putn(at, v, id_size()); }
    void put_n(std::size_t at, std::uint64_t v, std::size_t width) { putn(at, v, width); }
    void put(std::size_t at, std::initializer_list<std::uint8_t> values) {
        for (auto v : values) m_bytes.at(at++) = std::byte{v};
    }

    // Allocation of page and block space.
    std::uint64_t next_page_address() {
        const auto at = m_next_page;
        m_next_page += 512;
        return at;
    }
    std::uint64_t next_block_address(std::size_t cb) {
        const auto at = m_next_block;
        m_next_block += rounded(cb);
        if (m_next_block > m_bytes.size()) m_bytes.resize((m_next_block + 511) & ~std::uint64_t{511});
        return at;
    }
    std::size_t rounded(std::size_t cb) const { return (cb + (m_unicode ? 16 : 12) + 63) & ~std::size_t{63}; }

    // A B-tree page: ptype 0x80 (BBT) or 0x81 (NBT); `entries` are the raw entry bytes, `count` of them.
    void put_page(const pstcore::page_info& pi, std::uint8_t ptype, std::uint8_t level, std::size_t count,
                  const bytes& entries) {
        const std::size_t at = pi.address;
        std::fill_n(m_bytes.begin() + static_cast<std::ptrdiff_t>(at), 512, std::byte{0});
        std::copy(entries.begin(), entries.end(), m_bytes.begin() + static_cast<std::ptrdiff_t>(at));
        const std::size_t counts = m_unicode ? 488 : 496;
        put8(at + counts, static_cast<std::uint8_t>(count));
        put8(at + counts + 3, level);
        const std::size_t trailer = m_unicode ? 496 : 500;
        put8(at + trailer, ptype);
        put8(at + trailer + 1, ptype);
        put16(at + trailer + 2, pstcore::compute_signature(pi.id, pi.address));
        if (m_unicode) {
            put32(at + 500, pstcore::compute_crc(std::span(m_bytes).subspan(at, 496)));
            put64(at + 504, pi.id);
        } else {
            put32(at + 504, static_cast<std::uint32_t>(pi.id));
            put32(at + 508, pstcore::compute_crc(std::span(m_bytes).subspan(at, 500)));
        }
    }

    bytes nbt_leaf_entry(const pstcore::node_info& n) const {
        bytes e(m_unicode ? 32 : 16);
        image_writer w{e, id_size()};
        w.id(0, n.id), w.id(id_size(), n.data_bid), w.id(2 * id_size(), n.sub_bid), w.u32(3 * id_size(), n.parent_id);
        return e;
    }
    bytes bbt_leaf_entry(const pstcore::block_info& b) const {
        bytes e(m_unicode ? 24 : 12);
        image_writer w{e, id_size()};
        w.id(0, b.id), w.id(id_size(), b.address), w.u16(2 * id_size(), b.size), w.u16(2 * id_size() + 2, 2);
        return e;
    }
    bytes nonleaf_entry(std::uint64_t key, const pstcore::page_info& child) const {
        bytes e(3 * id_size());
        image_writer w{e, id_size()};
        w.id(0, key), w.id(id_size(), child.id), w.id(2 * id_size(), child.address);
        return e;
    }

    // A block with its trailer. External blocks are encoded with the image's method unless `encode` is false.
    pstcore::block_info put_block(std::uint64_t id, const bytes& data, bool encode = true) {
        const std::uint64_t at = next_block_address(data.size());
        return put_block_at(id, at, data, encode);
    }
    pstcore::block_info put_block_at(std::uint64_t id, std::uint64_t at, const bytes& data, bool encode = true) {
        bytes stored = data;
        if (encode && (id & 2) == 0) {
            if (m_crypt == 1) pstcore::permute_encode(stored);
            if (m_crypt == 2) pstcore::cyclic_crypt(stored, static_cast<std::uint32_t>(id));
        }
        std::copy(stored.begin(), stored.end(), m_bytes.begin() + static_cast<std::ptrdiff_t>(at));
        const std::size_t end = at + rounded(data.size());
        const std::size_t t = end - (m_unicode ? 16 : 12);
        put16(t, static_cast<std::uint16_t>(data.size()));
        put16(t + 2, pstcore::compute_signature(id, at));
        if (m_unicode) {
            put32(t + 4, pstcore::compute_crc(stored));
            put64(t + 8, id);
        } else {
            put32(t + 4, static_cast<std::uint32_t>(id));
            put32(t + 8, pstcore::compute_crc(stored));
        }
        return {id, at, static_cast<std::uint16_t>(data.size()), 2};
    }

    // Block contents of the internal kinds.
    bytes extended(std::uint8_t level, std::uint32_t total, const std::vector<std::uint64_t>& children) const {
        bytes d(8 + children.size() * id_size());
        image_writer w{d, id_size()};
        w.u8(0, 1), w.u8(1, level), w.u16(2, static_cast<std::uint16_t>(children.size())), w.u32(4, total);
        for (std::size_t i = 0; i < children.size(); ++i) w.id(8 + i * id_size(), children[i]);
        return d;
    }
    bytes subnode_leaf(const std::vector<pstcore::subnode_info>& entries) const {
        const std::size_t head = m_unicode ? 8 : 4;
        bytes d(head + entries.size() * 3 * id_size());
        image_writer w{d, id_size()};
        w.u8(0, 2), w.u8(1, 0), w.u16(2, static_cast<std::uint16_t>(entries.size()));
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const std::size_t at = head + i * 3 * id_size();
            w.id(at, entries[i].id), w.id(at + id_size(), entries[i].data_bid),
                w.id(at + 2 * id_size(), entries[i].sub_bid);
        }
        return d;
    }
    bytes subnode_inner(std::uint8_t level, const std::vector<std::pair<std::uint64_t, std::uint64_t>>& entries) const {
        const std::size_t head = m_unicode ? 8 : 4;
        bytes d(head + entries.size() * 2 * id_size());
        image_writer w{d, id_size()};
        w.u8(0, 2), w.u8(1, level), w.u16(2, static_cast<std::uint16_t>(entries.size()));
        for (std::size_t i = 0; i < entries.size(); ++i)
            w.id(head + i * 2 * id_size(), entries[i].first),
                w.id(head + i * 2 * id_size() + id_size(), entries[i].second);
        return d;
    }

    // Writes B-trees over `blocks` and `nodes` (each sorted here), points the header at them, sets ibFileEof to
    // the image size and computes both header CRCs.
    void finish(std::vector<pstcore::block_info> blocks, std::vector<pstcore::node_info> nodes) {
        std::sort(blocks.begin(), blocks.end(), [](auto& a, auto& b) { return a.id < b.id; });
        std::sort(nodes.begin(), nodes.end(), [](auto& a, auto& b) { return a.id < b.id; });
        std::vector<std::pair<std::uint64_t, bytes>> bbt, nbt;
        for (auto& b : blocks) bbt.emplace_back(b.id, bbt_leaf_entry(b));
        for (auto& n : nodes) nbt.emplace_back(n.id, nbt_leaf_entry(n));
        const auto bbt_root = put_tree(0x80, bbt, m_unicode ? 20 : 41);
        const auto nbt_root = put_tree(0x81, nbt, m_unicode ? 15 : 31);
        set_roots(nbt_root, bbt_root);
    }

    void set_roots(const pstcore::page_info& nbt, const pstcore::page_info& bbt) {
        const std::size_t nbt_at = m_unicode ? 216 : 184, bbt_at = m_unicode ? 232 : 192;
        put_id(nbt_at, nbt.id), put_id(nbt_at + id_size(), nbt.address);
        put_id(bbt_at, bbt.id), put_id(bbt_at + id_size(), bbt.address);
        put_id(m_unicode ? 184 : 168, m_bytes.size());
        fix_crcs();
    }

    void fix_crcs() {
        put32(4, pstcore::compute_crc(std::span(m_bytes).subspan(8, 471)));
        if (m_unicode) put32(524, pstcore::compute_crc(std::span(m_bytes).subspan(8, 516)));
    }

    // A whole tree from sorted leaf entries; returns the root page.
    pstcore::page_info put_tree(std::uint8_t ptype, const std::vector<std::pair<std::uint64_t, bytes>>& leaves,
                                std::size_t per_leaf) {
        std::vector<std::pair<std::uint64_t, pstcore::page_info>> level_pages;
        std::size_t i = 0;
        do {
            const std::size_t n = std::min(per_leaf, leaves.size() - i);
            bytes entries;
            for (std::size_t k = 0; k < n; ++k)
                entries.insert(entries.end(), leaves[i + k].second.begin(), leaves[i + k].second.end());
            const pstcore::page_info pi{m_next_page_id++, next_page_address()};
            put_page(pi, ptype, 0, n, entries);
            level_pages.emplace_back(n ? leaves[i].first : 0, pi);
            i += n;
        } while (i < leaves.size());
        std::uint8_t level = 0;
        const std::size_t per_inner = m_unicode ? 20 : 41;
        while (level_pages.size() > 1) {
            ++level;
            std::vector<std::pair<std::uint64_t, pstcore::page_info>> parents;
            for (std::size_t j = 0; j < level_pages.size(); j += per_inner) {
                const std::size_t n = std::min(per_inner, level_pages.size() - j);
                bytes entries;
                for (std::size_t k = 0; k < n; ++k) {
                    auto e = nonleaf_entry(level_pages[j + k].first, level_pages[j + k].second);
                    entries.insert(entries.end(), e.begin(), e.end());
                }
                const pstcore::page_info pi{m_next_page_id++, next_page_address()};
                put_page(pi, ptype, level, n, entries);
                parents.emplace_back(level_pages[j].first, pi);
            }
            level_pages = std::move(parents);
        }
        return level_pages.front().second;
    }

private:
    struct image_writer {
        bytes& b;
        std::size_t idsize;
        void put(std::size_t at, std::uint64_t v, std::size_t n) { mftest::set_le(b, at, v, n); }
        void u8(std::size_t at, std::uint64_t v) { put(at, v, 1); }
        void u16(std::size_t at, std::uint64_t v) { put(at, v, 2); }
        void u32(std::size_t at, std::uint64_t v) { put(at, v, 4); }
        void id(std::size_t at, std::uint64_t v) { put(at, v, idsize); }
    };

    void putn(std::size_t at, std::uint64_t v, std::size_t n) { image_writer{m_bytes, 0}.put(at, v, n); }

    bool m_unicode;
    std::uint8_t m_crypt;
    bytes m_bytes;
    std::uint64_t m_next_page;
    std::uint64_t m_next_block;
    std::uint64_t m_next_page_id = 0x100;
};

}  // namespace ndbtest
