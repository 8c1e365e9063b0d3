#include "store_calendar.h"

#include "store_items.h"

namespace pstwrite {

namespace {

constexpr std::uint64_t ticks_per_minute = 600'000'000ull;
constexpr std::uint16_t aro_subject = 0x0001, aro_meeting_type = 0x0002, aro_reminder_delta = 0x0004,
                        aro_reminder = 0x0008, aro_location = 0x0010, aro_busy_status = 0x0020, aro_attachment = 0x0040,
                        aro_subtype = 0x0080, aro_color = 0x0100;

bytes latin1(std::u16string_view s) {
    bytes b;
    for (char16_t c : s) b.push_back(std::byte(c < 0x100 ? c : '?'));
    return b;
}

void put_bytes(bytes& out, const bytes& in) {
    out.insert(out.end(), in.begin(), in.end());
}

void put_short_string(bytes& out, std::u16string_view s) {
    put_u16(out, static_cast<std::uint16_t>(s.size() + 1));
    put_u16(out, static_cast<std::uint16_t>(s.size()));
    put_bytes(out, latin1(s));
}

void put_wide_string(bytes& out, std::u16string_view s) {
    put_u16(out, static_cast<std::uint16_t>(s.size()));
    for (char16_t c : s) put_u16(out, static_cast<std::uint16_t>(c));
}

void put_exception_info(bytes& out, const recurrence_exception_fields& e) {
    put_u32(out, e.start);
    put_u32(out, e.end);
    put_u32(out, e.original_start);
    put_u16(out, e.flags);
    if (e.flags & aro_subject) put_short_string(out, e.subject);
    if (e.flags & aro_meeting_type) put_u32(out, 0);
    if (e.flags & aro_reminder_delta) put_u32(out, e.reminder_delta);
    if (e.flags & aro_reminder) put_u32(out, 1);
    if (e.flags & aro_location) put_short_string(out, e.location);
    if (e.flags & aro_busy_status) put_u32(out, e.busy_status);
    if (e.flags & aro_attachment) put_u32(out, 0);
    if (e.flags & aro_subtype) put_u32(out, 0);
    if (e.flags & aro_color) put_u32(out, 0);
}

void put_extended_exception(bytes& out, const recurrence_exception_fields& e, std::uint32_t writer_version2) {
    if (writer_version2 >= 0x3009) {
        put_u32(out, 4);  // change highlight: its size, then the value
        put_u32(out, 0);
    }
    put_u32(out, 0);  // reserved block
    if (!(e.flags & (aro_subject | aro_location))) return;
    put_u32(out, e.start);
    put_u32(out, e.end);
    put_u32(out, e.original_start);
    if (e.flags & aro_subject) put_wide_string(out, e.subject);
    if (e.flags & aro_location) put_wide_string(out, e.location);
    put_u32(out, 0);  // second reserved block
}

prop::value text_list(const message_builder& m, const std::vector<std::u16string>& list) {
    if (m.text(u"").type == prop::pt_unicode) return prop::mv_unicode(list);
    std::vector<std::string> narrow;
    for (const auto& s : list) {
        const bytes b = latin1(s);
        narrow.emplace_back(reinterpret_cast<const char*>(b.data()), b.size());
    }
    return prop::mv_string8(narrow, 1252);
}

void add_attendee(message_builder& m, const attendee_fields& a) {
    recipient r{a.name, a.email, static_cast<recipient_kind>(a.type)};
    r.extra.emplace_back(0x0FFE0003, prop::i32(a.object_type));
    if (a.flags) r.extra.emplace_back(0x5FFD0003, prop::i32(*a.flags));
    if (a.track_status) r.extra.emplace_back(0x5FFF0003, prop::i32(*a.track_status));
    m.add_recipient(std::move(r));
}

void add_exception_item(message_builder& m, const exception_item_fields& e) {
    attachment_builder& a = m.add_attachment();
    a.set(0x7FFD, prop::i32(2));  // PidTagAttachmentFlags: afException
    a.set(0x7FFE, prop::boolean(true));
    a.set(0x7FFB, prop::time(e.start));
    a.set(0x7FFC, prop::time(e.end));
    message_builder& inner = a.set_embedded_message("IPM.OLE.CLASS.{00061055-0000-0000-C000-000000000046}");
    inner.set_named({PSETID_Appointment, 0x820Du}, prop::time(e.start));
    inner.set_named({PSETID_Appointment, 0x820Eu}, prop::time(e.end));
    inner.set_named({PSETID_Appointment, 0x8228u}, prop::time(e.replace_time));
    if (!e.body.empty()) inner.set_body(e.body);
}

}  // namespace

std::uint32_t local_minutes(int year, int month, int day, int hour, int minute) {
    return static_cast<std::uint32_t>(filetime(year, month, day, hour, minute) / ticks_per_minute);
}

bytes recurrence_blob(const recurrence_fields& f) {
    bytes b;
    put_u16(b, 0x3004);  // reader version
    put_u16(b, 0x3004);  // writer version
    put_u16(b, f.frequency);
    put_u16(b, f.pattern_type);
    put_u16(b, 0);  // Gregorian
    put_u32(b, f.first_date_time);
    put_u32(b, f.period);
    put_u32(b, 0);  // sliding flag
    for (std::uint32_t v : f.pattern_specific) put_u32(b, v);
    put_u32(b, f.end_type);
    put_u32(b, f.occurrence_count);
    put_u32(b, f.first_dow);
    put_u32(b, static_cast<std::uint32_t>(f.deleted.size()));
    for (std::uint32_t d : f.deleted) put_u32(b, d);
    put_u32(b, static_cast<std::uint32_t>(f.modified.size()));
    for (std::uint32_t d : f.modified) put_u32(b, d);
    put_u32(b, f.start_date);
    put_u32(b, f.end_date);
    put_u32(b, 0x3006);
    put_u32(b, f.writer_version2);
    put_u32(b, f.start_offset);
    put_u32(b, f.end_offset);
    put_u16(b, static_cast<std::uint16_t>(f.exceptions.size()));
    for (const auto& e : f.exceptions) put_exception_info(b, e);
    put_u32(b, 0);  // reserved block 1
    for (const auto& e : f.exceptions) put_extended_exception(b, e, f.writer_version2);
    put_u32(b, 0);  // reserved block 2
    return b;
}

void fill_calendar_item(message_builder& m, const calendar_item_fields& c) {
    const auto appointment = [&](std::uint32_t lid, prop::value v) { m.set_named({PSETID_Appointment, lid}, v); };
    const auto common = [&](std::uint32_t lid, prop::value v) { m.set_named({PSETID_Common, lid}, v); };
    m.set_subject(c.subject);
    if (!c.body.empty()) m.set_body(c.body);
    if (c.start) appointment(0x820D, prop::time(c.start));
    if (c.end) appointment(0x820E, prop::time(c.end));
    if (!c.location.empty()) appointment(0x8208, m.text(c.location));
    appointment(0x8215, prop::boolean(c.all_day));
    if (c.busy_status) appointment(0x8205, prop::i32(*c.busy_status));
    if (c.sequence) appointment(0x8201, prop::i32(*c.sequence));
    appointment(0x8223, prop::boolean(c.recurrence.has_value()));
    if (c.recurrence) appointment(0x8216, prop::binary(*c.recurrence));
    if (c.is_private) common(0x8506, prop::boolean(*c.is_private));
    if (c.reminder_set) common(0x8503, prop::boolean(*c.reminder_set));
    if (c.reminder_delta) common(0x8501, prop::i32(*c.reminder_delta));
    if (!c.categories.empty()) m.set_named({PS_PUBLIC_STRINGS, u"Keywords"}, text_list(m, c.categories));
    if (c.importance) m.set(0x0017, prop::i32(*c.importance));
    if (c.response_requested) m.set(0x0063, prop::boolean(*c.response_requested));
    if (c.created) m.set(0x3007, prop::time(c.created));
    if (c.modified) m.set(0x3008, prop::time(c.modified));
    if (!c.sender_name.empty()) m.set_text(0x0C1A, c.sender_name);
    if (!c.sender_email.empty()) {
        m.set_text(0x0C1F, c.sender_email);
        m.set_text(0x0C1E, c.sender_address_type);
    }
    for (const auto& a : c.attendees) add_attendee(m, a);
    for (const auto& e : c.exceptions) add_exception_item(m, e);
    for (const auto& name : c.file_attachments) m.add_attachment().set_data(name, to_bytes("notes\r\n"), u"text/plain");
}

}  // namespace pstwrite
