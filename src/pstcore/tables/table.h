#pragma once
// table.h: a node read as a table context — fixed columns (property id and type) over rows of fixed width,
// with a row index from row id to position. open_table() picks the row-index width the file uses. Rows and
// iterators hold the table, which holds the file open. Every size and count from the file is checked before
// use; the row count is bounded by the bytes that hold the rows. Not thread-safe.

#include <array>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <optional>
#include <span>
#include <unordered_map>
#include <vector>

#include "pstcore/ndb/node.h"
#include "pstcore/tables/bth.h"
#include "pstcore/tables/heap.h"
#include "pstcore/tables/property_object.h"

namespace pstcore {

struct column_description {
    prop_type type = 0;
    prop_id id = 0;
    std::uint16_t offset = 0;     // of the cell within the row
    std::uint8_t size = 0;        // cell width: 1, 2, 4 or 8 in a sound file
    std::uint8_t bit_offset = 0;  // bit in the row's cell-existence bitmap
};

class const_table_row;
class const_table_row_iter;

class table_impl : public std::enable_shared_from_this<table_impl> {
public:
    virtual ~table_impl() = default;

    // The position of the row with this id; key_not_found<unsigned int> when absent.
    virtual std::uint32_t lookup_row(row_id id) const = 0;
    virtual node& get_node() = 0;
    virtual const node& get_node() const = 0;
    // The cell's raw value, zero-extended; key_not_found<prop_id> for a missing column or an absent cell.
    // Throws std::out_of_range "row >= size()", database_corrupt "get_cell_value: invalid cell size".
    virtual std::uint64_t get_cell_value(std::uint32_t row, prop_id id) const = 0;
    // The bytes behind a cell that holds a heap-or-node id.
    virtual std::vector<std::byte> read_cell(std::uint32_t row, prop_id id) const = 0;
    virtual hnid_stream_device open_cell_stream(std::uint32_t row, prop_id id) const = 0;
    // Column ids, in no particular order.
    virtual std::vector<prop_id> get_prop_list() const = 0;
    virtual prop_type get_prop_type(prop_id id) const = 0;
    // The u32 at the start of the row, with no existence test.
    virtual row_id get_row_id(std::uint32_t row) const = 0;
    virtual std::size_t size() const = 0;
    virtual bool prop_exists(std::uint32_t row, prop_id id) const = 0;
    virtual std::size_t get_cell_size(std::uint32_t row, prop_id id) const = 0;

    // The column descriptions in the order the file lists them (for diagnostics).
    virtual const std::vector<column_description>& get_columns() const = 0;

    const_table_row_iter begin() const;
    const_table_row_iter end() const;
};

// T: the width of row positions in the row index (unsigned short or unsigned int).
template <typename T>
class basic_table final : public table_impl {
public:
    // Throws sig_mismatch "invalid heap_sig" / "invalid client_sig" / "heap_sig_tc expected", the row index's
    // errors, and database_corrupt for a header or row layout that cannot be read.
    explicit basic_table(const node& n);

    std::uint32_t lookup_row(row_id id) const override;
    node& get_node() override { return m_node; }
    const node& get_node() const override { return m_node; }
    std::uint64_t get_cell_value(std::uint32_t row, prop_id id) const override;
    std::vector<std::byte> read_cell(std::uint32_t row, prop_id id) const override;
    hnid_stream_device open_cell_stream(std::uint32_t row, prop_id id) const override;
    std::vector<prop_id> get_prop_list() const override;
    prop_type get_prop_type(prop_id id) const override;
    row_id get_row_id(std::uint32_t row) const override;
    std::size_t size() const override { return m_row_count; }
    bool prop_exists(std::uint32_t row, prop_id id) const override;
    std::size_t get_cell_size(std::uint32_t row, prop_id id) const override;
    const std::vector<column_description>& get_columns() const override { return m_columns; }

private:
    // The row's bytes, exactly cbRow of them; valid until the next call. Throws std::out_of_range "row >= size()".
    std::span<const std::byte> row_bytes(std::uint32_t row) const;
    const column_description* find_column(prop_id id) const;
    heap_or_node_id cell_reference(std::uint32_t row, prop_id id) const;

    node m_node;
    heap m_heap;
    std::shared_ptr<bth_node<row_id, T>> m_row_index;
    std::vector<column_description> m_columns;
    std::unordered_map<prop_id, std::size_t> m_column_by_id;
    std::array<std::uint16_t, 4> m_offsets{};  // rgib: ends of the 4-, 2- and 1-byte cells, end of the bitmap
    std::size_t m_row_size = 0;
    std::size_t m_row_count = 0;
    // The rows: in place in a heap item, or in the data blocks of a subnode.
    std::span<const std::byte> m_rows_in_heap;
    std::optional<node> m_rows_node;
    std::size_t m_rows_per_block = 0;
    // The block the last row came from: the node keeps only a few recent blocks, and rows are read in order.
    mutable std::shared_ptr<external_block> m_rows_block;
    mutable std::size_t m_rows_block_index = 0;
};

// The handle the upper layers hold.
class table {
public:
    explicit table(std::shared_ptr<table_impl> impl) : m_impl(std::move(impl)) {}

