#pragma once
// tables_format.h: on-disk layout of the list and table layer — heap headers and page maps, B-tree-on-heap
// headers, property-bag records and table headers. Offsets are from the start of the page or heap item.

#include <cstddef>
#include <cstdint>

namespace pstcore {

// A heap id: bits 0-4 its type, bits 5-15 the 1-based item index within the page, bits 16-31 the page.
using heap_id = std::uint32_t;
// A heap id or a subnode id, told apart by the low five bits (zero for a heap id).
using heap_or_node_id = std::uint32_t;
using prop_id = std::uint16_t;
using prop_type = std::uint16_t;
using row_id = std::uint32_t;

constexpr bool is_heap_id(heap_or_node_id id) {
    return (id & 0x1F) == 0;
}
constexpr std::uint32_t heap_page_of(heap_id id) {
    return id >> 16;
}
constexpr std::uint32_t heap_index_of(heap_id id) {
    return (id >> 5) & 0x7FF;
}

namespace detail {

// Heap header, at the start of page 0.
constexpr std::size_t k_heap_header_size = 12;
constexpr std::size_t k_heap_page_map_offset = 0;  // u16, also the first field of every later page
constexpr std::size_t k_heap_signature = 2;
constexpr std::size_t k_heap_client_signature = 3;
constexpr std::size_t k_heap_user_root = 4;
constexpr std::uint8_t k_heap_signature_value = 0xEC;

// Page map, at the page's map offset.
constexpr std::size_t k_page_map_alloc_count = 0;
constexpr std::size_t k_page_map_offsets = 4;  // cAlloc + 1 u16 start offsets

// Client signatures.
constexpr std::uint8_t k_client_bth = 0xB5;
constexpr std::uint8_t k_client_property_bag = 0xBC;
constexpr std::uint8_t k_client_table = 0x7C;

// B-tree-on-heap header.
constexpr std::size_t k_bth_header_size = 8;
constexpr std::size_t k_bth_type = 0;
constexpr std::size_t k_bth_key_size = 1;
constexpr std::size_t k_bth_entry_size = 2;
constexpr std::size_t k_bth_index_levels = 3;
constexpr std::size_t k_bth_root = 4;
constexpr std::size_t k_bth_child_id_size = 4;

// Table header.
constexpr std::size_t k_table_type = 0;
constexpr std::size_t k_table_column_count = 1;
constexpr std::size_t k_table_offsets = 2;  // rgib[0..3], u16 each
constexpr std::size_t k_table_row_index = 10;
constexpr std::size_t k_table_rows = 14;
constexpr std::size_t k_table_columns = 22;
constexpr std::size_t k_table_column_size = 8;
constexpr std::size_t k_column_tag = 0;
constexpr std::size_t k_column_offset = 4;
constexpr std::size_t k_column_width = 6;
constexpr std::size_t k_column_bit = 7;
constexpr std::size_t k_row_id_size = 4;

// The gust table node: never a readable table.
constexpr std::uint32_t k_gust_table_node = 0x730;

// Multi-valued properties of variable size: a count, then that many u32 start offsets.
constexpr std::size_t k_mv_count_size = 4;
constexpr std::size_t k_mv_offset_size = 4;

}  // namespace detail

// Property types this layer tells apart.
namespace prop_types {
constexpr prop_type unspecified = 0x0000;
constexpr prop_type int16 = 0x0002;
constexpr prop_type int32 = 0x0003;
constexpr prop_type float32 = 0x0004;
constexpr prop_type float64 = 0x0005;
constexpr prop_type currency = 0x0006;
constexpr prop_type app_time = 0x0007;
constexpr prop_type error = 0x000A;
constexpr prop_type boolean = 0x000B;
constexpr prop_type object = 0x000D;
constexpr prop_type int64 = 0x0014;
constexpr prop_type string8 = 0x001E;
constexpr prop_type unicode = 0x001F;
constexpr prop_type systime = 0x0040;
constexpr prop_type clsid = 0x0048;
constexpr prop_type binary = 0x0102;
constexpr prop_type multi_flag = 0x1000;
constexpr prop_type multi_string8 = 0x101E;
constexpr prop_type multi_unicode = 0x101F;
}  // namespace prop_types

// Values of 1, 2 or 4 bytes that a property bag keeps in the record itself.
constexpr bool is_inline_type(prop_type type) {
    switch (type) {
        case prop_types::int16:
        case prop_types::int32:
        case prop_types::float32:
        case prop_types::error:
        case prop_types::boolean:
            return true;
        default:
            return false;
    }
}

// Values of exactly 8 bytes.
constexpr bool is_eight_byte_type(prop_type type) {
    switch (type) {
        case prop_types::float64:
        case prop_types::currency:
        case prop_types::app_time:
        case prop_types::int64:
        case prop_types::systime:
            return true;
        default:
            return false;
    }
}

}  // namespace pstcore
