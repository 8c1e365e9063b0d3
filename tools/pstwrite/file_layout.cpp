#include "pstwrite/file_layout.h"

#include <algorithm>
#include <stdexcept>

#include "ndb_bytes.h"
#include "ndb_format.h"

namespace pstwrite {

namespace {

namespace nf = ndb_format;

[[noreturn]] void malformed() {
    throw std::invalid_argument("not a well-formed PST file");
}

class scanner {
public:
    scanner(std::span<const std::byte> file, layout& out)
        : m_file(file), m_out(out), m_sizes(nf::sizes_of(out.fmt)), m_page_budget(file.size() / nf::page_size) {}

    std::uint64_t id(std::span<const std::byte> bytes, std::size_t offset) const {
        return load_le(bytes, offset, m_sizes.id);
    }
    std::span<const std::byte> slice(std::uint64_t offset, std::uint64_t length) const {
        if (offset > m_file.size() || length > m_file.size() - offset) malformed();
        return m_file.subspan(offset, length);
    }

    // Walks one B-tree from its root; levels must strictly fall and no more pages than the file holds are read.
    void walk(tree which, std::uint64_t bid, std::uint64_t ib, int expected_level, page_place* root) {
        if (m_page_budget-- == 0 || ib % nf::page_size != 0) malformed();
        const auto p = slice(ib, nf::page_size);
        const std::uint8_t ptype = which == tree::nbt ? nf::ptype_nbt : nf::ptype_bbt;
        if (load_le(p, m_sizes.page_data, 1) != ptype) malformed();
        const auto count = static_cast<std::uint8_t>(load_le(p, m_sizes.bt_meta, 1));
        const auto level = static_cast<std::uint8_t>(load_le(p, m_sizes.bt_meta + 3, 1));
        if ((expected_level >= 0 && level != expected_level) || level > 8) malformed();
        const std::uint32_t entry = level > 0            ? m_sizes.branch_entry
                                    : which == tree::nbt ? m_sizes.nbt_entry
                                                         : m_sizes.bbt_entry;
        if (count > m_sizes.bt_meta / entry) malformed();
        const page_place place{.which = which, .bid = bid, .ib = ib, .level = level, .entries = count};
        if (root) *root = place;
        m_out.pages.push_back(place);
        for (std::size_t i = 0; i < count; ++i) {
            const std::size_t at = i * entry;
            if (level > 0) {
                walk(which, id(p, at + m_sizes.id), id(p, at + 2 * m_sizes.id), level - 1, nullptr);
            } else if (which == tree::nbt) {
                node_place n;
                n.nid = static_cast<std::uint32_t>(id(p, at));
                n.bid_data = id(p, at + m_sizes.id);
                n.bid_sub = id(p, at + 2 * m_sizes.id);
                n.parent_nid = static_cast<std::uint32_t>(load_le(p, at + 3 * m_sizes.id, 4));
                m_out.nodes.push_back(std::move(n));
            } else {
                block_place b;
                b.bid = id(p, at);
                b.ib = id(p, at + m_sizes.id);
                b.cb = static_cast<std::uint16_t>(load_le(p, at + 2 * m_sizes.id, 2));
                b.size = static_cast<std::uint32_t>(nf::round_up(b.cb + m_sizes.block_trailer, nf::block_align));
                if (b.size > nf::max_block_size) malformed();
                m_out.blocks.push_back(b);
            }
        }
    }

    // Lists a node's data blocks and extended blocks, two levels at most.
    void data_tree(node_place& n) {
        const block_place* root = m_out.find_block(n.bid_data & ~std::uint64_t{1});
        if (!root) return;  // a node whose data is missing: leave its lists empty
        if ((root->bid & 2) == 0) {
            n.data_blocks.push_back(root->bid);
            return;
        }
        n.tree_blocks.push_back(root->bid);
        expand(*root, n, 2);
    }

    void expand(const block_place& x, node_place& n, int max_level) {
        const auto bytes = slice(x.ib, x.cb);
        if (bytes.size() < m_sizes.xblock_header || load_le(bytes, 0, 1) != nf::btype_xblock)
            return;  // a subnode block or something else: not a data tree
        const auto level = static_cast<int>(load_le(bytes, 1, 1));
        const std::size_t count = load_le(bytes, 2, 2);
        if (level < 1 || level > max_level || count > (bytes.size() - m_sizes.xblock_header) / m_sizes.id) malformed();
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint64_t child = id(bytes, m_sizes.xblock_header + i * m_sizes.id) & ~std::uint64_t{1};
            if (level == 1) {
                n.data_blocks.push_back(child);
            } else if (const block_place* b = m_out.find_block(child)) {
                n.tree_blocks.push_back(child);
                expand(*b, n, 1);
            }
        }
    }

