#include "pstcore/tables/table.h"

#include <array>
#include <stdexcept>

#include "pstcore/ndb/byte_reader.h"
#include "pstcore/ndb/exceptions.h"

namespace pstcore {

namespace {

enum : std::size_t { end_of_4b = 0, end_of_2b = 1, end_of_1b = 2, end_of_bitmap = 3 };

std::vector<std::byte> read_reference(const heap& h, const node& n, heap_or_node_id id) {
    if (is_heap_id(id)) return h->read(id);
    const node sub = n.lookup(id);
    std::vector<std::byte> bytes(static_cast<std::size_t>(sub.size()));
    if (!bytes.empty() && sub.read(bytes, std::uint64_t{0}) != bytes.size())
        throw database_corrupt("subnode stream shorter than its size");
    return bytes;
}

}  // namespace

const_table_row_iter table_impl::begin() const {
    return {0, shared_from_this()};
}

const_table_row_iter table_impl::end() const {
    return {static_cast<std::uint32_t>(size()), shared_from_this()};
}

template <typename T>
basic_table<T>::basic_table(const node& n) : m_node(n), m_heap(open_heap(n, detail::k_client_table)) {
    const auto header = m_heap->item(m_heap->get_root_id());
    const byte_reader reader(header);
    if (header.empty()) throw database_corrupt("table header too short");
    const auto type = reader.u8(detail::k_table_type);
    if (type != detail::k_client_table)
        throw sig_mismatch("heap_sig_tc expected", 0, m_node.get_id(), type, detail::k_client_table);
    const std::size_t column_count = reader.u8(detail::k_table_column_count);
    if (!reader.fits(detail::k_table_columns, column_count * detail::k_table_column_size))
        throw database_corrupt("table header too short");
    for (std::size_t i = 0; i < 4; ++i) m_offsets[i] = reader.u16(detail::k_table_offsets + 2 * i);
    m_row_size = m_offsets[end_of_bitmap];
    if (m_row_size == 0) throw database_corrupt("table row size is zero");
    if (m_offsets[end_of_1b] > m_row_size) throw database_corrupt("table cell bitmap outside the row");

    m_row_index = open_bth<row_id, T>(m_heap, reader.u32(detail::k_table_row_index));

    m_columns.reserve(column_count);
    for (std::size_t i = 0; i < column_count; ++i) {
        const std::size_t at = detail::k_table_columns + i * detail::k_table_column_size;
        const std::uint32_t tag = reader.u32(at + detail::k_column_tag);
        m_columns.push_back({static_cast<prop_type>(tag & 0xFFFF), static_cast<prop_id>(tag >> 16),
                             reader.u16(at + detail::k_column_offset), reader.u8(at + detail::k_column_width),
                             reader.u8(at + detail::k_column_bit)});
        // A later column with the same id replaces an earlier one.
        m_column_by_id[m_columns.back().id] = i;
    }

    const heap_or_node_id rows = reader.u32(detail::k_table_rows);
    if (rows == 0) return;
    if (is_heap_id(rows)) {
        m_rows_in_heap = m_heap->item(rows);
        m_row_count = m_rows_in_heap.size() / m_row_size;
        return;
    }
    m_rows_node = m_node.lookup(rows);
    const std::size_t pages = m_rows_node->get_page_count();
    if (pages == 0) return;
    const std::size_t last = m_rows_node->get_page_size(pages - 1) / m_row_size;
    if (pages == 1) {
        m_rows_per_block = last;
        m_row_count = last;
        return;
    }
    m_rows_per_block = m_rows_node->get_page_size(0) / m_row_size;
    if (m_rows_per_block == 0) throw database_corrupt("table rows do not fit their blocks");
    m_row_count = (pages - 1) * m_rows_per_block + last;
}

template <typename T>
std::span<const std::byte> basic_table<T>::row_bytes(std::uint32_t row) const {
    if (row >= m_row_count) throw std::out_of_range("row >= size()");
    if (!m_rows_node) return m_rows_in_heap.subspan(static_cast<std::size_t>(row) * m_row_size, m_row_size);
    const std::size_t index = row / m_rows_per_block;
    if (!m_rows_block || m_rows_block_index != index) {
        m_rows_block = m_rows_node->get_page(index);
        m_rows_block_index = index;
    }
    const auto block = m_rows_block->data();
    const std::size_t at = (row % m_rows_per_block) * m_row_size;
    // Blocks other than the first may be shorter than the first says rows are; never read past one.
    if (at > block.size() || m_row_size > block.size() - at) throw database_corrupt("table row past its block");
    return block.subspan(at, m_row_size);
}

template <typename T>
const column_description* basic_table<T>::find_column(prop_id id) const {
    const auto it = m_column_by_id.find(id);
    return it == m_column_by_id.end() ? nullptr : &m_columns[it->second];
}

template <typename T>
std::uint32_t basic_table<T>::lookup_row(row_id id) const {
    return m_row_index->lookup(id);
}

template <typename T>
bool basic_table<T>::prop_exists(std::uint32_t row, prop_id id) const {
    const column_description* column = find_column(id);
    if (!column) return false;
    const auto bytes = row_bytes(row);
    const std::size_t at = m_offsets[end_of_1b] + column->bit_offset / 8u;
    if (at >= m_row_size) return false;
    return (std::to_integer<unsigned>(bytes[at]) & (0x80u >> (column->bit_offset % 8u))) != 0;
}

template <typename T>
std::uint64_t basic_table<T>::get_cell_value(std::uint32_t row, prop_id id) const {
    if (!prop_exists(row, id)) throw key_not_found<prop_id>(id);
    const column_description& column = *find_column(id);
    const byte_reader reader(row_bytes(row));
    switch (column.size) {
        case 1:
            return reader.u8(column.offset);
        case 2:
            return reader.u16(column.offset);
        case 4:
            return reader.u32(column.offset);
        case 8:
            return reader.u64(column.offset);
        default:
            throw database_corrupt("get_cell_value: invalid cell size");
    }
}

template <typename T>
heap_or_node_id basic_table<T>::cell_reference(std::uint32_t row, prop_id id) const {
    return static_cast<heap_or_node_id>(get_cell_value(row, id));
}

template <typename T>
std::vector<std::byte> basic_table<T>::read_cell(std::uint32_t row, prop_id id) const {
    return read_reference(m_heap, m_node, cell_reference(row, id));
}

template <typename T>
hnid_stream_device basic_table<T>::open_cell_stream(std::uint32_t row, prop_id id) const {
    const heap_or_node_id ref = cell_reference(row, id);
    if (is_heap_id(ref)) return hnid_stream_device(m_heap, ref);
    return hnid_stream_device(m_node.lookup(ref));
}

template <typename T>
std::size_t basic_table<T>::get_cell_size(std::uint32_t row, prop_id id) const {
    const heap_or_node_id ref = cell_reference(row, id);
    if (is_heap_id(ref)) return m_heap->size(ref);
    return static_cast<std::size_t>(m_node.lookup(ref).size());
}

template <typename T>
std::vector<prop_id> basic_table<T>::get_prop_list() const {
    std::vector<prop_id> ids;
    ids.reserve(m_column_by_id.size());
    for (const auto& [id, index] : m_column_by_id) ids.push_back(id);
    return ids;
}

template <typename T>
prop_type basic_table<T>::get_prop_type(prop_id id) const {
    const column_description* column = find_column(id);
    if (!column) throw key_not_found<prop_id>(id);
    return column->type;
}

template <typename T>
row_id basic_table<T>::get_row_id(std::uint32_t row) const {
    return byte_reader(row_bytes(row)).u32(0);
}

template class basic_table<std::uint16_t>;
template class basic_table<std::uint32_t>;

table open_table(const node& n) {
    if (n.get_id() == detail::k_gust_table_node) throw not_implemented("gust table");
    const heap h = open_heap(n, detail::k_client_table);
    const byte_reader header(h->item(h->get_root_id()));
    if (!header.fits(detail::k_table_row_index, 4)) throw database_corrupt("table header too short");
    const auto index_header = h->item(header.u32(detail::k_table_row_index));
    if (index_header.size() <= detail::k_bth_entry_size) throw database_corrupt("row index header too short");
    if (std::to_integer<unsigned>(index_header[detail::k_bth_entry_size]) == 4)
        return table(std::make_shared<basic_table<std::uint32_t>>(n));
    return table(std::make_shared<basic_table<std::uint16_t>>(n));
}

const_table_row_iter table::begin() const {
    return m_impl->begin();
}

const_table_row_iter table::end() const {
    return m_impl->end();
}

const_table_row table::operator[](std::uint32_t row) const {
    return const_table_row(row, m_impl);
}

std::vector<prop_id> const_table_row::get_prop_list() const {
    std::vector<prop_id> ids;
    for (const prop_id id : m_table->get_prop_list())
        if (m_table->prop_exists(m_row, id)) ids.push_back(id);
    return ids;
}

std::uint64_t const_table_row::fixed(prop_id id) const {
    const prop_type type = get_prop_type(id);
    if (!is_inline_type(type) && !is_eight_byte_type(type)) throw prop_type_mismatch(id, type);
    return m_table->get_cell_value(m_row, id);
}

std::uint64_t const_table_row::get_value_8(prop_id id) const {
    const prop_type type = get_prop_type(id);
    if (is_inline_type(type)) throw prop_type_mismatch(id, type);
    if (is_eight_byte_type(type)) return m_table->get_cell_value(m_row, id);
    const auto bytes = m_table->read_cell(m_row, id);
    if (bytes.size() < 8) throw std::length_error("get_value_8: value shorter than 8 bytes");
    return load_little_endian<std::uint64_t>(bytes.data());
}

std::vector<std::byte> const_table_row::get_value_variable(prop_id id) const {
    const prop_type type = get_prop_type(id);
    if (is_inline_type(type) || is_eight_byte_type(type)) throw prop_type_mismatch(id, type);
    return m_table->read_cell(m_row, id);
}

}  // namespace pstcore
