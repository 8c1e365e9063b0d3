#include "pstcore/messaging/folder.h"

#include "pstcore/messaging/messaging_format.h"
#include "pstcore/ndb/database.h"

namespace pstcore {

folder::folder(std::shared_ptr<db_context> db, const node& n) : m_db(std::move(db)), m_bag(n) {}

std::wstring folder::get_name() const {
    return m_bag.read_wstring(k_prop_display_name);
}

std::int64_t folder::get_item_count() const {
    if (!m_bag.find_prop_type(k_prop_content_count)) return 0;
    return static_cast<std::int32_t>(m_bag.get_value_4(k_prop_content_count));
}

std::optional<std::wstring> folder::get_container_class() const {
    if (!m_bag.find_prop_type(k_prop_container_class)) return std::nullopt;
    return m_bag.read_wstring(k_prop_container_class);
}

const table& folder::load(std::shared_ptr<table>& slot, std::uint32_t table_type) const {
    if (!slot) slot = std::make_shared<table>(open_table(m_db->lookup_node(folder_table_id(get_id(), table_type))));
    return *slot;
}

const table& folder::get_hierarchy_table() const {
    return load(m_hierarchy, k_nid_type_hierarchy_table);
}

const table& folder::get_contents_table() const {
    return load(m_contents, k_nid_type_contents_table);
}

folder_iterator folder::subfolder_begin() const {
    const table& t = get_hierarchy_table();
    return folder_iterator(folder_row_iterator(is_normal_folder_row{}, t.begin(), t.end()), folder_transform_row{m_db});
}

folder_iterator folder::subfolder_end() const {
    const table& t = get_hierarchy_table();
    return folder_iterator(folder_row_iterator(is_normal_folder_row{}, t.end(), t.end()), folder_transform_row{m_db});
}

message_iterator folder::message_begin() const {
    return message_iterator(get_contents_table().begin(), message_transform_row{m_db});
}

message_iterator folder::message_end() const {
    return message_iterator(get_contents_table().end(), message_transform_row{m_db});
}

}  // namespace pstcore
