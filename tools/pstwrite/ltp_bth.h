#pragma once
// ltp_bth.h: writes a BTree-on-heap into a heap_builder: leaf items of sorted records, then index levels of
// (first key, HID) records until one item holds the root. Keys are compared as unsigned little-endian integers.

#include <cstdint>
#include <optional>
#include <vector>

#include "ltp_heap.h"

namespace pstwrite {

struct bth_record {
    std::uint64_t key = 0;  // the low cbKey bytes are stored
    bytes data;             // exactly cbEnt bytes
};

struct bth_options {
    std::uint8_t key_size = 4;
    std::uint8_t data_size = 4;
    // Records per heap item; 0 = as many as fit in ltp::max_heap_item. Tests lower it to force index levels.
    std::size_t max_per_item = 0;
    // When set, this already-allocated 8-byte item becomes the BTHHEADER (Outlook puts it first in the heap).
    std::optional<std::uint32_t> header_hid;
};

// Sorts the records by key and writes them. Returns the HID of the BTHHEADER. Duplicate keys throw
// std::invalid_argument. No records: the header's hidRoot is 0.
std::uint32_t write_bth(heap_builder& heap, std::vector<bth_record> records, const bth_options& options);

}  // namespace pstwrite
