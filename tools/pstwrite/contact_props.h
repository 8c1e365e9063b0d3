#pragma once
// contact_props.h: the properties of an Outlook contact for fixtures — the tagged ones (names, addresses, phones,
// the fields Outlook shows on its "Details" and "All Fields" pages), the PSETID_Address named ones, the Keywords
// list (categories), the contact photo attachment, and 8-bit text in Windows-1251 for ANSI stores in a non-Latin
// code page. Writes through message_builder; no state of its own.
//
//   auto& c = contacts.add_message("IPM.Contact");
//   c.set_text(contact::surname, u"Lee");
//   set_address_named(c, contact::email1_address, u"ann@example.com");
//   set_keywords(c, {u"Work", u"Friends"});
//   add_contact_photo(c, jpeg_bytes);

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "store_builder.h"

namespace pstwrite {

namespace contact {

// Tagged contact properties.
enum tag : std::uint16_t {
    account = 0x3A00,
    callback_phone = 0x3A02,
    generation = 0x3A05,
    given_name = 0x3A06,
    government_id = 0x3A07,
    business_phone = 0x3A08,
    home_phone = 0x3A09,
    language = 0x3A0C,
    location = 0x3A0D,
    organizational_id = 0x3A10,
    surname = 0x3A11,
    company = 0x3A16,
    title = 0x3A17,
    department = 0x3A18,
    office_location = 0x3A19,
    primary_phone = 0x3A1A,
    business2_phone = 0x3A1B,
    mobile_phone = 0x3A1C,
    radio_phone = 0x3A1D,
    car_phone = 0x3A1E,
    other_phone = 0x3A1F,
    pager = 0x3A21,
    primary_fax = 0x3A23,
    business_fax = 0x3A24,
    home_fax = 0x3A25,
    telex = 0x3A2C,
    isdn = 0x3A2D,
    assistant_phone = 0x3A2E,
    home2_phone = 0x3A2F,
    assistant = 0x3A30,
    wedding_anniversary = 0x3A41,  // PtypTime
    birthday = 0x3A42,             // PtypTime
    hobbies = 0x3A43,
    middle_name = 0x3A44,
    display_name_prefix = 0x3A45,
    profession = 0x3A46,
    preferred_by_name = 0x3A47,
    spouse_name = 0x3A48,
    customer_id = 0x3A4A,
    tty_tdd_phone = 0x3A4B,
    ftp_site = 0x3A4C,
    gender = 0x3A4D,  // PtypInteger16: 1 female, 2 male
    manager_name = 0x3A4E,
    nickname = 0x3A4F,
    personal_home_page = 0x3A50,
    business_home_page = 0x3A51,
    company_main_phone = 0x3A57,
    children = 0x3A58,  // PtypMultipleString
    home_city = 0x3A59,
    home_country = 0x3A5A,
    home_postal_code = 0x3A5B,
    home_state = 0x3A5C,
    home_street = 0x3A5D,
    home_po_box = 0x3A5E,
    other_city = 0x3A5F,
    other_country = 0x3A60,
    other_postal_code = 0x3A61,
    other_state = 0x3A62,
    other_street = 0x3A63,
    other_po_box = 0x3A64,
    internet_code_page = 0x3FDE,        // PtypInteger32
    attachment_contact_photo = 0x7FFF,  // PtypBoolean, on the attachment
};

// PSETID_Address named properties (LIDs).
enum address_lid : std::uint32_t {
    home_address = 0x801A,
    work_address = 0x801B,
    other_address = 0x801C,
    postal_address_id = 0x8022,  // PtypInteger32: 1 home, 2 work, 3 other
    work_street = 0x8045,
    work_city = 0x8046,
    work_state = 0x8047,
    work_postal_code = 0x8048,
    work_country = 0x8049,
    work_po_box = 0x804A,
    email1_display_name = 0x8080,
    email1_address_type = 0x8082,
    email1_address = 0x8083,
    email1_original_display_name = 0x8084,
    email2_address_type = 0x8092,
    email2_address = 0x8093,
    email2_original_display_name = 0x8094,
    email3_address_type = 0x80A2,
    email3_address = 0x80A3,
    email3_original_display_name = 0x80A4,
    birthday_local = 0x80DE,             // PtypTime: the date at midnight, no zone conversion
    wedding_anniversary_local = 0x80DF,  // PtypTime
};

// PSETID_Common LID of the billing information.
inline constexpr std::uint32_t billing_lid = 0x8535;

}  // namespace contact

// A PSETID_Address named property: text in the store's string type, or any value.
void set_address_named(message_builder& m, contact::address_lid lid, std::u16string_view text);
void set_address_named(message_builder& m, contact::address_lid lid, prop::value v);
// The billing information (PSETID_Common).
void set_billing(message_builder& m, std::u16string_view text);
// "Keywords" (PS_PUBLIC_STRINGS), the categories, as a string list in the store's string type.
void set_keywords(message_builder& m, const std::vector<std::u16string>& keywords);
// A string list in the store's string type (children's names and the like).
prop::value text_list(const message_builder& m, const std::vector<std::u16string>& items);
// An attachment by value marked as the contact's photo, named as Outlook names it.
attachment_builder& add_contact_photo(message_builder& m, bytes picture);
// 8-bit text in Windows-1251 (Cyrillic); characters that code page lacks become '?'.
prop::value cp1251_text(std::u16string_view text);

}  // namespace pstwrite
