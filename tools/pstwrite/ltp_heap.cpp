#include "ltp_heap.h"

#include <stdexcept>

namespace pstwrite {

std::size_t heap_page_header_size(std::size_t index) {
    if (index == 0) return ltp::heap_first_header;
    if (index % 128 == 8) return ltp::heap_bitmap_header;
    return ltp::heap_page_header;
}

heap_builder::heap_builder(format f, std::uint8_t client_signature) : m_format(f), m_client(client_signature) {
    open_page();
}

void heap_builder::open_page() {
    page p;
    p.header = heap_page_header_size(m_pages.size());
    m_pages.push_back(std::move(p));
}

bool heap_builder::fits(const page& p, std::size_t size) const {
    if (p.items.size() + 1 > ltp::max_allocations_per_page) return false;
    const std::size_t end = p.header + p.used + size;
    const std::size_t map = (end + 1) / 2 * 2 + 4 + 2 * (p.items.size() + 2);
    return map <= max_block_data(m_format);
}

std::uint32_t heap_builder::allocate(std::span<const std::byte> item) {
    if (item.size() > ltp::max_heap_item) throw std::invalid_argument("heap item too large");
    if (!fits(m_pages.back(), item.size())) open_page();
    if (m_pages.size() > 0xFFFF) throw std::length_error("heap has too many pages");
    page& p = m_pages.back();
    p.items.emplace_back(item.begin(), item.end());
    p.used += item.size();
    return ltp::make_hid(static_cast<std::uint32_t>(m_pages.size() - 1), static_cast<std::uint32_t>(p.items.size()));
}

void heap_builder::replace(std::uint32_t hid, std::span<const std::byte> item) {
    const std::size_t page_index = hid >> 16;
    const std::size_t item_index = (hid >> 5) & 0x7FF;
    if (page_index >= m_pages.size() || item_index == 0 || item_index > m_pages[page_index].items.size())
        throw std::invalid_argument("no such heap item");
    bytes& target = m_pages[page_index].items[item_index - 1];
    if (target.size() != item.size()) throw std::invalid_argument("heap item size differs");
    target.assign(item.begin(), item.end());
}

void heap_builder::next_page() {
    open_page();
}

bytes heap_builder::build() const {
    bytes out;
    const std::size_t block = max_block_data(m_format);
    for (std::size_t index = 0; index < m_pages.size(); ++index) {
        const page& p = m_pages[index];
        const std::size_t start = out.size();
        out.resize(start + p.header);  // header filled in below, once ibHnpm is known
        std::vector<std::uint16_t> offsets{static_cast<std::uint16_t>(p.header)};
        for (const auto& item : p.items) {
            put_bytes(out, item);
            offsets.push_back(static_cast<std::uint16_t>(out.size() - start));
        }
        if ((out.size() - start) % 2 != 0) out.push_back(std::byte{0});
        std::uint16_t ib_hnpm = static_cast<std::uint16_t>(out.size() - start);
        std::uint16_t count = static_cast<std::uint16_t>(p.items.size());
        put_u16(out, count);
        put_u16(out, 0);  // cFree
        for (auto o : offsets) put_u16(out, o);
        if (index == 0 && m_fault == heap_fault::page_map_past_end) ib_hnpm = static_cast<std::uint16_t>(block + 2);
        if (index == 0 && m_fault == heap_fault::page_map_bad_count)
            set_u16(out, start + ib_hnpm, static_cast<std::uint16_t>(ltp::max_allocations_per_page));
        std::span<std::byte> page_bytes(out.data() + start, out.size() - start);
        set_u16(page_bytes, 0, ib_hnpm);
        if (index == 0) {
            page_bytes[2] = std::byte{m_fault == heap_fault::bad_signature ? std::uint8_t{0xED} : ltp::heap_signature};
            page_bytes[3] = std::byte{m_client};
            set_u32(page_bytes, 4, m_user_root);
            // rgbFillLevel stays 0: readers ignore it
        }
        if (index + 1 < m_pages.size()) out.resize(start + block);
    }
    return out;
}

}  // namespace pstwrite
