#include "ltp_pc.h"

#include "ltp_bth.h"

namespace pstwrite {

const prop::value* pc_builder::find(std::uint16_t id) const {
    auto it = m_values.find(id);
    return it == m_values.end() ? nullptr : &it->second;
}

std::uint32_t store_variable(heap_builder& heap, std::vector<subnode>& subnodes, nid_counter& nids, const bytes& value,
                             std::size_t threshold) {
    if (value.empty()) return 0;
    if (value.size() <= threshold && value.size() <= ltp::max_heap_item) return heap.allocate(value);
    subnode sn;
    sn.nid = nids.next(ltp::nid_type_ltp);
    sn.data = value;
    subnodes.push_back(std::move(sn));
    return subnodes.back().nid;
}

node_content pc_builder::build(nid_counter& nids) const {
    node_content out;
    heap_builder heap(m_format, ltp::client_pc);
    heap.set_fault(m_fault);
    const std::uint32_t header = heap.allocate(bytes(ltp::bth_header_size));  // Outlook's first item, hid 0x20
    heap.set_user_root(header);
    std::vector<bth_record> records;
    for (const auto& [id, v] : m_values) {
        std::uint32_t hnid = 0;
        if (prop::is_inline(v.type)) {
            for (std::size_t i = 0; i < v.data.size() && i < 4; ++i)
                hnid |= std::to_integer<std::uint32_t>(v.data[i]) << (8 * i);
        } else if (prop::is_fixed(v.type)) {
            hnid = heap.allocate(v.data);
        } else {
            hnid = store_variable(heap, out.subnodes, nids, v.data, m_threshold);
        }
        bth_record r;
        r.key = id;
        put_u16(r.data, v.type);
        put_u32(r.data, hnid);
        records.push_back(std::move(r));
    }
    for (const auto& [id, streamed] : m_streamed) {
        const std::uint32_t nid = nids.next(ltp::nid_type_ltp);
        out.subnodes.emplace_back(nid, streamed.second);
        bth_record r;
        r.key = id;
        put_u16(r.data, streamed.first);
        put_u32(r.data, nid);
        records.push_back(std::move(r));
    }
    write_bth(heap, std::move(records), {.key_size = 2, .data_size = 6, .max_per_item = 0, .header_hid = header});
    out.data = heap.build();
    return out;
}

}  // namespace pstwrite
