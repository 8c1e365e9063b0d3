#pragma once
// ltp_tc.h: builds a table context: TCINFO with its column descriptors, the row-index BTH (row id → row number)
// and the row matrix, either one heap item or a type-0x1F subnode whose blocks hold whole rows. Variable-size
// cells are HNIDs into the table's own heap or subnodes. Rows keep the order they were added in.

#include <cstdint>
#include <utility>
#include <vector>

#include "ltp_heap.h"
#include "ltp_node.h"
#include "ltp_property.h"

namespace pstwrite {

struct column {
    std::uint32_t tag = 0;
    std::uint16_t ib = 0;   // offset of the cell in the row
    std::uint8_t cb = 0;    // width of the cell
    std::uint8_t ibit = 0;  // bit in the cell-existence bitmap
};

// Lays out columns the way Outlook does: LtpRowId and LtpRowVer first (added when missing), iBit in the given
// order, then 8- and 4-byte cells, 2-byte cells and 1-byte cells in that order.
std::vector<column> layout_columns(const std::vector<std::uint32_t>& tags);

enum class matrix_place { automatic, heap, subnode };

struct tc_options {
    matrix_place matrix = matrix_place::automatic;
    std::uint8_t row_index_width = 0;  // 0 = the format's (4 Unicode, 2 ANSI); tests may force 2 or 4
    std::size_t bth_max_per_item = 0;  // 0 = fill heap items; lower it to force row-index levels
    bool zero_row_size = false;        // fault: every rgib end offset (and so cbRow) written as 0
    heap_fault heap = heap_fault::none;
};

class tc_builder {
public:
    tc_builder(format f, std::vector<column> columns, tc_options options = {});

    // Adds a row. Cells whose tag is not a column throw std::invalid_argument; LtpRowId is set from `row_id`.
    void add_row(std::uint32_t row_id, const std::vector<std::pair<std::uint32_t, prop::value>>& cells);
    std::size_t row_count() const { return m_rows.size(); }
    void set_options(const tc_options& options) { m_options = options; }
    std::uint16_t row_size() const { return m_row_size; }
    const std::vector<column>& columns() const { return m_columns; }

    // Throws std::length_error when the rows outnumber what the row index width can count (65,536 for 2 bytes).
    node_content build(nid_counter& nids) const;

private:
    // Cells packed as tag (4), type (2), length (4), bytes: a large table's rows stay small in memory.
    struct row {
        std::uint32_t id;
        bytes cells;
    };
    format m_format;
    std::vector<column> m_columns;
    tc_options m_options;
    std::uint16_t m_end_4b = 0, m_end_2b = 0, m_end_1b = 0, m_row_size = 0;
    std::vector<row> m_rows;
};

}  // namespace pstwrite
