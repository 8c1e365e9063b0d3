#include "pstcore/messaging/message.h"

#include "pstcore/messaging/messaging_format.h"
#include "pstcore/ndb/exceptions.h"

namespace pstcore {

message::message(const node& n, unsigned depth) : m_bag(n), m_depth(depth) {}

const table* message::find_table(std::shared_ptr<table>& slot, bool& absent, node_id id) const {
    if (absent) return nullptr;
    if (!slot) {
        // Only a missing subnode means "no such table"; a damaged one must still fail.
        const std::optional<node> sub = get_node().find(id);
        if (!sub) {
            absent = true;
            return nullptr;
        }
        slot = std::make_shared<table>(open_table(*sub));
    }
    return slot.get();
}

const table& message::require_table(std::shared_ptr<table>& slot, bool& absent, node_id id) const {
    if (const table* t = find_table(slot, absent, id)) return *t;
    throw key_not_found<unsigned int>(id);
}

const table& message::get_attachment_table() const {
    return require_table(m_attachments, m_attachments_absent, k_nid_attachment_table);
}

const table& message::get_recipient_table() const {
    return require_table(m_recipients, m_recipients_absent, k_nid_recipient_table);
}

std::size_t message::get_attachment_count() const {
    const table* t = find_table(m_attachments, m_attachments_absent, k_nid_attachment_table);
    return t ? t->size() : 0;
}

std::size_t message::get_recipient_count() const {
    const table* t = find_table(m_recipients, m_recipients_absent, k_nid_recipient_table);
    return t ? t->size() : 0;
}

attachment_iterator message::attachment_begin() const {
    const attachment_transform_row transform{get_node(), m_depth};
    const table* t = find_table(m_attachments, m_attachments_absent, k_nid_attachment_table);
    return attachment_iterator(t ? t->begin() : const_table_row_iter(), transform);
}

attachment_iterator message::attachment_end() const {
    const attachment_transform_row transform{get_node(), m_depth};
    const table* t = find_table(m_attachments, m_attachments_absent, k_nid_attachment_table);
    return attachment_iterator(t ? t->end() : const_table_row_iter(), transform);
}

recipient_iterator message::recipient_begin() const {
    const table* t = find_table(m_recipients, m_recipients_absent, k_nid_recipient_table);
    return t ? t->begin() : const_table_row_iter();
}

recipient_iterator message::recipient_end() const {
    const table* t = find_table(m_recipients, m_recipients_absent, k_nid_recipient_table);
    return t ? t->end() : const_table_row_iter();
}

bool message::has_subject() const {
    return m_bag.prop_exists(k_prop_subject);
}

std::wstring strip_subject_prefix(std::wstring subject) {
    if (subject.empty() || subject.front() != k_subject_marker) return subject;
    // The marker alone, or with its length character and no text, is an empty subject.
    return subject.size() <= 2 ? std::wstring() : subject.substr(2);
}

std::wstring message::get_subject() const {
    return strip_subject_prefix(m_bag.read_wstring(k_prop_subject));
}

bool message::has_body() const {
    return m_bag.prop_exists(k_prop_body);
}

hnid_stream_device message::open_body_stream() const {
    return m_bag.open_prop_stream(k_prop_body);
}

hnid_stream_device message::open_html_body_stream() const {
    return m_bag.open_prop_stream(k_prop_html);
}

std::int32_t message::size() const {
    return static_cast<std::int32_t>(m_bag.get_value_4(k_prop_message_size));
}

std::optional<std::int64_t> message::get_time(prop_id id) const {
    if (!m_bag.find_prop_type(id)) return std::nullopt;
    return m_bag.read_time(id);
}

}  // namespace pstcore
