#include "pstcore/ndb/database.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

#include "pstcore/ndb/byte_reader.h"
#include "pstcore/ndb/crypt.h"
#include "pstcore/ndb/exceptions.h"
#include "pstcore/ndb/ndb_format.h"
#include "pstcore/ndb/source.h"

namespace pstcore {

namespace {

using detail::format_layout;

// A cached page costs about 1 KB of memory, so each tree's cache stays near 2 MB however large the file. A walk in
// the order the store lists its items finds nearly every page it needs among the ones used last.
constexpr std::size_t k_cached_pages_per_tree = 2048;

// T is the width of block ids and offsets on disk: 32 bits in ANSI files, 64 bits in Unicode files.
template <typename T>
class database_impl final : public db_context {
    static constexpr const format_layout& L =
        std::is_same_v<T, std::uint32_t> ? detail::k_ansi_layout : detail::k_unicode_layout;

public:
    explicit database_impl(std::shared_ptr<source> src) : m_source(std::move(src)), m_header(L.header->size) {
        m_source->read_at(0, m_header);
        const byte_reader header(m_header);
        m_version = header.u16(detail::k_header_version);
        const bool unicode_version = m_version >= detail::k_first_unicode_version;
        if (unicode_version != L.wide) throw invalid_format();

        const auto crc_area = [&](std::size_t length) { return header.slice(detail::k_header_crc_start, length); };
        const std::uint32_t partial = compute_crc(crc_area(detail::k_header_crc_partial_length));
        if (partial != header.u32(detail::k_header_crc_partial))
            throw crc_fail("header dwCRCPartial failure", 0, 0, partial, header.u32(detail::k_header_crc_partial));
        if (L.header->has_full_crc) {
            const std::uint32_t full = compute_crc(crc_area(detail::k_header_crc_full_length));
            if (full != header.u32(detail::k_header_crc_full))
                throw crc_fail("header dwCRCFull failure", 0, 0, full, header.u32(detail::k_header_crc_full));
        }

        m_eof = header.id(L.header->file_eof, L.wide);
        m_nbt_root_info = {header.id(L.header->nbt_root, L.wide), header.id(L.header->nbt_root + L.id_size, L.wide)};
        m_bbt_root_info = {header.id(L.header->bbt_root, L.wide), header.id(L.header->bbt_root + L.id_size, L.wide)};
        switch (header.u8(L.header->crypt_method)) {
            case 1:
                m_crypt = crypt_method::permute;
                break;
            case 2:
                m_crypt = crypt_method::cyclic;
                break;
            default:
                m_crypt = crypt_method::none;
                break;
        }
    }

    std::uint16_t header_version() const override { return m_version; }
    crypt_method get_crypt_method() const override { return m_crypt; }
    std::uint64_t get_file_eof() const override { return m_eof; }

    node lookup_node(node_id nid) override { return node(shared_from_this(), lookup_node_info(nid)); }
    node_info lookup_node_info(node_id nid) override { return nbt_root()->lookup(nid); }
    block_info lookup_block_info(block_id bid) override {
        if (bid == 0) return {};
        return bbt_root()->lookup(bid & ~static_cast<block_id>(1));
    }

    std::shared_ptr<bbt_page> read_bbt_root() override { return {shared_from_this(), bbt_root().get()}; }
    std::shared_ptr<nbt_page> read_nbt_root() override { return {shared_from_this(), nbt_root().get()}; }

