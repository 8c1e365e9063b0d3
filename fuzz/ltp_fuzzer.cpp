// Opens the input as a PST file and reads every heap node as the list and table layer does: each property of each
// property bag, each cell of each table, and a few named-property lookups. Any exception is a clean refusal; a
// crash, hang or runaway allocation is a finding.

#include <cstddef>
#include <cstdint>
#include <exception>
#include <vector>

#include "encoding/code_page_table.h"
#include "pstcore/messaging/name_id_map.h"
#include "pstcore/ndb/crypt.h"
#include "pstcore/ndb/database.h"
#include "pstcore/tables/property_bag.h"
#include "pstcore/tables/table.h"

namespace {

namespace types = pstcore::prop_types;

void read_value(const pstcore::const_property_object& object, pstcore::prop_id id) {
    try {
        const auto type = object.get_prop_type(id);
        if (pstcore::is_inline_type(type))
            object.get_value_4(id);
        else if (type == types::systime)
            object.read_time(id);
        else if (pstcore::is_eight_byte_type(type))
            object.get_value_8(id);
        else if (type == types::string8 || type == types::unicode)
            object.read_utf8string(id);
        else if (type == types::multi_string8 || type == types::multi_unicode)
            object.read_utf8string_array(id);
        else if (type & types::multi_flag)
            object.read_prop_array(id);
        else
            object.get_value_variable(id);
    } catch (const std::exception&) {
    }
}

void read_heap_node(const pstcore::node& n, int depth) {
    if (depth > 8) return;
    try {
        if (n.size() >= 12 && n.read<std::uint8_t>(std::uint64_t{2}) == 0xEC) {
            const auto client = n.read<std::uint8_t>(std::uint64_t{3});
            if (client == 0xBC) {
                pstcore::property_bag bag(n);
                bag.set_text_encoding(mailferry::find_text_encoding(1252));
                for (const auto id : bag.get_prop_list()) read_value(bag, id);
            } else if (client == 0x7C) {
                const auto table = pstcore::open_table(n);
                for (auto row : table) {
                    row.set_text_encoding(mailferry::find_text_encoding(932));
                    for (const auto id : row.get_prop_list()) read_value(row, id);
                }
            }
        }
    } catch (const std::exception&) {
    }
    try {
        for (const auto& sub : n.subnodes()) read_heap_node(pstcore::node(n, sub), depth + 1);
    } catch (const std::exception&) {
    }
}

// As in the node-database target: mutations of the header would nearly all die at its CRC check.
void fix_header_crcs(std::vector<std::byte>& bytes) {
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::byte>(v >> (8 * i));
    };
    if (bytes.size() >= 512) put32(4, pstcore::compute_crc(std::span(bytes).subspan(8, 471)));
    if (bytes.size() >= 568) put32(524, pstcore::compute_crc(std::span(bytes).subspan(8, 516)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::byte> bytes(reinterpret_cast<const std::byte*>(data),
                                 reinterpret_cast<const std::byte*>(data) + size);
    fix_header_crcs(bytes);
    try {
        const auto db = pstcore::open_database(std::move(bytes));
        for (const auto& info : pstcore::btree_range<pstcore::node_id, pstcore::node_info>(db->read_nbt_root())) {
            try {
                read_heap_node(pstcore::node(db, info), 0);
            } catch (const std::exception&) {
            }
        }
        const pstcore::name_id_map map(db);
        for (const auto& key : {pstcore::named_prop(pstcore::property_sets::ps_public_strings, L"Keywords"),
                                pstcore::named_prop(pstcore::property_sets::psetid_address, 0x8005),
                                pstcore::named_prop(pstcore::property_sets::ps_internet_headers, L"content-type")}) {
            try {
                map.lookup(key);
            } catch (const std::exception&) {
            }
        }
    } catch (const std::exception&) {
    }
    return 0;
}