    // Follows a node's subnode tree (SIBLOCK over SLBLOCKs), and each subnode's own tree, to `depth` levels.
    void subnode_tree(node_place& n, int depth) {
        if (n.bid_sub == 0 || depth == 0) return;
        const block_place* root = m_out.find_block(n.bid_sub & ~std::uint64_t{1});
        if (!root) return;
        n.subnode_blocks.push_back(root->bid);
        subnode_block(*root, n, depth, true);
    }

    void subnode_block(const block_place& b, node_place& n, int depth, bool may_branch) {
        if (m_block_budget-- == 0) malformed();
        const auto bytes = slice(b.ib, b.cb);
        if (bytes.size() < m_sizes.sl_header || load_le(bytes, 0, 1) != nf::btype_slblock) return;
        const auto level = load_le(bytes, 1, 1);
        const std::size_t count = load_le(bytes, 2, 2);
        const std::size_t entry = level == 0 ? m_sizes.sl_entry : m_sizes.si_entry;
        if ((level != 0 && !may_branch) || level > 1 || count > (bytes.size() - m_sizes.sl_header) / entry) malformed();
        for (std::size_t i = 0; i < count; ++i) {
            const std::size_t at = m_sizes.sl_header + i * entry;
            if (level == 1) {
                if (const block_place* leaf = m_out.find_block(id(bytes, at + m_sizes.id) & ~std::uint64_t{1})) {
                    n.subnode_blocks.push_back(leaf->bid);
                    subnode_block(*leaf, n, depth, false);
                }
                continue;
            }
            node_place child;
            child.nid = static_cast<std::uint32_t>(id(bytes, at));
            child.bid_data = id(bytes, at + m_sizes.id);
            child.bid_sub = id(bytes, at + 2 * m_sizes.id);
            data_tree(child);
            subnode_tree(child, depth - 1);
            n.subnodes.push_back(std::move(child));
        }
    }

private:
    std::uint64_t m_block_budget = 1u << 24;  // subnode blocks visited in all: a loop in the file ends here
    std::span<const std::byte> m_file;
    layout& m_out;
    const nf::sizes& m_sizes;
    std::uint64_t m_page_budget;
};

}  // namespace

layout scan_layout(std::span<const std::byte> file) {
    if (file.size() < nf::first_amap || load_le(file, 0, 4) != 0x4E444221u) malformed();
    layout out;
    out.fmt = load_le(file, 10, 2) >= 20 ? format::unicode : format::ansi;
    const auto& s = nf::sizes_of(out.fmt);
    const auto c = load_le(file, s.off_sentinel + 1, 1);
    out.enc = c == 1 ? crypt::permute : c == 2 ? crypt::cyclic : crypt::none;
    out.file_size = file.size();
    out.crc_partial_offset = nf::off_crc_partial;
    out.crc_full_offset = s.off_crc_full;
    out.nbt_root_bref_offset = nf::root_nbt(s);
    out.bbt_root_bref_offset = nf::root_bbt(s);
    out.file_eof_offset = nf::root_file_eof(s);
    for (std::uint64_t ib = nf::first_amap, k = 0; ib < file.size(); ib += nf::amap_interval, ++k) {
        out.amap_pages.push_back(ib);
        if (k % nf::pmap_every == 0) out.pmap_pages.push_back(ib + nf::page_size);
    }

    scanner sc(file, out);
    sc.walk(tree::bbt, load_le(file, nf::root_bbt(s), s.id), load_le(file, nf::root_bbt(s) + s.id, s.id), -1,
            &out.bbt_root);
    sc.walk(tree::nbt, load_le(file, nf::root_nbt(s), s.id), load_le(file, nf::root_nbt(s) + s.id, s.id), -1,
            &out.nbt_root);
    std::sort(out.blocks.begin(), out.blocks.end(),
              [](const block_place& a, const block_place& b) { return a.bid < b.bid; });
    std::sort(out.nodes.begin(), out.nodes.end(),
              [](const node_place& a, const node_place& b) { return a.nid < b.nid; });
    for (auto& n : out.nodes) {
        sc.data_tree(n);
        sc.subnode_tree(n, 16);
    }
    std::sort(out.pages.begin(), out.pages.end(), [](const page_place& a, const page_place& b) { return a.ib < b.ib; });
    return out;
}

}  // namespace pstwrite