    std::shared_ptr<bbt_page> read_bbt_page(const page_info& pi) override {
        return load_bbt_page(pi, shared_from_this());
    }
    std::shared_ptr<nbt_page> read_nbt_page(const page_info& pi) override {
        return load_nbt_page(pi, shared_from_this());
    }
    std::shared_ptr<nbt_leaf_page> read_nbt_leaf_page(const page_info& pi) override {
        return std::dynamic_pointer_cast<nbt_leaf_page>(
            build_page<node_id, node_info>(pi, shared_from_this(), detail::k_ptype_nbt, page_kind::leaf));
    }
    std::shared_ptr<bbt_leaf_page> read_bbt_leaf_page(const page_info& pi) override {
        return std::dynamic_pointer_cast<bbt_leaf_page>(
            build_page<block_id, block_info>(pi, shared_from_this(), detail::k_ptype_bbt, page_kind::leaf));
    }
    std::shared_ptr<nbt_nonleaf_page> read_nbt_nonleaf_page(const page_info& pi) override {
        return std::dynamic_pointer_cast<nbt_nonleaf_page>(
            build_page<node_id, node_info>(pi, shared_from_this(), detail::k_ptype_nbt, page_kind::nonleaf));
    }
    std::shared_ptr<bbt_nonleaf_page> read_bbt_nonleaf_page(const page_info& pi) override {
        return std::dynamic_pointer_cast<bbt_nonleaf_page>(
            build_page<block_id, block_info>(pi, shared_from_this(), detail::k_ptype_bbt, page_kind::nonleaf));
    }
    std::shared_ptr<nbt_page> load_nbt_page(const page_info& pi, std::shared_ptr<db_context> owner) override {
        return build_page<node_id, node_info>(pi, std::move(owner), detail::k_ptype_nbt, page_kind::any);
    }
    std::shared_ptr<bbt_page> load_bbt_page(const page_info& pi, std::shared_ptr<db_context> owner) override {
        return build_page<block_id, block_info>(pi, std::move(owner), detail::k_ptype_bbt, page_kind::any);
    }

    void set_page_cache_limit(std::size_t pages) override {
        m_nbt_cache.reset(pages);
        m_bbt_cache.reset(pages);
    }
    std::size_t cached_page_count() const override { return m_nbt_cache.size() + m_bbt_cache.size(); }

    std::shared_ptr<block> read_block(const block_info& bi) override {
        try {
            return read_data_block(bi);
        } catch (const unexpected_block&) {
            return read_subnode_block(bi);
        }
    }

    std::shared_ptr<data_block> read_data_block(const block_info& bi) override {
        if (!is_internal(bi.id)) return read_external_block(bi);
        const auto bytes = read_block_data(bi);
        if (bytes.empty() || std::to_integer<std::uint8_t>(bytes[0]) != detail::k_btype_extended)
            throw unexpected_block("extended block expected");
        return build_extended_block(bi, bytes);
    }

    std::shared_ptr<extended_block> read_extended_block(const block_info& bi) override {
        if (!is_internal(bi.id)) throw unexpected_block("internal bid expected");
        return build_extended_block(bi, read_block_data(bi));
    }

    std::shared_ptr<external_block> read_external_block(const block_info& bi) override {
        if (bi.id == 0)
            return std::make_shared<external_block>(shared_from_this(), bi, L.max_block_data, std::vector<std::byte>{});
        if (is_internal(bi.id)) throw unexpected_block("External BID expected");
        const auto bytes = read_block_data(bi);
        // Not cleared first: every byte is written by the decoding.
        auto data = std::make_unique_for_overwrite<std::byte[]>(bytes.size());
        decode(bi, bytes, data.get(), 0);
        return std::make_shared<external_block>(shared_from_this(), bi, L.max_block_data, std::move(data),
                                                bytes.size());
    }

    std::size_t read_external_range(block_id bid, std::uint64_t offset, std::span<std::byte> dest) override {
        const block_info bi = lookup_block_info(bid);
        if (bi.id == 0) return 0;
        if (is_internal(bi.id)) throw unexpected_block("External BID expected");
        const auto bytes = read_block_data(bi);
        if (offset >= bytes.size()) return 0;
        const auto part =
            bytes.subspan(static_cast<std::size_t>(offset), std::min<std::size_t>(dest.size(), bytes.size() - offset));
        decode(bi, part, dest.data(), static_cast<std::size_t>(offset));
        return part.size();
    }

