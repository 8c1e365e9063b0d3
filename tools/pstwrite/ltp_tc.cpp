#include "ltp_tc.h"

#include <algorithm>
#include <stdexcept>

#include "ltp_bth.h"
#include "ltp_pc.h"

namespace pstwrite {

std::vector<column> layout_columns(const std::vector<std::uint32_t>& tags) {
    std::vector<std::uint32_t> ordered{ltp::tag_row_id, ltp::tag_row_ver};
    for (auto t : tags)
        if (t != ltp::tag_row_id && t != ltp::tag_row_ver) ordered.push_back(t);
    std::vector<column> cols;
    for (std::size_t i = 0; i < ordered.size(); ++i)
        cols.push_back({ordered[i], 0, prop::cell_width(static_cast<std::uint16_t>(ordered[i] & 0xFFFF)),
                        static_cast<std::uint8_t>(i)});
    std::uint16_t ib = 0;
    for (std::uint8_t width : {std::uint8_t{84}, std::uint8_t{2}, std::uint8_t{1}})
        for (auto& c : cols)
            if ((width == 84 && (c.cb == 8 || c.cb == 4)) || c.cb == width) {
                c.ib = ib;
                ib = static_cast<std::uint16_t>(ib + c.cb);
            }
    return cols;
}

tc_builder::tc_builder(format f, std::vector<column> columns, tc_options options)
    : m_format(f), m_columns(std::move(columns)), m_options(options) {
    for (const auto& c : m_columns) {
        const auto end = static_cast<std::uint16_t>(c.ib + c.cb);
        if (c.cb >= 4) m_end_4b = std::max(m_end_4b, end);
        if (c.cb == 2) m_end_2b = std::max(m_end_2b, end);
        if (c.cb == 1) m_end_1b = std::max(m_end_1b, end);
    }
    m_end_2b = std::max(m_end_2b, m_end_4b);
    m_end_1b = std::max(m_end_1b, m_end_2b);
    m_row_size = static_cast<std::uint16_t>(m_end_1b + (m_columns.size() + 7) / 8);
}

void tc_builder::add_row(std::uint32_t row_id, const std::vector<std::pair<std::uint32_t, prop::value>>& cells) {
    for (const auto& cell : cells) {
        const std::uint32_t tag = cell.first;
        auto it = std::find_if(m_columns.begin(), m_columns.end(), [&](const column& c) { return c.tag == tag; });
        if (it == m_columns.end()) throw std::invalid_argument("cell for a column the table lacks");
    }
    bytes packed;
    for (const auto& [tag, v] : cells) {
        put_u32(packed, tag);
        put_u16(packed, v.type);
        put_u32(packed, static_cast<std::uint32_t>(v.data.size()));
        put_bytes(packed, v.data);
    }
    m_rows.push_back({row_id, std::move(packed)});
}

node_content tc_builder::build(nid_counter& nids) const {
    node_content out;
    heap_builder heap(m_format, ltp::client_tc);
    heap.set_fault(m_options.heap);
    // Outlook's order: the row-index header first (hid 0x20), then TCINFO (0x40, the user root).
    const std::uint32_t index_header = heap.allocate(bytes(ltp::bth_header_size));
    const std::size_t tcinfo_size = ltp::tcinfo_fixed_size + ltp::tcoldesc_size * m_columns.size();
    const std::uint32_t tcinfo = heap.allocate(bytes(tcinfo_size));
    heap.set_user_root(tcinfo);

    bytes matrix;
    matrix.reserve(m_rows.size() * m_row_size);
    std::vector<bth_record> index;
    const std::uint8_t index_width =
        m_options.row_index_width ? m_options.row_index_width : (m_format == format::unicode ? 4 : 2);
    if (index_width < 4 && m_rows.size() > (std::size_t{1} << (8 * index_width)))
        throw std::length_error("too many rows for the row index width");
    const std::size_t block = max_block_data(m_format);
    const std::size_t rows_per_block = std::max<std::size_t>(1, block / std::max<std::size_t>(1, m_row_size));
    const bool in_subnode =
        m_options.matrix == matrix_place::subnode ||
        (m_options.matrix == matrix_place::automatic && m_rows.size() * m_row_size > ltp::max_heap_item);
    for (std::size_t r = 0; r < m_rows.size(); ++r) {
        const row& rw = m_rows[r];
        if (in_subnode && r > 0 && r % rows_per_block == 0) matrix.resize(matrix.size() / block * block + block);
        bytes cellbytes(m_row_size);
        auto set_bit = [&](std::uint8_t ibit) { cellbytes[m_end_1b + ibit / 8] |= std::byte(0x80 >> (ibit % 8)); };
        for (const auto& c : m_columns) {
            if (c.tag == ltp::tag_row_id) {
                set_u32(cellbytes, c.ib, rw.id);
                set_bit(c.ibit);
            } else if (c.tag == ltp::tag_row_ver) {
                set_bit(c.ibit);
            }
        }
        for (std::size_t at = 0; at < rw.cells.size();) {
            const std::uint32_t tag = get_u32(rw.cells, at);
            prop::value v;
            v.type = static_cast<std::uint16_t>(get_u32(rw.cells, at + 4) & 0xFFFF);
            const std::uint32_t length = get_u32(rw.cells, at + 6);
            v.data.assign(rw.cells.begin() + static_cast<std::ptrdiff_t>(at + 10),
                          rw.cells.begin() + static_cast<std::ptrdiff_t>(at + 10 + length));
            at += 10 + length;
            const column& c = *std::find_if(m_columns.begin(), m_columns.end(), [&](auto& x) { return x.tag == tag; });
            if (prop::is_fixed(v.type)) {
                for (std::size_t i = 0; i < v.data.size() && i < c.cb; ++i) cellbytes[c.ib + i] = v.data[i];
            } else {
                const auto hnid = store_variable(heap, out.subnodes, nids, v.data, ltp::max_heap_item);
                if (c.cb >= 4) set_u32(cellbytes, c.ib, hnid);
            }
            set_bit(c.ibit);
        }
        put_bytes(matrix, cellbytes);
        bth_record rec;
        rec.key = rw.id;
        for (std::uint8_t i = 0; i < index_width; ++i) rec.data.push_back(static_cast<std::byte>(r >> (8 * i)));
        index.push_back(std::move(rec));
    }

    std::uint32_t hnid_rows = 0;
    if (!m_rows.empty()) {
        if (in_subnode) {
            subnode sn;
            sn.nid = nids.next(ltp::nid_type_ltp);
            sn.data = std::move(matrix);
            out.subnodes.push_back(std::move(sn));
            hnid_rows = out.subnodes.back().nid;
        } else {
            hnid_rows = heap.allocate(matrix);
        }
    }
    write_bth(heap, std::move(index),
              {.key_size = 4,
               .data_size = index_width,
               .max_per_item = m_options.bth_max_per_item,
               .header_hid = index_header});

    std::vector<column> sorted = m_columns;
    std::sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a.tag < b.tag; });
    bytes info;
    put_u8(info, ltp::client_tc);
    put_u8(info, static_cast<std::uint8_t>(m_columns.size()));
    const bool zero = m_options.zero_row_size;
    for (auto end : {m_end_4b, m_end_2b, m_end_1b, m_row_size}) put_u16(info, zero ? 0 : end);
    put_u32(info, index_header);
    put_u32(info, hnid_rows);
    put_u32(info, 0);  // hidIndex, deprecated
    for (const auto& c : sorted) {
        put_u32(info, c.tag);
        put_u16(info, c.ib);
        put_u8(info, c.cb);
        put_u8(info, c.ibit);
    }
    heap.replace(tcinfo, info);
    out.data = heap.build();
    return out;
}

}  // namespace pstwrite
