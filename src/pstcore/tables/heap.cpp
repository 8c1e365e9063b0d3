#include "pstcore/tables/heap.h"

#include <algorithm>
#include <array>
#include <stdexcept>

#include "pstcore/ndb/byte_reader.h"
#include "pstcore/ndb/exceptions.h"

namespace pstcore {

namespace {

// The item's bytes within its page, found through the page's map with every field checked.
std::span<const std::byte> locate_item(std::span<const std::byte> page, heap_id id) {
    const byte_reader reader(page);
    const std::size_t map_offset = reader.u16(detail::k_heap_page_map_offset);
    if (map_offset > page.size()) throw std::length_error("page_map_offset > node size");
    const byte_reader map(page.subspan(map_offset));
    const std::size_t count = map.u16(detail::k_page_map_alloc_count);
    // A map that claims more offsets than the page holds is damaged as a whole, whichever item is asked for.
    if (!map.fits(detail::k_page_map_offsets, 2 * (count + 1))) throw database_corrupt("heap page map past page end");
    const std::size_t index = heap_index_of(id);
    if (index == 0 || index > count) throw std::length_error("index > num_allocs");
    const std::size_t at = detail::k_page_map_offsets + 2 * (index - 1);
    const std::size_t start = map.u16(at);
    const std::size_t end = map.u16(at + 2);
    if (start > end || end > page.size()) throw database_corrupt("heap item past page end");
    return page.subspan(start, end - start);
}

}  // namespace

heap_impl::heap_impl(const node& n, std::optional<std::uint8_t> client_sig) : m_node(n) {
    // The header is read whole, so that a stream too short for it fails here and not at a later use.
    const auto header = m_node.read<std::array<std::byte, detail::k_heap_header_size>>(std::uint64_t{0});
    const auto signature = std::to_integer<std::uint8_t>(header[detail::k_heap_signature]);
    if (signature != detail::k_heap_signature_value)
        throw sig_mismatch("invalid heap_sig", 0, m_node.get_id(), signature, detail::k_heap_signature_value);
    if (client_sig) {
        const auto found = get_client_signature();
        if (found != *client_sig) throw sig_mismatch("invalid client_sig", 0, m_node.get_id(), found, *client_sig);
    }
}

heap_id heap_impl::get_root_id() const {
    return m_node.read<std::uint32_t>(std::uint64_t{detail::k_heap_user_root});
}

std::uint8_t heap_impl::get_client_signature() const {
    return m_node.read<std::uint8_t>(std::uint64_t{detail::k_heap_client_signature});
}

const external_block& heap_impl::page(std::size_t index) const {
    if (index < m_pages.size() && m_pages[index]) return *m_pages[index];
    auto loaded = m_node.get_page(index);
    if (index >= m_pages.size()) m_pages.resize(index + 1);
    m_pages[index] = std::move(loaded);
    return *m_pages[index];
}

std::span<const std::byte> heap_impl::item(heap_id id) const {
    if (id == 0) return {};
    return locate_item(page(heap_page_of(id)).data(), id);
}

std::size_t heap_impl::size(heap_id id) const {
    return item(id).size();
}

std::size_t heap_impl::read(std::span<std::byte> buffer, heap_id id, std::size_t offset) const {
    const auto bytes = item(id);
    const std::size_t n = bytes.size();
    if (buffer.size() > n) throw std::length_error("buffer.size() > size()");
    if (offset > n) throw std::length_error("offset > size()");
    if (buffer.size() > n - offset) throw std::length_error("size + offset > size()");
    if (n == 0 || buffer.empty()) return 0;
    std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(offset), buffer.size(), buffer.begin());
    return buffer.size();
}

std::vector<std::byte> heap_impl::read(heap_id id) const {
    const auto bytes = item(id);
    return {bytes.begin(), bytes.end()};
}

std::uint64_t heap_impl::item_budget() const {
    // Every item costs at least one two-byte entry in its page's map.
    return m_node.size() / 2 + 1;
}

}  // namespace pstcore