    std::shared_ptr<subnode_block> read_subnode_block(const block_info& bi) override {
        if (bi.id == 0)
            return std::make_shared<subnode_leaf_block>(shared_from_this(), bi,
                                                        std::vector<std::pair<node_id, subnode_info>>{});
        const auto bytes = read_block_data(bi);
        const byte_reader data(bytes);
        const unsigned level = data.u8(1);
        const std::size_t count = data.u16(2);
        if (level > detail::k_max_btree_level) throw database_corrupt("btree too deep");
        const std::size_t entry_size = level == 0 ? L.subnode_leaf_entry_size : L.subnode_nonleaf_entry_size;
        if (bytes.size() < L.subnode_header_size || count > (bytes.size() - L.subnode_header_size) / entry_size)
            throw database_corrupt("subnode block entry count exceeds block");

        std::size_t at = L.subnode_header_size;
        if (level == 0) {
            std::vector<std::pair<node_id, subnode_info>> entries;
            entries.reserve(count);
            for (std::size_t i = 0; i < count; ++i, at += entry_size) {
                const auto id = static_cast<node_id>(data.id(at, L.wide));
                entries.emplace_back(
                    id, subnode_info{id, data.id(at + L.id_size, L.wide), data.id(at + 2 * L.id_size, L.wide)});
            }
            return std::make_shared<subnode_leaf_block>(shared_from_this(), bi, std::move(entries));
        }
        std::vector<std::pair<node_id, block_id>> entries;
        entries.reserve(count);
        for (std::size_t i = 0; i < count; ++i, at += entry_size)
            entries.emplace_back(static_cast<node_id>(data.id(at, L.wide)), data.id(at + L.id_size, L.wide));
        return std::make_shared<subnode_nonleaf_block>(shared_from_this(), bi, level, std::move(entries));
    }

    std::shared_ptr<subnode_leaf_block> read_subnode_leaf_block(const block_info& bi) override {
        auto leaf = std::dynamic_pointer_cast<subnode_leaf_block>(read_subnode_block(bi));
        if (!leaf) throw unexpected_block("psub->level != 0");
        return leaf;
    }

    std::shared_ptr<subnode_nonleaf_block> read_subnode_nonleaf_block(const block_info& bi) override {
        auto inner = std::dynamic_pointer_cast<subnode_nonleaf_block>(read_subnode_block(bi));
        if (!inner) throw unexpected_block("psub->level == 1");
        return inner;
    }

private:
    enum class page_kind { any, leaf, nonleaf };

    static bool is_internal(block_id id) { return (id & 2) != 0; }

    const std::shared_ptr<nbt_page>& nbt_root() {
        if (!m_nbt_root) m_nbt_root = load_nbt_page(m_nbt_root_info, nullptr);
        return m_nbt_root;
    }
    const std::shared_ptr<bbt_page>& bbt_root() {
        if (!m_bbt_root) m_bbt_root = load_bbt_page(m_bbt_root_info, nullptr);
        return m_bbt_root;
    }

    template <typename K, typename V>
    page_cache<K, V>& cache_of() {
        if constexpr (std::is_same_v<V, node_info>)
            return m_nbt_cache;
        else
            return m_bbt_cache;
    }

    // The page's 512 bytes, checked: location, id, type repeat and signature. Valid until the next read.
    std::span<const std::byte> read_page_data(const page_info& pi) {
        if (pi.address > m_eof || detail::k_page_size > m_eof - pi.address)
            throw unexpected_page("nonsensical page location; past eof");
        if ((pi.address & (detail::k_page_size - 1)) != 0)
            throw unexpected_page("nonsensical page location; not sector aligned");
        const auto bytes = m_source->view(pi.address, detail::k_page_size);
        const byte_reader page(bytes);
        if (page.id(L.page_id, L.wide) != pi.id) throw unexpected_page("wrong page id");
        if (page.u8(L.page_ptype) != page.u8(L.page_ptype + 1)) throw database_corrupt("ptype != ptype repeat?");
        const std::uint16_t computed = compute_signature(pi.id, pi.address);
        const std::uint16_t stored = page.u16(L.page_sig);
        if (computed != stored) throw sig_mismatch("page sig mismatch", pi.address, pi.id, computed, stored);
        return bytes;
    }

