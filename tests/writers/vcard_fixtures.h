#pragma once
// vcard_fixtures.h: the contacts the vCard tests write, shared by the writer's tests and by the store files the
// independent-reader check reads (reader_dump). Every contact sits in one "Contacts" folder.

#include <cstdint>
#include <string>
#include <vector>

#include "pstwrite/contact_props.h"
#include "pstwrite/store_builder.h"
#include "pstwrite/store_items.h"

namespace mftest {

// A picture whose data is not a whole number of base64 lines: 3 full lines and a short one.
inline pstwrite::bytes PhotoBytes(std::uint8_t seed = 0) {
    pstwrite::bytes jpeg;
    for (unsigned v : {0xFF, 0xD8, 0xFF, 0xE0}) jpeg.push_back(std::byte(v));
    for (unsigned i = 0; jpeg.size() < 200; ++i) jpeg.push_back(std::byte((i * 7 + seed) & 0xFF));
    return jpeg;
}

// Every field the writer reads, each text ending in `tail` (non-ASCII text, or a long run of it).
inline void FillAllFields(pstwrite::message_builder& m, std::u16string_view tail) {
    using namespace pstwrite::contact;
    const auto text = [&](std::u16string_view base) { return std::u16string(base) + std::u16string(tail); };
    const auto set = [&](std::uint16_t id, std::u16string_view base) { m.set_text(id, text(base)); };
    const auto named = [&](address_lid lid, std::u16string_view base) {
        pstwrite::set_address_named(m, lid, text(base));
    };
    m.set_subject(text(u"Dr. Ann B. Lee Jr."));
    m.set_text(0x3001, text(u"Dr. Ann B. Lee Jr."));
    set(surname, u"Lee");
    set(given_name, u"Ann");
    set(middle_name, u"B.");
    set(display_name_prefix, u"Dr.");
    set(generation, u"Jr.");
    set(nickname, u"Annie");
    set(home_po_box, u"PO Box 12");
    set(home_street, u"1 Main St");
    set(home_city, u"Springfield");
    set(home_state, u"IL");
    set(home_postal_code, u"62701");
    set(home_country, u"USA");
    named(home_address, u"1 Main St\r\nSpringfield, IL 62701");
    named(work_po_box, u"PO Box 34");
    named(work_street, u"200 Market St");
    named(work_city, u"Portland");
    named(work_state, u"OR");
    named(work_postal_code, u"97201");
    named(work_country, u"USA");
    named(work_address, u"200 Market St\r\nPortland, OR 97201");
    set(other_po_box, u"PO Box 56");
    set(other_street, u"3 Lake Rd");
    set(other_city, u"Madison");
    set(other_state, u"WI");
    set(other_postal_code, u"53703");
    set(other_country, u"USA");
    named(other_address, u"3 Lake Rd\r\nMadison, WI 53703");
    pstwrite::set_address_named(m, postal_address_id, pstwrite::prop::i32(2));
    set(company, u"Example, Inc.");
    set(department, u"R&D; Labs");
    set(title, u"Engineer");
    set(profession, u"Physicist");
    m.set(birthday, pstwrite::prop::time(pstwrite::filetime(1980, 2, 29, 5)));
    set(primary_phone, u"+1 555 0101");
    set(home_phone, u"+1 555 0102");
    set(home2_phone, u"+1 555 0103");
    set(mobile_phone, u"+1 555 0104");
    set(car_phone, u"+1 555 0105");
    set(pager, u"+1 555 0106");
    set(isdn, u"+1 555 0107");
    set(home_fax, u"+1 555 0108");
    set(company_main_phone, u"+1 555 0109");
    set(business_phone, u"+1 555 0110");
    set(business2_phone, u"+1 555 0111");
    set(primary_fax, u"+1 555 0112");
    set(business_fax, u"+1 555 0113");
    set(personal_home_page, u"https://ann.example.org/");
    set(business_home_page, u"https://example.com/ann");
    named(email1_address_type, u"SMTP");
    named(email1_address, u"ann@example.com");
    named(email1_original_display_name, u"ann@example.com");
    pstwrite::set_address_named(m, email2_address_type, m.text(u"EX"));
    named(email2_address, u"/o=Example/ou=First/cn=Recipients/cn=ann");
    named(email2_original_display_name, u"ann.lee@corp.example");
    named(email3_address, u"a.lee@home.example");
    pstwrite::set_keywords(m, {text(u"Work"), u"Friends", u"VIP, Gold"});
    set(hobbies, u"golf");
    set(assistant, u"Bob Ray");
    m.set(gender, pstwrite::prop::i16(1));
    m.set(wedding_anniversary, pstwrite::prop::time(pstwrite::filetime(2005, 6, 17, 22)));
    set(spouse_name, u"Sam Lee");
    m.set(children, pstwrite::text_list(m, {text(u"Kim"), text(u"Lou")}));
    set(manager_name, u"Dee Park");
    set(account, u"A1");
    set(assistant_phone, u"+1 555 0130");
    pstwrite::set_billing(m, text(u"B-7"));
    set(customer_id, u"C-9");
    set(ftp_site, u"ftp://ftp.example.com");
    set(government_id, u"G-1");
    set(language, u"English");
    set(location, u"Building 4");
    set(office_location, u"Room 12");
    set(organizational_id, u"O-3");
    set(callback_phone, u"+1 555 0131");
    set(radio_phone, u"+1 555 0132");
    set(other_phone, u"+1 555 0133");
    set(preferred_by_name, u"Annie");
    set(telex, u"T-55");
    set(tty_tdd_phone, u"+1 555 0134");
    m.set_body(text(u"Met at the conference.\r\nLikes tea; no coffee."));
    pstwrite::add_contact_photo(m, PhotoBytes());
    pstwrite::add_contact_photo(m, PhotoBytes(1));  // a second photo is never looked at
}

inline void FillDisplayNameOnly(pstwrite::message_builder& m) {
    m.set_subject(u"Ann Lee");
    m.set_text(0x3001, u"Ann Lee");
}

// Non-ASCII text of three scripts, a combining accent and a character outside the Basic Multilingual Plane.
inline constexpr std::u16string_view kNonAsciiTail = u" – Zoë Ångström 東京 Ελλάδα 😀";

// About 2,450 bytes of UTF-8 after a blank, in both forms.
inline constexpr int kLongTailRepeats = 350;
inline std::u16string LongTail() {
    std::u16string tail = u" ";
    for (int i = 0; i < kLongTailRepeats; ++i) tail += u"äb€c";
    return tail;
}
inline std::string LongTailUtf8() {
    std::string tail = " ";
    for (int i = 0; i < kLongTailRepeats; ++i) tail += "äb€c";
    return tail;
}

// A contact of an ANSI store in Windows-1251, with an 8-bit body in the same code page.
inline void FillCyrillic(pstwrite::message_builder& m) {
    using namespace pstwrite::contact;
    m.set(0x0037, pstwrite::cp1251_text(u"Иван Петров"));
    m.set(0x3001, pstwrite::cp1251_text(u"Иван Петров"));
    m.set(surname, pstwrite::cp1251_text(u"Петров"));
    m.set(given_name, pstwrite::cp1251_text(u"Иван"));
    m.set(company, pstwrite::cp1251_text(u"Ёлка и Ко"));
    m.set(home_city, pstwrite::cp1251_text(u"Москва"));
    m.set(hobbies, pstwrite::cp1251_text(u"шахматы"));
    pstwrite::set_address_named(m, email1_address, u"ivan@example.ru");
    m.set(internet_code_page, pstwrite::prop::i32(1251));
    m.set(0x1000, pstwrite::cp1251_text(u"Встреча в пятницу."));
}

// The Unicode store: display name only, every field, every field non-ASCII, every field long.
inline std::vector<std::byte> UnicodeContactStore() {
    pstwrite::store_builder store(pstwrite::format::unicode, pstwrite::crypt::none);
    auto& contacts = store.ipm_subtree().add_folder(u"Contacts", "IPF.Contact");
    FillDisplayNameOnly(contacts.add_message("IPM.Contact"));
    FillAllFields(contacts.add_message("IPM.Contact"), u"");
    FillAllFields(contacts.add_message("IPM.Contact"), kNonAsciiTail);
    FillAllFields(contacts.add_message("IPM.Contact"), LongTail());
    return store.write_to_memory();
}

// The ANSI store, read with code page 1251.
inline std::vector<std::byte> CyrillicContactStore() {
    pstwrite::store_builder store(pstwrite::format::ansi, pstwrite::crypt::none);
    FillCyrillic(store.ipm_subtree().add_folder(u"Contacts", "IPF.Contact").add_message("IPM.Contact"));
    return store.write_to_memory();
}

}  // namespace mftest
