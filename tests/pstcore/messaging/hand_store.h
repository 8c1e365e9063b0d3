#pragma once
// hand_store.h: a store written node by node through the fixture writer, for shapes the store builder never
// makes: a root folder without a normal sub-folder, a search folder before the top folder, a message without
// its size, a contents row whose message node is missing. Folders get a bag and two tables (rows carry only
// their row ids, which is all the folder walk reads); messages are whatever bag the test describes.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "pstwrite/ltp_node.h"
#include "pstwrite/ltp_pc.h"
#include "pstwrite/ltp_property.h"
#include "pstwrite/ltp_tc.h"
#include "pstwrite/ndb_writer.h"
#include "pstwrite/store_columns.h"

namespace mftest {

inline constexpr std::uint32_t kRootNid = 0x122;

class hand_store {
public:
    explicit hand_store(pstwrite::format f = pstwrite::format::unicode)
        : m_format(f), m_writer(f, pstwrite::crypt::none) {}

    pstwrite::format fmt() const { return m_format; }

    // A text value in the store's string type (Latin-1 bytes under code page 1252 in an ANSI store).
    pstwrite::prop::value text(std::u16string_view s) const {
        if (m_format == pstwrite::format::unicode) return pstwrite::prop::unicode(s);
        std::string narrow;
        for (char16_t c : s) narrow.push_back(static_cast<char>(c));
        return pstwrite::prop::string8(narrow, 1252);
    }

    void set_store_name(pstwrite::prop::value name) { m_store_name = std::move(name); }

    // A normal folder (type 0x02) with its hierarchy rows (children, in order) and contents rows.
    void add_folder(std::uint32_t nid, std::uint32_t parent, pstwrite::prop::value name,
                    const std::vector<std::uint32_t>& children, const std::vector<std::uint32_t>& rows,
                    std::optional<std::u16string> container_class = std::nullopt,
                    std::optional<std::int32_t> count = std::nullopt) {
        pstwrite::pc_builder pc(m_format);
        pc.set(0x3001, std::move(name));
        if (container_class) pc.set(0x3613, text(*container_class));
        if (count) pc.set(0x3602, pstwrite::prop::i32(*count));
        add_bag(nid, parent, pc);
        const std::uint32_t base = nid & ~0x1Fu;
        add_table(base | 0x0D, pstwrite::table_kind::hierarchy, children);
        add_table(base | 0x0E, pstwrite::table_kind::contents, rows);
    }

    // A search folder (type 0x03): only its bag, which the folder walk never opens.
    void add_search_folder(std::uint32_t nid, std::uint32_t parent, std::u16string_view name) {
        pstwrite::pc_builder pc(m_format);
        pc.set(0x3001, text(name));
        add_bag(nid, parent, pc);
    }

    void add_message(std::uint32_t nid, std::uint32_t parent, const pstwrite::pc_builder& pc) {
        add_bag(nid, parent, pc);
    }

    std::vector<std::byte> finish() {
        pstwrite::pc_builder store(m_format);
        store.set(0x3001, m_store_name ? *m_store_name : text(u"Hand Store"));
        add_bag(0x21, 0, store);
        return m_writer.finish_to_memory();
    }

private:
    void add_bag(std::uint32_t nid, std::uint32_t parent, const pstwrite::pc_builder& pc) {
        const pstwrite::node_content c = pc.build(m_nids);
        m_writer.add_node(nid, parent, c.data, c.subnodes);
    }

    void add_table(std::uint32_t nid, pstwrite::table_kind kind, const std::vector<std::uint32_t>& rows) {
        pstwrite::tc_builder t(m_format, pstwrite::column_set(kind, m_format));
        for (std::uint32_t row : rows) t.add_row(row, {});
        const pstwrite::node_content c = t.build(m_nids);
        m_writer.add_node(nid, 0, c.data, c.subnodes);
    }

    pstwrite::format m_format;
    pstwrite::ndb_writer m_writer;
    pstwrite::nid_counter m_nids;
    std::optional<pstwrite::prop::value> m_store_name;
};

}  // namespace mftest