    template <typename K, typename V>
    std::shared_ptr<bt_page<K, V>> build_page(const page_info& pi, std::shared_ptr<db_context> owner,
                                              std::uint8_t ptype, page_kind kind) {
        const auto bytes = read_page_data(pi);
        const byte_reader page(bytes);
        const unsigned level = page.u8(L.page_cent + 3);
        const bool wrong_kind = (kind == page_kind::leaf && level != 0) || (kind == page_kind::nonleaf && level == 0);
        if (page.u8(L.page_ptype) != ptype || wrong_kind)
            throw unexpected_page(ptype == detail::k_ptype_bbt ? "page_type != page_type_bbt"
                                                               : "page_type != page_type_nbt");
        if (level > detail::k_max_btree_level) throw database_corrupt("btree too deep");

        const std::size_t count = page.u8(L.page_cent);
        const std::size_t entry_size = level != 0                     ? L.nonleaf_entry_size
                                       : ptype == detail::k_ptype_nbt ? L.nbt_leaf_entry_size
                                                                      : L.bbt_leaf_entry_size;
        if (count > L.page_entries_room / entry_size) throw database_corrupt("page entry count exceeds page");

        if (level != 0) {
            std::vector<std::pair<K, page_info>> entries;
            entries.reserve(count);
            for (std::size_t i = 0, at = 0; i < count; ++i, at += entry_size)
                entries.emplace_back(static_cast<K>(page.id(at, L.wide)),
                                     page_info{page.id(at + L.id_size, L.wide), page.id(at + 2 * L.id_size, L.wide)});
            return std::make_shared<bt_nonleaf_page<K, V>>(this, std::move(owner), pi, level, std::move(entries),
                                                           &cache_of<K, V>());
        }
        std::vector<std::pair<K, V>> entries;
        entries.reserve(count);
        for (std::size_t i = 0, at = 0; i < count; ++i, at += entry_size) {
            if constexpr (std::is_same_v<V, node_info>) {
                const auto id = static_cast<node_id>(page.id(at, L.wide));
                entries.emplace_back(id, node_info{id, page.id(at + L.id_size, L.wide),
                                                   page.id(at + 2 * L.id_size, L.wide), page.u32(at + 3 * L.id_size)});
            } else {
                const block_id id = page.id(at, L.wide);
                entries.emplace_back(id, block_info{id, page.id(at + L.id_size, L.wide), page.u16(at + 2 * L.id_size),
                                                    page.u16(at + 2 * L.id_size + 2)});
            }
        }
        return std::make_shared<bt_leaf_page<K, V>>(this, std::move(owner), pi, std::move(entries), &cache_of<K, V>());
    }

    // The block's data bytes as stored (without padding and trailer), checked: size, location, id, size again,
    // signature. Valid until the next read.
    std::span<const std::byte> read_block_data(const block_info& bi) {
        const std::size_t rounded = detail::rounded_block_size(bi.size, L);
        if (rounded > detail::k_max_block_size) throw unexpected_block("nonsensical block size");
        if (bi.address > m_eof || rounded > m_eof - bi.address)
            throw unexpected_block("nonsensical block location; past eof");
        const auto bytes = m_source->view(bi.address, rounded);
        const byte_reader trailer(bytes.last(L.block_trailer_size));
        const std::size_t base = L.block_trailer_size;
        if (trailer.id(base - L.trailer_id, L.wide) != bi.id) throw unexpected_block("wrong block id");
        if (trailer.u16(base - L.trailer_cb) != bi.size) throw unexpected_block("wrong block size");
        const std::uint16_t computed = compute_signature(bi.id, bi.address);
        const std::uint16_t stored = trailer.u16(base - L.trailer_sig);
        if (computed != stored) throw sig_mismatch("block sig mismatch", bi.address, bi.id, computed, stored);
        return bytes.first(bi.size);
    }

