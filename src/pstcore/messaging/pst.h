#pragma once
// pst.h: one opened PST file — its database, the message store's bag (node 0x21), the root folder (0x122) and
// the store's top folder, and named-property lookups. The store bag and the name map are made on first use and
// kept; copies made after that share them. Everything returned keeps the file open. Not thread-safe.

#include <cstdint>
#include <memory>
#include <string>

#include "pstcore/messaging/folder.h"
#include "pstcore/messaging/guid.h"
#include "pstcore/messaging/name_id_map.h"
#include "pstcore/ndb/database.h"
#include "pstcore/tables/property_bag.h"

namespace pstcore {

class pst {
public:
    // Opens the file (ANSI, then Unicode); the database's errors propagate.
    explicit pst(const std::string& path);
    // Over a database already open (tests, fuzzing).
    explicit pst(std::shared_ptr<db_context> db);

    const std::shared_ptr<db_context>& get_db() const { return m_db; }
    property_bag& get_property_bag();
    // Property 0x3001 of the store bag, decoded with the bag's text encoding when 8-bit.
    std::wstring get_name();

    folder open_root_folder() const;
    // The first normal sub-folder of the root folder, the folder shown as the top of the store. Throws
    // database_corrupt "the store has no top folder" when the root has none.
    folder open_top_folder() const;

    const name_id_map& get_name_id_map();
    prop_id lookup_prop_id(const guid& set, std::int32_t number);
    prop_id lookup_prop_id(const guid& set, const std::wstring& name);

private:
    std::shared_ptr<db_context> m_db;
    std::shared_ptr<property_bag> m_bag;
    std::shared_ptr<name_id_map> m_name_map;
};

}  // namespace pstcore
