#pragma once
// ltp_check.h: a small test-side reader for what the LTP writer produced — node bytes from the written file, heap
// items by HID, BTH records (through index levels), property-context records and table rows. Written from the
// format notes, apart from the writer's code, so the two cannot share a misunderstanding unnoticed.

#include <cstddef>
#include <cstdint>
#include <map>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "pstcore/ndb/node.h"
#include "pstwrite/ndb_writer.h"
#include "support/test_helpers.h"

namespace ltpcheck {

using bytes = std::vector<std::byte>;

// The shared helpers under the names these tests have always used.
inline constexpr auto le = &mftest::get_le;
inline constexpr auto hex = &mftest::hex_bytes;
inline constexpr auto text_bytes = &mftest::ascii;
inline constexpr auto u16_bytes = &mftest::utf16;
using mftest::slow_crc;

// A heap over its pages (one page per block).
struct heap {
    std::vector<bytes> pages;
    std::uint8_t client() const { return std::to_integer<std::uint8_t>(pages.at(0).at(3)); }
    std::uint32_t user_root() const { return static_cast<std::uint32_t>(le(pages.at(0), 4, 4)); }
    bytes item(std::uint32_t hid) const {
        if (hid & 0x1F) throw std::invalid_argument("not a HID");
        const bytes& p = pages.at(hid >> 16);
        const std::size_t k = (hid >> 5) & 0x7FF;
        const std::size_t map = le(p, 0, 2);
        const std::size_t count = le(p, map, 2);
        if (k == 0 || k > count) throw std::out_of_range("no such item");
        const std::size_t begin = le(p, map + 4 + 2 * (k - 1), 2), end = le(p, map + 4 + 2 * k, 2);
        return bytes(p.begin() + begin, p.begin() + end);
    }
};

struct bth_info {
    unsigned key_size = 0, data_size = 0, levels = 0;
    std::map<std::uint64_t, bytes> records;
};

inline bth_info read_bth(const heap& h, std::uint32_t header_hid) {
    const bytes head = h.item(header_hid);
    if (head.size() != 8 || std::to_integer<int>(head[0]) != 0xB5) throw std::runtime_error("bad BTH header");
    bth_info info{
        std::to_integer<unsigned>(head[1]), std::to_integer<unsigned>(head[2]), std::to_integer<unsigned>(head[3]), {}};
    const auto root = static_cast<std::uint32_t>(le(head, 4, 4));
    if (root == 0) return info;
    std::vector<std::uint32_t> level{root};
    for (unsigned l = info.levels; l > 0; --l) {
        std::vector<std::uint32_t> next;
        for (auto hid : level) {
            const bytes it = h.item(hid);
            for (std::size_t i = 0; i + info.key_size + 4 <= it.size(); i += info.key_size + 4)
                next.push_back(static_cast<std::uint32_t>(le(it, i + info.key_size, 4)));
        }
        level = next;
    }
    std::uint64_t last = 0;
    bool first = true;
    for (auto hid : level) {
        const bytes it = h.item(hid);
        const std::size_t rec = info.key_size + info.data_size;
        if (it.size() % rec != 0) throw std::runtime_error("partial BTH record");
        for (std::size_t i = 0; i < it.size(); i += rec) {
            const std::uint64_t key = le(it, i, info.key_size);
            if (!first && key <= last) throw std::runtime_error("BTH keys not ascending");
            first = false;
            last = key;
            info.records[key] = bytes(it.begin() + i + info.key_size, it.begin() + i + rec);
        }
    }
    return info;
}

struct pc_record {
    std::uint16_t type;
    std::uint32_t hnid;
};

inline std::map<std::uint16_t, pc_record> read_pc(const heap& h) {
    if (h.client() != 0xBC) throw std::runtime_error("not a PC");
    const bth_info b = read_bth(h, h.user_root());
    if (b.key_size != 2 || b.data_size != 6) throw std::runtime_error("bad PC BTH");
    std::map<std::uint16_t, pc_record> out;
    for (const auto& [k, d] : b.records)
        out[static_cast<std::uint16_t>(k)] = {static_cast<std::uint16_t>(le(d, 0, 2)),
                                              static_cast<std::uint32_t>(le(d, 2, 4))};
    return out;
}

struct tc_column {
    std::uint32_t tag;
    std::uint16_t ib;
    std::uint8_t cb;
    std::uint8_t ibit;
};

struct tc_info {
    std::vector<tc_column> columns;
    std::uint16_t rgib[4];
    std::uint32_t hid_row_index;
    std::uint32_t hnid_rows;
};

inline tc_info read_tcinfo(const heap& h) {
    if (h.client() != 0x7C) throw std::runtime_error("not a TC");
    const bytes t = h.item(h.user_root());
    tc_info info{};
    const unsigned cols = std::to_integer<unsigned>(t.at(1));
    for (int i = 0; i < 4; ++i) info.rgib[i] = static_cast<std::uint16_t>(le(t, 2 + 2 * i, 2));
    info.hid_row_index = static_cast<std::uint32_t>(le(t, 10, 4));
    info.hnid_rows = static_cast<std::uint32_t>(le(t, 14, 4));
    for (unsigned c = 0; c < cols; ++c)
        info.columns.push_back(
            {static_cast<std::uint32_t>(le(t, 22 + 8 * c, 4)), static_cast<std::uint16_t>(le(t, 26 + 8 * c, 2)),
             std::to_integer<std::uint8_t>(t.at(28 + 8 * c)), std::to_integer<std::uint8_t>(t.at(29 + 8 * c))});
    return info;
}

}  // namespace ltpcheck

namespace ltpcheck {
// A heap from a node the reader opened: page i is the node's block i.
inline heap heap_of(const pstcore::node& n) {
    heap h;
    for (std::size_t p = 0; p < n.get_page_count(); ++p) {
        bytes page(n.get_page_size(p));
        n.read(page, p, 0);
        h.pages.push_back(std::move(page));
    }
    return h;
}
}  // namespace ltpcheck
