#include "pstcore/messaging/pst.h"

#include "pstcore/messaging/messaging_format.h"
#include "pstcore/ndb/exceptions.h"

namespace pstcore {

pst::pst(const std::string& path) : m_db(open_database(path)) {}

pst::pst(std::shared_ptr<db_context> db) : m_db(std::move(db)) {}

property_bag& pst::get_property_bag() {
    if (!m_bag) m_bag = std::make_shared<property_bag>(m_db->lookup_node(k_nid_message_store));
    return *m_bag;
}

std::wstring pst::get_name() {
    return get_property_bag().read_wstring(k_prop_display_name);
}

folder pst::open_root_folder() const {
    return folder(m_db, m_db->lookup_node(k_nid_root_folder));
}

folder pst::open_top_folder() const {
    const folder root = open_root_folder();
    auto first = root.subfolder_begin();
    if (first == root.subfolder_end()) throw database_corrupt("the store has no top folder");
    return *first;
}

const name_id_map& pst::get_name_id_map() {
    if (!m_name_map) m_name_map = std::make_shared<name_id_map>(m_db);
    return *m_name_map;
}

prop_id pst::lookup_prop_id(const guid& set, std::int32_t number) {
    return get_name_id_map().lookup(set, number);
}

prop_id pst::lookup_prop_id(const guid& set, const std::wstring& name) {
    return get_name_id_map().lookup(set, name);
}

}  // namespace pstcore