    std::size_t size() const { return m_impl->size(); }
    const_table_row_iter begin() const;
    const_table_row_iter end() const;
    const_table_row operator[](std::uint32_t row) const;

    std::uint32_t lookup_row(row_id id) const { return m_impl->lookup_row(id); }
    const node& get_node() const { return m_impl->get_node(); }
    std::uint64_t get_cell_value(std::uint32_t row, prop_id id) const { return m_impl->get_cell_value(row, id); }
    std::vector<std::byte> read_cell(std::uint32_t row, prop_id id) const { return m_impl->read_cell(row, id); }
    hnid_stream_device open_cell_stream(std::uint32_t row, prop_id id) const {
        return m_impl->open_cell_stream(row, id);
    }
    std::vector<prop_id> get_prop_list() const { return m_impl->get_prop_list(); }
    prop_type get_prop_type(prop_id id) const { return m_impl->get_prop_type(id); }
    row_id get_row_id(std::uint32_t row) const { return m_impl->get_row_id(row); }
    bool prop_exists(std::uint32_t row, prop_id id) const { return m_impl->prop_exists(row, id); }
    std::size_t get_cell_size(std::uint32_t row, prop_id id) const { return m_impl->get_cell_size(row, id); }
    const std::vector<column_description>& get_columns() const { return m_impl->get_columns(); }
    const std::shared_ptr<table_impl>& get_impl() const { return m_impl; }

private:
    std::shared_ptr<table_impl> m_impl;
};

// Opens a node as a table. Throws not_implemented "gust table" for node 0x730, database_corrupt
// "row index header too short" when the row index's header cannot say its width, and the table's own errors.
table open_table(const node& n);

// One row seen as a property object. 8-byte values come from the cell itself.
class const_table_row final : public const_property_object {
public:
    const_table_row(std::uint32_t row, std::shared_ptr<const table_impl> table)
        : m_row(row), m_table(std::move(table)) {}

    void set_text_encoding(const mailferry::TextEncodingItem* encoding) override { m_encoding = encoding; }
    const mailferry::TextEncodingItem* get_text_encoding() const override { return m_encoding; }

    // The ids of the columns that hold a value in this row.
    std::vector<prop_id> get_prop_list() const override;
    prop_type get_prop_type(prop_id id) const override { return m_table->get_prop_type(id); }
    bool prop_exists(prop_id id) const override { return m_table->prop_exists(m_row, id); }
    std::size_t size(prop_id id) const override { return m_table->get_cell_size(m_row, id); }
    hnid_stream_device open_prop_stream(prop_id id) const override { return m_table->open_cell_stream(m_row, id); }

    std::uint8_t get_value_1(prop_id id) const override { return static_cast<std::uint8_t>(fixed(id)); }
    std::uint16_t get_value_2(prop_id id) const override { return static_cast<std::uint16_t>(fixed(id)); }
    std::uint32_t get_value_4(prop_id id) const override { return static_cast<std::uint32_t>(fixed(id)); }
    std::uint64_t get_value_8(prop_id id) const override;
    std::vector<std::byte> get_value_variable(prop_id id) const override;

    std::uint32_t get_row() const { return m_row; }
    row_id get_row_id() const { return m_table->get_row_id(m_row); }

private:
    std::uint64_t fixed(prop_id id) const;

    std::uint32_t m_row;
    std::shared_ptr<const table_impl> m_table;
    const mailferry::TextEncodingItem* m_encoding = nullptr;  // a row of the static code-page table, or null
};

class const_table_row_iter {
public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = const_table_row;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = const_table_row;

    const_table_row_iter() = default;
    const_table_row_iter(std::uint32_t pos, std::shared_ptr<const table_impl> table)
        : m_pos(pos), m_table(std::move(table)) {}

    const_table_row operator*() const { return const_table_row(m_pos, m_table); }
    const_table_row_iter& operator++() {
        ++m_pos;
        return *this;
    }
    const_table_row_iter operator++(int) {
        auto copy = *this;
        ++m_pos;
        return copy;
    }
    bool operator==(const const_table_row_iter& other) const { return m_pos == other.m_pos; }

private:
    std::uint32_t m_pos = 0;
    std::shared_ptr<const table_impl> m_table;
};

}  // namespace pstcore
