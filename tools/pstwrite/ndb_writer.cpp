#include "ndb_writer.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <unordered_map>
#include <utility>

#include "ndb_bytes.h"
#include "ndb_format.h"
#include "ndb_output.h"
#include "pstcore/ndb/crypt.h"

namespace pstwrite {

namespace nf = ndb_format;

std::size_t max_block_data(format f) {
    return nf::sizes_of(f).max_data;
}

const block_place* layout::find_block(std::uint64_t bid) const {
    auto it = std::lower_bound(blocks.begin(), blocks.end(), bid,
                               [](const block_place& b, std::uint64_t key) { return b.bid < key; });
    return it != blocks.end() && it->bid == bid ? &*it : nullptr;
}

const node_place* layout::find_node(std::uint32_t nid) const {
    auto it = std::lower_bound(nodes.begin(), nodes.end(), nid,
                               [](const node_place& n, std::uint32_t key) { return n.nid < key; });
    return it != nodes.end() && it->nid == nid ? &*it : nullptr;
}

// ---- data streams ----

void data_stream::append(std::span<const std::byte> bytes) {
    if (!m_writer) throw std::logic_error("data stream not begun");
    const std::size_t max = m_writer->m_sizes->max_data;
    while (!bytes.empty()) {
        const std::size_t take = std::min(bytes.size(), max - m_pending.size());
        if (m_pending.empty() && take == max) {
            m_block_bids.push_back(m_writer->put_block(bytes.first(take), false));
        } else {
            m_pending.insert(m_pending.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(take));
            if (m_pending.size() == max) {
                m_block_bids.push_back(m_writer->put_block(m_pending, false));
                m_pending.clear();
            }
        }
        bytes = bytes.subspan(take);
        m_size += take;
    }
}

// ---- the writer ----

ndb_writer::ndb_writer(format f, crypt c, std::filesystem::path out)
    : m_format(f), m_crypt(c), m_sizes(&nf::sizes_of(f)), m_out(make_file_sink(out)) {
    start();
}

ndb_writer::ndb_writer(format f, crypt c)
    : m_format(f), m_crypt(c), m_sizes(&nf::sizes_of(f)), m_out(make_memory_sink()) {
    start();
}

ndb_writer::~ndb_writer() = default;

void ndb_writer::start() {
    for (auto& v : m_rgnid) v = nf::rgnid_default;
    m_rgnid[0x03] = nf::rgnid_search_folder;
    m_rgnid[0x04] = nf::rgnid_normal_message;
    m_rgnid[0x08] = nf::rgnid_assoc_message;
    m_layout.fmt = m_format;
    m_layout.enc = m_crypt;
    // The header area is written last; hold its place.
    m_out->append_zeros(nf::first_amap);
    m_cursor = nf::first_amap;
    m_block_buf.resize(nf::max_block_size);
}

void ndb_writer::enter_interval(std::uint64_t k) {
    while (m_amap_bits.size() <= k) {
        const std::uint64_t index = m_amap_bits.size();
        const std::uint64_t start = nf::first_amap + index * nf::amap_interval;
        std::vector<std::uint8_t> bits(nf::amap_bitmap_bytes, 0);
        bits[0] = 0xFF;  // the AMap page itself: 8 slots of 64 bytes
        m_layout.amap_pages.push_back(start);
        if (index % nf::pmap_every == 0) {
            bits[1] = 0xFF;  // the PMap page right after it
            m_layout.pmap_pages.push_back(start + nf::page_size);
        }
        m_amap_bits.push_back(std::move(bits));
    }
}

std::uint64_t ndb_writer::allocate(std::uint64_t size, std::uint64_t align) {
    std::uint64_t pos = nf::round_up(m_cursor, align);
    for (;;) {
        const std::uint64_t k = (pos - nf::first_amap) / nf::amap_interval;
        enter_interval(k);
        const std::uint64_t start = nf::first_amap + k * nf::amap_interval;
        const std::uint64_t reserved = start + nf::page_size * (k % nf::pmap_every == 0 ? 2 : 1);
        if (pos < reserved) pos = reserved;
        // A block or page never crosses into the next interval, where the next AMap page sits.
        if (pos + size > start + nf::amap_interval) {
            pos = start + nf::amap_interval;
            continue;
        }
        break;
    }
    if (m_format == format::ansi && pos + size > 0xFFFFFFFFull) throw std::length_error("ANSI file larger than 4 GB");
    // Slots skipped on the way (padding, map pages) are written as zeros; map pages are filled in at the end.
    m_out->append_zeros(pos - m_cursor);
    m_cursor = pos + size;
    for (std::uint64_t slot = pos; slot < pos + size; slot += nf::block_align) {
        const std::uint64_t rel = slot - nf::first_amap;
        const std::uint64_t k = rel / nf::amap_interval;
        const std::uint64_t bit = (rel % nf::amap_interval) / nf::block_align;
        m_amap_bits[k][bit / 8] |= static_cast<std::uint8_t>(0x80u >> (bit % 8));
    }
    return pos;
}

std::uint64_t ndb_writer::put_block(std::span<const std::byte> data, bool internal) {
    if (m_finished) throw std::logic_error("writer already finished");
    const auto& s = *m_sizes;
    if (data.size() > s.max_data) throw std::length_error("block data too large");
    const std::uint64_t bid = (m_next_block_index++ << 2) | (internal ? 2u : 0u);
    if (m_format == format::ansi && bid > 0xFFFFFFFFull) throw std::length_error("ANSI block id overflow");
    const auto cb = static_cast<std::uint32_t>(data.size());
    const std::uint32_t size = static_cast<std::uint32_t>(nf::round_up(cb + s.block_trailer, nf::block_align));
    std::span<std::byte> buf(m_block_buf.data(), size);
    if (!data.empty()) std::memcpy(buf.data(), data.data(), data.size());
    std::memset(buf.data() + cb, 0, size - cb);
    if (!internal) {
        if (m_crypt == crypt::permute)
            pstcore::permute_encode(buf.first(cb));
        else if (m_crypt == crypt::cyclic)
            pstcore::cyclic_crypt(buf.first(cb), static_cast<std::uint32_t>(bid));
    }
    const std::uint64_t ib = allocate(size, nf::block_align);
    const std::uint32_t crc = pstcore::compute_crc(buf.first(cb));
    const std::size_t t = size - s.block_trailer;
    store_u16(buf, t, static_cast<std::uint16_t>(cb));
    store_u16(buf, t + 2, pstcore::compute_signature(bid, ib));
    if (m_format == format::unicode) {
        store_u32(buf, t + 4, crc);
        store_u64(buf, t + 8, bid);
    } else {
        store_u32(buf, t + 4, static_cast<std::uint32_t>(bid));
        store_u32(buf, t + 8, crc);
    }
    m_out->append(buf);
    m_layout.blocks.push_back({.bid = bid, .ib = ib, .cb = static_cast<std::uint16_t>(cb), .size = size});
    return bid;
}

data_stream ndb_writer::begin_data() {
    data_stream s;
    s.m_writer = this;
    return s;
}

data_ref ndb_writer::end_data(data_stream& stream) {
    if (stream.m_writer != this) throw std::logic_error("data stream of another writer");
    if (!stream.m_pending.empty() || stream.m_block_bids.empty())
        stream.m_block_bids.push_back(put_block(stream.m_pending, false));
    stream.m_pending.clear();
    stream.m_writer = nullptr;
    return build_data_tree(std::move(stream.m_block_bids), stream.m_size);
}

data_ref ndb_writer::write_data(std::span<const std::byte> data) {
    data_stream s = begin_data();
    s.append(data);
    return end_data(s);
}

data_ref ndb_writer::build_data_tree(std::vector<std::uint64_t> bids, std::uint64_t size) {
    const auto& s = *m_sizes;
    stream_blocks record;
    std::uint64_t root = 0;
    if (bids.size() == 1) {
        root = bids[0];
    } else {
        const std::uint64_t per_x = static_cast<std::uint64_t>(s.xblock_max) * s.max_data;
        auto write_x = [&](std::uint8_t level, std::span<const std::uint64_t> ids, std::uint64_t total) {
            if (total > 0xFFFFFFFFull) throw std::length_error("data stream too large");
            std::vector<std::byte> b(s.xblock_header + ids.size() * s.id);
            store_u8(b, 0, nf::btype_xblock);
            store_u8(b, 1, level);
            store_u16(b, 2, static_cast<std::uint16_t>(ids.size()));
            store_u32(b, 4, static_cast<std::uint32_t>(total));
            for (std::size_t i = 0; i < ids.size(); ++i) store_le(b, s.xblock_header + i * s.id, ids[i], s.id);
            return put_block(b, true);
        };
        if (bids.size() <= s.xblock_max) {
            root = write_x(1, bids, size);
            record.tree.push_back(root);
        } else {
            std::vector<std::uint64_t> xs;
            for (std::size_t i = 0; i < bids.size(); i += s.xblock_max) {
                const std::size_t n = std::min<std::size_t>(s.xblock_max, bids.size() - i);
                const std::uint64_t covered = std::min<std::uint64_t>(per_x, size - i / s.xblock_max * per_x);
                xs.push_back(write_x(1, std::span(bids).subspan(i, n), covered));
            }
            if (xs.size() > s.xblock_max) throw std::length_error("data stream too large");
            root = write_x(2, xs, size);
            record.tree.push_back(root);
            record.tree.insert(record.tree.end(), xs.begin(), xs.end());
        }
    }
    record.data = std::move(bids);
    m_streams[root] = std::move(record);
    return {.bid = root, .size = size};
}

void ndb_writer::take_stream(data_ref ref, node_place& place) {
    place.bid_data = ref.bid;
    auto it = m_streams.find(ref.bid);
    if (it == m_streams.end()) return;  // the same stream used twice: its blocks are listed with the first user
    place.data_blocks = std::move(it->second.data);
    place.tree_blocks = std::move(it->second.tree);
    m_streams.erase(it);
}

void ndb_writer::note_nid(std::uint32_t nid) {
    const std::uint32_t type = nid & 0x1F;
    const std::uint32_t index = nid >> 5;
    if (!m_rgnid_fixed[type] && index > m_rgnid[type]) m_rgnid[type] = index;
}

std::uint64_t ndb_writer::build_subnode_tree(const std::vector<subnode>& subnodes, node_place& place) {
    if (subnodes.empty()) return 0;
    const auto& s = *m_sizes;
    std::vector<const subnode*> order;
    order.reserve(subnodes.size());
    for (const auto& sn : subnodes) order.push_back(&sn);
    std::sort(order.begin(), order.end(), [](const subnode* a, const subnode* b) { return a->nid < b->nid; });
    for (std::size_t i = 1; i < order.size(); ++i)
        if (order[i]->nid == order[i - 1]->nid) throw std::invalid_argument("duplicate subnode id");

    struct entry {
        std::uint32_t nid;
        std::uint64_t data;
        std::uint64_t sub;
    };
    std::vector<entry> entries;
    entries.reserve(order.size());
    for (const subnode* sn : order) {
        note_nid(sn->nid);
        node_place child;
        child.nid = sn->nid;
        take_stream(sn->streamed ? *sn->streamed : write_data(sn->data), child);
        child.bid_sub = build_subnode_tree(sn->children, child);
        entries.push_back({sn->nid, child.bid_data, child.bid_sub});
        place.subnodes.push_back(std::move(child));
    }

    std::vector<std::pair<std::uint32_t, std::uint64_t>> leaves;  // first nid, SLBLOCK bid
    for (std::size_t i = 0; i < entries.size(); i += s.sl_max) {
        const std::size_t n = std::min<std::size_t>(s.sl_max, entries.size() - i);
        std::vector<std::byte> b(s.sl_header + n * s.sl_entry);
        store_u8(b, 0, nf::btype_slblock);
        store_u8(b, 1, 0);
        store_u16(b, 2, static_cast<std::uint16_t>(n));
        for (std::size_t j = 0; j < n; ++j) {
            const std::size_t at = s.sl_header + j * s.sl_entry;
            store_le(b, at, entries[i + j].nid, s.id);
            store_le(b, at + s.id, entries[i + j].data, s.id);
            store_le(b, at + 2 * s.id, entries[i + j].sub, s.id);
        }
        leaves.emplace_back(entries[i].nid, put_block(b, true));
    }
    if (leaves.size() == 1) {
        place.subnode_blocks.push_back(leaves[0].second);
        return leaves[0].second;
    }
    if (leaves.size() > s.si_max) throw std::length_error("too many subnodes");
    std::vector<std::byte> b(s.sl_header + leaves.size() * s.si_entry);
    store_u8(b, 0, nf::btype_slblock);
    store_u8(b, 1, 1);
    store_u16(b, 2, static_cast<std::uint16_t>(leaves.size()));
    for (std::size_t j = 0; j < leaves.size(); ++j) {
        const std::size_t at = s.sl_header + j * s.si_entry;
        store_le(b, at, leaves[j].first, s.id);
        store_le(b, at + s.id, leaves[j].second, s.id);
    }
    const std::uint64_t root = put_block(b, true);
    place.subnode_blocks.push_back(root);
    for (const auto& l : leaves) place.subnode_blocks.push_back(l.second);
    return root;
}

void ndb_writer::add_node(std::uint32_t nid, std::uint32_t parent_nid, std::span<const std::byte> data,
                          const std::vector<subnode>& subnodes) {
    add_written_node(nid, parent_nid, write_data(data), subnodes);
}

void ndb_writer::add_written_node(std::uint32_t nid, std::uint32_t parent_nid, data_ref data,
                                  const std::vector<subnode>& subnodes) {
    if (m_finished) throw std::logic_error("writer already finished");
    note_nid(nid);
    node_place place;
    place.nid = nid;
    place.parent_nid = parent_nid;
    take_stream(data, place);
    place.bid_sub = build_subnode_tree(subnodes, place);
    m_nbt.push_back({nid, parent_nid, place.bid_data, place.bid_sub});
    if (m_keep_nodes) m_layout.nodes.push_back(std::move(place));
}

void ndb_writer::set_next_nid_index(std::uint32_t nid_type, std::uint32_t last_index) {
    if (nid_type >= 32) throw std::out_of_range("nid type out of range");
    m_rgnid[nid_type] = last_index;
    m_rgnid_fixed[nid_type] = true;
}

}  // namespace pstwrite
