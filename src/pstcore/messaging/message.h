#pragma once
// message.h: one message — the property bag on its node, and the recipient and attachment tables in its
// subnodes 0x692 and 0x671, each looked up on first use and kept (copies made after that share them). Nothing
// is read from the file until asked. Bodies are streamed, never read whole by this class. Strings decode with
// the bag's text encoding, which the caller attaches (a new message has none). Not thread-safe.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "pstcore/messaging/attachment.h"
#include "pstcore/messaging/iterators.h"
#include "pstcore/messaging/recipient.h"
#include "pstcore/ndb/node.h"
#include "pstcore/tables/hnid_stream.h"
#include "pstcore/tables/property_bag.h"
#include "pstcore/tables/table.h"

namespace pstcore {

class message {
public:
    // `depth`: 0 for a folder's message, n for a message attached n levels down.
    explicit message(const node& n, unsigned depth = 0);

    property_bag& get_property_bag() { return m_bag; }
    const property_bag& get_property_bag() const { return m_bag; }
    const node& get_node() const { return m_bag.get_node(); }
    unsigned get_depth() const { return m_depth; }

    // Throw key_not_found<unsigned int> when the message has no such subnode.
    const table& get_attachment_table() const;
    const table& get_recipient_table() const;
    // 0 when the subnode is absent; every other error passes.
    std::size_t get_attachment_count() const;
    std::size_t get_recipient_count() const;

    // Empty ranges when the subnode is absent.
    attachment_iterator attachment_begin() const;
    attachment_iterator attachment_end() const;
    recipient_iterator recipient_begin() const;
    recipient_iterator recipient_end() const;

    bool has_subject() const;
    // Property 0x0037 without its prefix marker (U+0001 and the length character); a subject that is nothing
    // but the marker reads as empty.
    std::wstring get_subject() const;

    bool has_body() const;
    // The plain-text body (0x1000) and the HTML body (0x1013) as stored; key_not_found<prop_id> when absent.
    hnid_stream_device open_body_stream() const;
    hnid_stream_device open_html_body_stream() const;

    // Property 0x0E08; key_not_found<prop_id> when absent (a valid message may lack it).
    std::int32_t size() const;
    // A time property (0x0039, 0x0E06, ...) in seconds since 1970 UTC, or nothing when absent. Throws
    // not_implemented "vt_date_to_time_t" for a floating-point date.
    std::optional<std::int64_t> get_time(prop_id id) const;

private:
    // Null when the subnode is absent; `absent` remembers that answer.
    const table* find_table(std::shared_ptr<table>& slot, bool& absent, node_id id) const;
    const table& require_table(std::shared_ptr<table>& slot, bool& absent, node_id id) const;

    property_bag m_bag;
    unsigned m_depth;
    mutable std::shared_ptr<table> m_attachments;
    mutable std::shared_ptr<table> m_recipients;
    mutable bool m_attachments_absent = false;
    mutable bool m_recipients_absent = false;
};

// The subject rule on a string already read: drops the marker and the length character.
std::wstring strip_subject_prefix(std::wstring subject);

}  // namespace pstcore
