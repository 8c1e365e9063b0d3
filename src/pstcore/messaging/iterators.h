#pragma once
// iterators.h: table rows turned into objects. The row-to-object transforms hold only what they need to build
// the object (the database, or the message node whose subnodes hold the attachments); the iterators are Boost
// transform (and filter) iterators over the table's row iterator, so they visit rows in row order and build
// one object per dereference. Iterators hold their table and stay valid while any copy of it lives.
// Dereferencing a row whose node is missing throws key_not_found<unsigned int>.

#include <memory>

#include <boost/iterator/filter_iterator.hpp>
#include <boost/iterator/transform_iterator.hpp>

#include "pstcore/ndb/node.h"
#include "pstcore/tables/table.h"

namespace pstcore {

class db_context;
class folder;
class message;
class attachment;

struct message_transform_row {
    std::shared_ptr<db_context> m_db;
    message operator()(const const_table_row& row) const;
};

struct folder_transform_row {
    std::shared_ptr<db_context> m_db;
    folder operator()(const const_table_row& row) const;
};

// Keeps hierarchy rows of normal folders: search folders and anything else are not sub-folders to walk.
struct is_normal_folder_row {
    bool operator()(const const_table_row& row) const;
};

struct attachment_transform_row {
    node m_message_node;
    unsigned m_depth = 0;  // of the message that holds the attachments
    attachment operator()(const const_table_row& row) const;
};

using message_iterator = boost::transform_iterator<message_transform_row, const_table_row_iter, message, message>;
using folder_row_iterator = boost::filter_iterator<is_normal_folder_row, const_table_row_iter>;
using folder_iterator = boost::transform_iterator<folder_transform_row, folder_row_iterator, folder, folder>;
using attachment_iterator =
    boost::transform_iterator<attachment_transform_row, const_table_row_iter, attachment, attachment>;
// A recipient is the recipient table's row itself.
using recipient_iterator = const_table_row_iter;

}  // namespace pstcore
