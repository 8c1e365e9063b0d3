// Reads the input as the data of one node, cut into heap pages (the first bytes choose the page size and how much
// goes to a subnode), through the list and table layer directly: as a property bag, a table and the named-property
// map. It skips the node database's checks, so mutations reach heaps, B-trees on heaps and table layouts at once.
// Any exception is a clean refusal; a crash, hang or runaway allocation is a finding.

#include <cstddef>
#include <cstdint>
#include <exception>
#include <vector>

#include "encoding/code_page_table.h"
#include "memory_db.h"
#include "pstcore/messaging/name_id_map.h"
#include "pstcore/tables/property_bag.h"
#include "pstcore/tables/table.h"
#include "store_walk.h"

namespace {

void read_value(const pstcore::const_property_object& object, pstcore::prop_id id) {
    try {
        mailferry::bench::read_property(object, id);
    } catch (const std::exception&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    std::size_t page = 64 + (data[0] | (data[1] << 8)) % 8000;
    std::size_t sub_split = size / 2 + data[2] % 64;
    std::vector<std::byte> all(reinterpret_cast<const std::byte*>(data) + 3,
                               reinterpret_cast<const std::byte*>(data) + size);
    if (sub_split > all.size()) sub_split = all.size();
    std::vector<std::byte> main_part(all.begin(), all.begin() + sub_split),
        sub_part(all.begin() + sub_split, all.end());
    std::vector<std::vector<std::byte>> pages;
    for (std::size_t at = 0; at < main_part.size(); at += page)
        pages.emplace_back(main_part.begin() + at, main_part.begin() + std::min(main_part.size(), at + page));
    if (pages.empty()) return 0;
    std::vector<std::vector<std::byte>> sub_pages;
    for (std::size_t at = 0; at < sub_part.size(); at += 200)
        sub_pages.emplace_back(sub_part.begin() + at, sub_part.begin() + std::min(sub_part.size(), at + 200));
    auto db = mffuzz::memory_db::create();
    std::vector<pstcore::subnode_info> subs;
    if (!sub_pages.empty()) subs.push_back({0x3F, db->add_stream(sub_pages), 0});
    const auto data_id = db->add_stream(pages);
    const auto sub_id = subs.empty() ? 0 : db->add_subnodes(subs);
    db->add_node(0x21, data_id, sub_id);
    db->add_node(0x61, data_id, sub_id);
    db->add_node(0x2E, data_id, sub_id);
    try {
        pstcore::property_bag bag(db->node(0x21));
        bag.set_text_encoding(mailferry::find_text_encoding(1252));
        for (auto id : bag.get_prop_list()) read_value(bag, id);
    } catch (const std::exception&) {
    }
    try {
        auto t = pstcore::open_table(db->node(0x2E));
        for (auto row : t) {
            row.set_text_encoding(mailferry::find_text_encoding(936));
            for (auto id : row.get_prop_list()) read_value(row, id);
        }
        for (std::uint32_t k = 0; k < 8; ++k) try {
                t.lookup_row(k * 0x20);
            } catch (const std::exception&) {
            }
    } catch (const std::exception&) {
    }
    try {
        pstcore::name_id_map map(db);
        for (const auto& key : {pstcore::named_prop(pstcore::property_sets::ps_public_strings, L"Keywords"),
                                pstcore::named_prop(pstcore::property_sets::psetid_address, 0x8005),
                                pstcore::named_prop(pstcore::guid{}, 7)})
            try {
                map.lookup(key);
            } catch (const std::exception&) {
            }
    } catch (const std::exception&) {
    }
    return 0;
}
