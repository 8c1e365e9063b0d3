#pragma once
// attachment.h: one attachment of a message — a property bag on a subnode of the message node. Its data is
// read whole (get_bytes) or streamed (open_byte_stream), whatever the size; an attached message opens as a
// `message` one level deeper. An OLE object's data (0x3701 stored as an object) lives in a subnode of the
// attachment and is read from there; an attachment by reference has no data. Copies share the bag and keep
// the file open. Starts with no text encoding. Not thread-safe.

#include <cstdint>
#include <vector>

#include "pstcore/ndb/node.h"
#include "pstcore/tables/hnid_stream.h"
#include "pstcore/tables/property_bag.h"

namespace pstcore {

class message;

class attachment {
public:
    // `depth`: how many attached messages enclose the message this attachment belongs to (0 for a folder's).
    explicit attachment(const node& n, unsigned depth = 0);

    property_bag& get_property_bag() { return m_bag; }
    const property_bag& get_property_bag() const { return m_bag; }
    const node& get_node() const { return m_bag.get_node(); }

    // Property 0x3705, or nothing when absent.
    std::optional<std::int32_t> get_method() const;
    // The attach method is 5 (an attached message).
    bool is_message() const;
    // Property 0x3701 exists.
    bool has_data() const;
    // The data's size in bytes; key_not_found<prop_id> without data.
    std::uint64_t get_data_size() const;
    // The data whole; key_not_found<prop_id> without data.
    std::vector<std::byte> get_bytes() const;
    // A stream over the data (wrap it in prop_stream for a std::istream); key_not_found<prop_id> without data.
    hnid_stream_device open_byte_stream() const;
    // The attached message, with no text encoding. Throws std::bad_cast unless is_message(), key_not_found
    // when its subnode is missing, database_corrupt "embedded messages nested too deep" past
    // k_max_embedded_depth levels.
    message open_as_message() const;

private:
    // The subnode that an object-typed 0x3701 names (its value starts with the subnode id).
    node object_node() const;
    bool data_is_object() const;

    property_bag m_bag;
    unsigned m_depth;
};

}  // namespace pstcore
