#include "pstcore/messaging/iterators.h"

#include "pstcore/messaging/attachment.h"
#include "pstcore/messaging/folder.h"
#include "pstcore/messaging/message.h"
#include "pstcore/messaging/messaging_format.h"
#include "pstcore/ndb/database.h"

namespace pstcore {

message message_transform_row::operator()(const const_table_row& row) const {
    return message(m_db->lookup_node(row.get_row_id()));
}

folder folder_transform_row::operator()(const const_table_row& row) const {
    return folder(m_db, m_db->lookup_node(row.get_row_id()));
}

bool is_normal_folder_row::operator()(const const_table_row& row) const {
    return nid_type(row.get_row_id()) == k_nid_type_normal_folder;
}

attachment attachment_transform_row::operator()(const const_table_row& row) const {
    return attachment(m_message_node.lookup(row.get_row_id()), m_depth);
}

}  // namespace pstcore
