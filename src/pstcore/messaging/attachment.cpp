#include "pstcore/messaging/attachment.h"

#include <typeinfo>

#include "pstcore/messaging/message.h"
#include "pstcore/messaging/messaging_format.h"
#include "pstcore/ndb/byte_reader.h"
#include "pstcore/ndb/exceptions.h"

namespace pstcore {

attachment::attachment(const node& n, unsigned depth) : m_bag(n), m_depth(depth) {}

std::optional<std::int32_t> attachment::get_method() const {
    if (!m_bag.find_prop_type(k_prop_attach_method)) return std::nullopt;
    return static_cast<std::int32_t>(m_bag.get_value_4(k_prop_attach_method));
}

bool attachment::is_message() const {
    return get_method() == k_attach_embedded_message;
}

bool attachment::has_data() const {
    return m_bag.prop_exists(k_prop_attach_data);
}

bool attachment::data_is_object() const {
    return m_bag.get_prop_type(k_prop_attach_data) == k_type_object;
}

node attachment::object_node() const {
    // An object value is the subnode id and the object's size; the bytes live in that subnode.
    const std::vector<std::byte> raw = m_bag.get_value_variable(k_prop_attach_data);
    const node_id id = byte_reader(raw).read<std::uint32_t>(0);
    return get_node().lookup(id);
}

std::uint64_t attachment::get_data_size() const {
    if (data_is_object()) return object_node().size();
    return m_bag.size(k_prop_attach_data);
}

std::vector<std::byte> attachment::get_bytes() const {
    if (!data_is_object()) return m_bag.get_value_variable(k_prop_attach_data);
    const node sub = object_node();
    std::vector<std::byte> bytes(static_cast<std::size_t>(sub.size()));
    if (!bytes.empty() && sub.read(bytes, std::uint64_t{0}) != bytes.size())
        throw database_corrupt("subnode stream shorter than its size");
    return bytes;
}

hnid_stream_device attachment::open_byte_stream() const {
    if (data_is_object()) return hnid_stream_device(object_node());
    return m_bag.open_prop_stream(k_prop_attach_data);
}

message attachment::open_as_message() const {
    if (!is_message()) throw std::bad_cast();
    if (m_depth >= k_max_embedded_depth) throw database_corrupt("embedded messages nested too deep");
    return message(object_node(), m_depth + 1);
}

}  // namespace pstcore