    // Decodes the stored bytes of an external block into `to`; `position` is where they start in the block.
    void decode(const block_info& bi, std::span<const std::byte> from, std::byte* to, std::size_t position) const {
        switch (m_crypt) {
            case crypt_method::permute:
                permute_decode(from, to);
                break;
            case crypt_method::cyclic:
                cyclic_crypt(from, to, static_cast<std::uint32_t>(bi.id), position);
                break;
            case crypt_method::none:
                if (!from.empty()) std::memcpy(to, from.data(), from.size());
                break;
        }
    }

    std::shared_ptr<extended_block> build_extended_block(const block_info& bi, std::span<const std::byte> bytes) {
        const byte_reader data(bytes);
        const unsigned level = data.u8(1) == 1 ? 1 : 2;
        const std::size_t count = data.u16(2);
        const std::uint64_t total = data.u32(4);
        constexpr std::size_t header = 8;
        if (count > (bytes.size() - header) / L.id_size)
            throw database_corrupt("extended block entry count exceeds block");

        const std::uint64_t child_size =
            level == 1 ? L.max_block_data : static_cast<std::uint64_t>(L.max_block_data) * L.extended_children;
        const std::size_t child_pages = level == 1 ? 1 : L.extended_children;
        // Every child but the last is full, so the total fixes the number of children.
        if ((total + child_size - 1) / child_size != count)
            throw database_corrupt(level == 1 ? "extended block page count mismatch" : "extended block size mismatch");

        std::vector<block_id> children;
        children.reserve(count);
        for (std::size_t i = 0; i < count; ++i) children.push_back(data.id(header + i * L.id_size, L.wide));
        return std::make_shared<extended_block>(shared_from_this(), bi, level, total, child_size, child_pages,
                                                std::move(children));
    }

    std::shared_ptr<source> m_source;
    std::vector<std::byte> m_header;
    std::uint16_t m_version = 0;
    crypt_method m_crypt = crypt_method::none;
    std::uint64_t m_eof = 0;
    page_info m_nbt_root_info;
    page_info m_bbt_root_info;
    // The roots and the cached pages point back at this database without owning it (see page.h).
    page_cache<node_id, node_info> m_nbt_cache{k_cached_pages_per_tree};
    page_cache<block_id, block_info> m_bbt_cache{k_cached_pages_per_tree};
    std::shared_ptr<nbt_page> m_nbt_root;
    std::shared_ptr<bbt_page> m_bbt_root;
};

}  // namespace

std::size_t db_context::read_external_range(block_id bid, std::uint64_t offset, std::span<std::byte> dest) {
    return read_external_block(bid)->read_raw(dest.data(), dest.size(), offset);
}

std::shared_ptr<db_context> open_database(std::shared_ptr<source> bytes) {
    try {
        return std::make_shared<database_impl<std::uint32_t>>(bytes);
    } catch (const invalid_format&) {
        // Not an ANSI file; the Unicode attempt below reports its own errors.
    }
    return std::make_shared<database_impl<std::uint64_t>>(std::move(bytes));
}

std::shared_ptr<db_context> open_database(const std::string& path) {
    return open_database(std::shared_ptr<source>(open_file_source(path)));
}

std::shared_ptr<db_context> open_database(std::vector<std::byte> bytes) {
    return open_database(std::shared_ptr<source>(make_memory_source(std::move(bytes))));
}

}  // namespace pstcore
