#include "export_fixtures.h"

#include <stdexcept>

#include "contact_props.h"
#include "ltp_format.h"
#include "ndb_bytes.h"
#include "ndb_format.h"
#include "pstcore/ndb/crypt.h"
#include "store_calendar.h"
#include "store_items.h"

namespace pstwrite {

message_builder& add_plain_mail(folder_builder& folder, const plain_mail& mail) {
    auto& msg = folder.add_message("IPM.Note");
    msg.set_subject(mail.subject);
    msg.set_body(mail.body);
    for (std::uint16_t id : {0x0C1A, 0x0042}) msg.set_text(id, u"Ana Lima");
    for (std::uint16_t id : {0x0C1F, 0x0065}) msg.set_text(id, u"ana@example.com");
    for (std::uint16_t id : {0x0C1E, 0x0064}) msg.set_text(id, u"SMTP");
    const auto when = filetime(2024, 3, 4, 9, 0) + static_cast<std::uint64_t>(mail.minute) * 600'000'000ull;
    msg.set(0x0039, prop::time(when));
    msg.set(0x0E06, prop::time(when));
    msg.set(0x0E07, prop::i32(mail.read ? 1 : 0));
    if (mail.stored_size != 0) msg.set(0x0E08, prop::i32(static_cast<std::int32_t>(mail.stored_size)));
    msg.add_recipient({u"Bo Berg", u"bo@example.com", recipient_kind::to});
    return msg;
}

message_builder& add_damaged_mail(folder_builder& folder) {
    return add_plain_mail(folder, {.subject = u"Damaged"}).set_fault(ltp_fault::heap_bad_signature);
}

void add_hostile_folders(folder_builder& parent) {
    const std::u16string surrogate = std::u16string(59, u'x') + u"\U0001F600" + u"tail-end";
    for (const std::u16string& name :
         {std::u16string(u".."), std::u16string(u"."), std::u16string(), std::u16string(u"a/b: c"),
          std::u16string(70, u'L'), surrogate, std::u16string(u"bell\a\u007f\u0001"), std::u16string(u"Twin"),
          std::u16string(u"Twin")})
        add_plain_mail(parent.add_folder(name, "IPF.Note"), {.subject = u"In " + name});
}

std::vector<std::byte> hostile_names_store(format f) {
    store_builder store(f, crypt::permute);
    store.set_name(u"Hostile");
    add_hostile_folders(store.ipm_subtree());
    auto& mixed = store.ipm_subtree().add_folder(u"Mixed", "IPF.Note");
    add_plain_mail(mixed, {.subject = u"Good one"});
    add_damaged_mail(mixed);
    add_plain_mail(mixed, {.subject = u"Good two", .read = false});
    add_damaged_mail(mixed);
    add_plain_mail(mixed, {.subject = u"Good three"});
    return store.write_to_memory();
}

std::vector<std::byte> nested_store(format f, std::uint32_t messages) {
    store_builder store(f, crypt::permute);
    store.set_name(u"Nested");
    auto& ipm = store.ipm_subtree();
    auto& inbox = ipm.add_folder(u"Inbox", "IPF.Note");
    auto& clients = inbox.add_folder(u"Clients", "IPF.Note");
    auto& archive = ipm.add_folder(u"Archive", "IPF.Note");
    auto& year = archive.add_folder(u"2023", "IPF.Note");
    std::vector<folder_builder*> folders{&inbox, &clients, &clients.add_folder(u"North", "IPF.Note"),
                                         &clients.add_folder(u"South", "IPF.Note"), &ipm.add_folder(u"Sent Items")};
    for (const char16_t* quarter : {u"Q1", u"Q2", u"Q3", u"Q4"}) folders.push_back(&year.add_folder(quarter));
    for (std::uint32_t i = 0; i < messages; ++i)
        add_plain_mail(*folders[i % folders.size()], {.subject = u"Report " + widen(std::to_string(i % 7)),
                                                      .read = i % 4 != 0,
                                                      .minute = static_cast<int>(i % 600)});
    return store.write_to_memory();
}

std::vector<std::byte> broken_index_store(format f, std::uint32_t messages) {
    store_builder store(f, crypt::permute);
    store.set_name(u"Broken index");
    auto& inbox = store.ipm_subtree().add_folder(u"Inbox", "IPF.Note");
    for (std::uint32_t i = 0; i < messages; ++i)
        add_plain_mail(inbox, {.subject = u"Mail " + widen(std::to_string(i + 1)), .minute = static_cast<int>(i)});
    auto bytes = store.write_to_memory();
    const layout& where = store.where();
    const auto& s = ndb_format::sizes_of(f);
    // Mails are made after the folders, so their node ids are the highest: the last leaf holds only mails.
    const page_place* last = nullptr;
    std::uint64_t last_key = 0;
    for (const page_place& page : where.pages) {
        if (page.which != tree::nbt || page.level != 0 || page.entries == 0) continue;
        const std::uint64_t key = load_le(std::span(bytes).subspan(page.ib, s.id), 0, s.id);
        if (!last || key > last_key) {
            last = &page;
            last_key = key;
        }
    }
    if (!last || last_key >> 5 == 0 || (last_key & 0x1F) != 0x04)
        throw std::invalid_argument("too few mails for a leaf page of their own");
    auto page = std::span(bytes).subspan(last->ib, ndb_format::page_size);
    store_u16(page, s.page_data + 2, static_cast<std::uint16_t>(load_le(page, s.page_data + 2, 2) ^ 0x0101));
    store_u32(page, s.page_data + (f == format::unicode ? 4 : 8), pstcore::compute_crc(page.first(s.page_data)));
    return bytes;
}

namespace {

constexpr std::uint64_t ticks_per_minute = 600'000'000ull;

calendar_item_fields meeting(std::u16string subject, std::uint64_t start, int minutes) {
    calendar_item_fields c;
    c.subject = std::move(subject);
    c.location = u"Room 1";
    c.start = start;
    c.end = start + static_cast<std::uint64_t>(minutes) * ticks_per_minute;
    c.busy_status = 2;
    c.sender_name = u"Anna Lind";
    c.sender_email = u"anna@example.com";
    return c;
}

}  // namespace

std::vector<std::byte> pim_store(format f, const std::u16string& name) {
    store_builder store(f, crypt::permute);
    store.set_name(name);
    auto& contacts = store.ipm_subtree().add_folder(u"Contacts", "IPF.Contact");
    for (const auto& [given, surname] : {std::pair<std::u16string, std::u16string>{u"Ann", u"Lee"},
                                         {u"Bo", u"Chen"},
                                         {u"Ann", u"Lee"},
                                         {u"a/b:", u"c"}}) {
        auto& c = contacts.add_message("IPM.Contact");
        fill_contact(c, {given, surname, given + u"@example.com", u"Example Ltd", u"+1 555 0100"});
    }
    contacts.add_message("IPM.Contact").set_fault(ltp_fault::heap_bad_signature);
    auto& friends = contacts.add_folder(u"Friends", "IPF.Contact");
    fill_contact(friends.add_message("IPM.Contact"), {u"Cy", u"Diaz", u"cy@example.com", u"", u""});

    auto& calendar = store.ipm_subtree().add_folder(u"Calendar", "IPF.Appointment");
    calendar_item_fields plan = meeting(u"Plan", filetime(2024, 3, 5, 14, 0), 60);
    plan.body = u"Agenda follows.";
    plan.file_attachments = {u"agenda.txt"};
    fill_calendar_item(calendar.add_message("IPM.Appointment"), plan);

    calendar_item_fields weekly = meeting(u"Weekly sync", filetime(2024, 3, 5, 9, 0), 30);
    recurrence_fields rule;
    rule.frequency = 0x200B;
    rule.pattern_type = 1;
    rule.pattern_specific = {0x04};  // Tuesday
    rule.first_date_time = 8640;
    rule.start_date = local_minutes(2024, 3, 5);
    rule.start_offset = 9 * 60;
    rule.end_offset = 9 * 60 + 30;
    rule.end_type = 0x2022;
    rule.occurrence_count = 6;
    rule.end_date = local_minutes(2024, 4, 9);
    const std::uint32_t moved_day = local_minutes(2024, 3, 12);
    rule.deleted = {moved_day};
    rule.modified = {moved_day};
    recurrence_exception_fields moved;
    moved.start = local_minutes(2024, 3, 12, 11);
    moved.end = moved.start + 30;
    moved.original_start = moved_day + rule.start_offset;
    rule.exceptions = {moved};
    weekly.recurrence = recurrence_blob(rule);
    weekly.exceptions = {
        {filetime(2024, 3, 12, 11, 0), filetime(2024, 3, 12, 11, 30), filetime(2024, 3, 12, 9, 0), u""}};
    fill_calendar_item(calendar.add_message("IPM.Appointment"), weekly);

    fill_calendar_item(calendar.add_message("IPM.Appointment"), meeting(u"Quiet", filetime(2024, 3, 6, 8, 0), 15));
    auto& damaged = calendar.add_message("IPM.Appointment");
    fill_calendar_item(damaged, meeting(u"Damaged", filetime(2024, 3, 7, 8, 0), 15));
    damaged.set_fault(ltp_fault::heap_bad_signature);
    calendar_item_fields garbled = meeting(u"Garbled", filetime(2024, 3, 8, 8, 0), 15);
    garbled.recurrence = bytes{std::byte{0x04}, std::byte{0x30}, std::byte{0x04}, std::byte{0x30},
                               std::byte{0x0B}, std::byte{0x20}, std::byte{0x01}};
    fill_calendar_item(calendar.add_message("IPM.Appointment"), garbled);
    return store.write_to_memory();
}

}  // namespace pstwrite
