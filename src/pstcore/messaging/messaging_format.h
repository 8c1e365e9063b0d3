#pragma once
// messaging_format.h: the fixed node ids, node types, subnode ids and property ids that stores, folders,
// messages and attachments are found by. The layers below know nothing of these.

#include <cstdint>

#include "pstcore/ndb/types.h"
#include "pstcore/tables/tables_format.h"

namespace pstcore {

// Fixed nodes of every store.
inline constexpr node_id k_nid_message_store = 0x21;
inline constexpr node_id k_nid_name_id_map = 0x61;
inline constexpr node_id k_nid_root_folder = 0x122;

// Node types (the low five bits of a node id).
inline constexpr std::uint32_t k_nid_type_normal_folder = 0x02;
inline constexpr std::uint32_t k_nid_type_search_folder = 0x03;
inline constexpr std::uint32_t k_nid_type_hierarchy_table = 0x0D;
inline constexpr std::uint32_t k_nid_type_contents_table = 0x0E;

// A folder's tables share its node index and differ in type.
constexpr node_id folder_table_id(node_id folder, std::uint32_t table_type) {
    return (folder & ~node_id{0x1F}) | table_type;
}

// Subnodes of a message node.
inline constexpr node_id k_nid_attachment_table = 0x671;
inline constexpr node_id k_nid_recipient_table = 0x692;

// Properties read by this layer.
inline constexpr prop_id k_prop_display_name = 0x3001;
inline constexpr prop_id k_prop_content_count = 0x3602;
inline constexpr prop_id k_prop_container_class = 0x3613;
inline constexpr prop_id k_prop_message_class = 0x001A;
inline constexpr prop_id k_prop_subject = 0x0037;
inline constexpr prop_id k_prop_client_submit_time = 0x0039;
inline constexpr prop_id k_prop_sender_name = 0x0C1A;
inline constexpr prop_id k_prop_delivery_time = 0x0E06;
inline constexpr prop_id k_prop_message_flags = 0x0E07;
inline constexpr prop_id k_prop_message_size = 0x0E08;
inline constexpr prop_id k_prop_body = 0x1000;
inline constexpr prop_id k_prop_html = 0x1013;
inline constexpr prop_id k_prop_recipient_type = 0x0C15;
inline constexpr prop_id k_prop_smtp_address = 0x39FE;
inline constexpr prop_id k_prop_attach_data = 0x3701;
inline constexpr prop_id k_prop_attach_method = 0x3705;

inline constexpr prop_type k_type_object = 0x000D;

// Attach method of an attached message.
inline constexpr std::int32_t k_attach_embedded_message = 5;

// Subject prefix marker: U+0001 then one character that gives the prefix length.
inline constexpr wchar_t k_subject_marker = L'\x01';

// Attached messages nest inside each other's subnodes; a file could make that chain endless.
inline constexpr unsigned k_max_embedded_depth = 32;

}  // namespace pstcore
