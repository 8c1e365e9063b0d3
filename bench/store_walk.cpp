#include "store_walk.h"

#include <algorithm>
#include <array>
#include <exception>
#include <span>
#include <string>
#include <vector>

#include "encoding/compressed_rtf.h"
#include "pstcore/messaging/folder_walk.h"
#include "pstcore/messaging/messaging_format.h"

namespace mailferry::bench {
namespace {

namespace types = pstcore::prop_types;

constexpr pstcore::prop_id k_prop_rtf_compressed = 0x1009;
constexpr std::size_t k_chunk = 64 * 1024;
constexpr std::array<pstcore::prop_id, 3> k_body_props{pstcore::k_prop_body, pstcore::k_prop_html,
                                                       k_prop_rtf_compressed};
constexpr std::array<pstcore::prop_id, 1> k_attachment_data{pstcore::k_prop_attach_data};

// The stream of a property whose type has no reader of its own, read through and dropped.
void drain_stream(pstcore::hnid_stream_device device) {
    std::array<char, 4096> buffer;
    while (device.read(buffer.data(), buffer.size()) > 0) {
    }
}

class walker {
public:
    explicit walker(const mailferry::TextEncodingItem* encoding) : m_encoding(encoding) {}

    void walk_folder(pstcore::folder& f) {
        ++m_counts.folders;
        f.get_property_bag().set_text_encoding(m_encoding);
        read_all(f.get_property_bag(), {});
        f.get_name();
        for (auto it = f.message_begin(), end = f.message_end(); it != end; ++it) {
            try {
                pstcore::message m = *it;
                walk_message(m);
            } catch (const std::exception&) {
                ++m_counts.damaged_items;
            }
        }
    }

    const walk_counts& counts() const { return m_counts; }
    walk_counts& counts() { return m_counts; }

private:
    void walk_message(pstcore::message& m) {
        ++m_counts.messages;
        auto& bag = m.get_property_bag();
        bag.set_text_encoding(m_encoding);
        // The bodies are streamed below rather than decoded whole here.
        read_all(bag, k_body_props);
        if (m.has_subject()) m.get_subject();
        if (bag.prop_exists(pstcore::k_prop_body)) {
            ++m_counts.properties;
            m_counts.body_bytes += drain(m.open_body_stream());
        }
        if (bag.prop_exists(pstcore::k_prop_html)) {
            ++m_counts.properties;
            m_counts.body_bytes += drain(m.open_html_body_stream());
        }
        if (bag.prop_is(k_prop_rtf_compressed, types::binary)) {
            ++m_counts.properties;
            std::string rtf;
            std::vector<mailferry::rtf_picture_info> pictures;
            try {
                mailferry::DecompressRtf(bag.get_value_variable(k_prop_rtf_compressed), rtf, pictures);
            } catch (const mailferry::compressed_rtf_error&) {
                // The converter writes such a message without its RTF part; not a damaged item.
            }
            m_counts.body_bytes += rtf.size();
        }
        for (auto it = m.recipient_begin(), end = m.recipient_end(); it != end; ++it) {
            pstcore::recipient row = *it;
            row.set_text_encoding(m_encoding);
            ++m_counts.recipients;
            read_all(row, {});
        }
        for (auto it = m.attachment_begin(), end = m.attachment_end(); it != end; ++it) {
            pstcore::attachment a = *it;
            walk_attachment(a);
        }
    }

    void walk_attachment(pstcore::attachment& a) {
        ++m_counts.attachments;
        a.get_property_bag().set_text_encoding(m_encoding);
        // The data is streamed below, whatever its size, never read whole.
        read_all(a.get_property_bag(), k_attachment_data);
        if (a.has_data()) ++m_counts.properties;
        if (a.is_message()) {
            pstcore::message inner = a.open_as_message();
            walk_message(inner);
        } else if (a.has_data()) {
            m_counts.attachment_bytes += drain(a.open_byte_stream());
        }
    }

    // Every value of the object, each by the reader the converter uses for its type.
    void read_all(const pstcore::const_property_object& object, std::span<const pstcore::prop_id> skip) {
        for (const pstcore::prop_id id : object.get_prop_list()) {
            if (std::find(skip.begin(), skip.end(), id) != skip.end()) continue;
            ++m_counts.properties;
            read_property(object, id);
        }
    }

    std::uint64_t drain(pstcore::hnid_stream_device device) {
        std::uint64_t total = 0;
        for (std::streamsize got; (got = device.read(m_buffer.data(), k_chunk)) > 0;)
            total += static_cast<std::uint64_t>(got);
        return total;
    }

    const mailferry::TextEncodingItem* m_encoding;  // a row of the static code-page table, or null
    walk_counts m_counts;
    std::vector<char> m_buffer = std::vector<char>(k_chunk);
};

}  // namespace

void read_property(const pstcore::const_property_object& object, pstcore::prop_id id) {
    const pstcore::prop_type type = object.get_prop_type(id);
    if (pstcore::is_inline_type(type))
        object.get_value_4(id);
    else if (type == types::systime)
        object.read_time(id);
    else if (pstcore::is_eight_byte_type(type))
        object.get_value_8(id);
    else if (type == types::string8 || type == types::unicode)
        object.read_utf8string(id);
    else if (type == types::multi_string8 || type == types::multi_unicode)
        object.read_utf8string_array(id);
    else if (type == (types::multi_flag | types::binary))
        object.read_prop_array(id);
    else
        drain_stream(object.open_prop_stream(id));
}

walk_counts walk_store(pstcore::pst& store, const mailferry::TextEncodingItem* encoding) {
    walker w(encoding);
    store.get_property_bag().set_text_encoding(encoding);
    try {
        store.get_name();
    } catch (const std::exception&) {
        ++w.counts().damaged_items;
    }
    const pstcore::folder root = store.open_root_folder();
    try {
        pstcore::visit_folders(root, [&](pstcore::folder& f, unsigned) {
            try {
                w.walk_folder(f);
            } catch (const std::exception&) {
                ++w.counts().damaged_folders;
            }
        });
    } catch (const std::exception&) {
        // A hierarchy table that cannot be read ends the walk below it; what was read stays counted.
        ++w.counts().damaged_folders;
    }
    return w.counts();
}

}  // namespace mailferry::bench
