#pragma once
// folder.h: one folder — the property bag on its node, and its contents and hierarchy tables (node index with
// type 0x0E and 0x0D), each looked up on first use and kept. Sub-folders and messages are not held: the
// iterators turn table rows into objects on dereference. Sub-folder iteration skips search folders. Copies share
// the bag's tree and the tables already looked up; each copy has its own text-encoding pointer. Not
// thread-safe.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "pstcore/messaging/iterators.h"
#include "pstcore/messaging/message.h"
#include "pstcore/ndb/node.h"
#include "pstcore/tables/property_bag.h"
#include "pstcore/tables/table.h"

namespace pstcore {

class folder {
public:
    folder(std::shared_ptr<db_context> db, const node& n);

    property_bag& get_property_bag() { return m_bag; }
    const property_bag& get_property_bag() const { return m_bag; }
    const std::shared_ptr<db_context>& get_db() const { return m_db; }
    node_id get_id() const { return m_bag.get_node().get_id(); }

    // Property 0x3001 as a wide string.
    std::wstring get_name() const;
    // Property 0x3602 widened, or 0 when absent (whatever the contents table holds).
    std::int64_t get_item_count() const;
    // Property 0x3613, or nothing when absent.
    std::optional<std::wstring> get_container_class() const;

    // Throw key_not_found<unsigned int> when the table's node is missing.
    const table& get_hierarchy_table() const;
    const table& get_contents_table() const;

    // Normal sub-folders in row order.
    folder_iterator subfolder_begin() const;
    folder_iterator subfolder_end() const;
    // Every contents row, in row order.
    message_iterator message_begin() const;
    message_iterator message_end() const;

private:
    const table& load(std::shared_ptr<table>& slot, std::uint32_t table_type) const;

    std::shared_ptr<db_context> m_db;
    property_bag m_bag;
    mutable std::shared_ptr<table> m_contents;
    mutable std::shared_ptr<table> m_associated;  // never filled: associated items are not read
    mutable std::shared_ptr<table> m_hierarchy;
};

}  // namespace pstcore
