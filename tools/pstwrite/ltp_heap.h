#pragma once
// ltp_heap.h: builds a heap-on-node. Items are appended to the last page; a full page opens the next one. Each
// page becomes one data block: build() pads every page but the last to exactly max_block_data(format), so the
// node writer's block i is heap page i. Not thread-safe; one builder makes one heap.

#include <cstdint>
#include <span>
#include <vector>

#include "ltp_format.h"
#include "ndb_writer.h"

namespace pstwrite {

// Ways to damage a heap on purpose (for the reader's failure tests).
enum class heap_fault {
    none,
    page_map_past_end,   // ibHnpm of page 0 points past the end of the block
    page_map_bad_count,  // cAlloc of page 0 claims more allocations than the page holds
    bad_signature,       // bSig is not 0xEC
};

class heap_builder {
public:
    heap_builder(format f, std::uint8_t client_signature);

    // Appends one item and returns its HID. An item longer than ltp::max_heap_item throws std::invalid_argument;
    // a zero-length item is allowed (real heaps have them).
    std::uint32_t allocate(std::span<const std::byte> item);
    // Overwrites an item already allocated with bytes of the same length (for headers filled in last).
    void replace(std::uint32_t hid, std::span<const std::byte> item);
    // Starts a new page even though the current one has room (tests use it to make many-page heaps).
    void next_page();

    void set_user_root(std::uint32_t hid) { m_user_root = hid; }
    void set_fault(heap_fault f) { m_fault = f; }
    std::size_t page_count() const { return m_pages.size(); }

    // The heap's node data: all pages, every page but the last padded to max_block_data.
    bytes build() const;

private:
    struct page {
        std::size_t header = 0;
        std::vector<bytes> items;
        std::size_t used = 0;  // item bytes
    };
    bool fits(const page& p, std::size_t size) const;
    void open_page();

    format m_format;
    std::uint8_t m_client;
    std::uint32_t m_user_root = 0;
    heap_fault m_fault = heap_fault::none;
    std::vector<page> m_pages;
};

// The header size of heap page `index`: 12 on page 0, 66 on pages 8, 136, 264 …, else 2.
std::size_t heap_page_header_size(std::size_t index);

}  // namespace pstwrite
