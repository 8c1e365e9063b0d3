#include "ltp_bth.h"

#include <algorithm>
#include <stdexcept>

namespace pstwrite {

namespace {
void put_key(bytes& out, std::uint64_t key, std::uint8_t size) {
    for (std::uint8_t i = 0; i < size; ++i) out.push_back(static_cast<std::byte>(key >> (8 * i)));
}

std::size_t per_item(std::size_t record_size, std::size_t wanted) {
    std::size_t fit = ltp::max_heap_item / record_size;
    return wanted == 0 ? fit : std::min(fit, wanted);
}
}  // namespace

std::uint32_t write_bth(heap_builder& heap, std::vector<bth_record> records, const bth_options& options) {
    const std::uint32_t header = options.header_hid ? *options.header_hid : heap.allocate(bytes(ltp::bth_header_size));
    std::sort(records.begin(), records.end(), [](const auto& a, const auto& b) { return a.key < b.key; });
    for (std::size_t i = 1; i < records.size(); ++i)
        if (records[i].key == records[i - 1].key) throw std::invalid_argument("duplicate BTH key");

    std::uint32_t root = 0;
    std::uint8_t levels = 0;
    if (!records.empty()) {
        // Level 0: leaves. Each level's items become the (first key, HID) records of the next.
        struct entry {
            std::uint64_t key;
            std::uint32_t hid;
        };
        std::vector<entry> level;
        const std::size_t leaf_count = per_item(options.key_size + options.data_size, options.max_per_item);
        for (std::size_t i = 0; i < records.size(); i += leaf_count) {
            bytes item;
            for (std::size_t j = i; j < std::min(records.size(), i + leaf_count); ++j) {
                if (records[j].data.size() != options.data_size) throw std::invalid_argument("BTH record size");
                put_key(item, records[j].key, options.key_size);
                put_bytes(item, records[j].data);
            }
            level.push_back({records[i].key, heap.allocate(item)});
        }
        const std::size_t index_count = per_item(options.key_size + 4u, options.max_per_item);
        while (level.size() > 1) {
            std::vector<entry> up;
            for (std::size_t i = 0; i < level.size(); i += index_count) {
                bytes item;
                for (std::size_t j = i; j < std::min(level.size(), i + index_count); ++j) {
                    put_key(item, level[j].key, options.key_size);
                    put_u32(item, level[j].hid);
                }
                up.push_back({level[i].key, heap.allocate(item)});
            }
            level = std::move(up);
            ++levels;
        }
        root = level.front().hid;
    }
    bytes head;
    put_u8(head, ltp::client_bth);
    put_u8(head, options.key_size);
    put_u8(head, options.data_size);
    put_u8(head, levels);
    put_u32(head, root);
    heap.replace(header, head);
    return header;
}

}  // namespace pstwrite
