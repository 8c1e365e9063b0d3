#include "contact_props.h"

namespace pstwrite {

void set_address_named(message_builder& m, contact::address_lid lid, std::u16string_view text) {
    m.set_named({PSETID_Address, std::uint32_t{lid}}, m.text(text));
}

void set_address_named(message_builder& m, contact::address_lid lid, prop::value v) {
    m.set_named({PSETID_Address, std::uint32_t{lid}}, std::move(v));
}

void set_billing(message_builder& m, std::u16string_view text) {
    m.set_named({PSETID_Common, contact::billing_lid}, m.text(text));
}

void set_keywords(message_builder& m, const std::vector<std::u16string>& keywords) {
    m.set_named({PS_PUBLIC_STRINGS, std::u16string(u"Keywords")}, text_list(m, keywords));
}

prop::value text_list(const message_builder& m, const std::vector<std::u16string>& items) {
    // The store's string type decides the list's; an ANSI store keeps each item as message_builder::text does.
    if (m.text(u"").type == prop::pt_unicode) return prop::mv_unicode(items);
    std::vector<std::string> narrow;
    std::uint32_t code_page = 0;
    for (const auto& item : items) {
        const prop::value v = m.text(item);
        narrow.emplace_back(reinterpret_cast<const char*>(v.data.data()), v.data.size());
        code_page = v.code_page;
    }
    return prop::mv_string8(narrow, code_page);
}

attachment_builder& add_contact_photo(message_builder& m, bytes picture) {
    auto& photo = m.add_attachment();
    photo.set_data(u"ContactPicture.jpg", std::move(picture), u"image/jpeg");
    photo.set(contact::attachment_contact_photo, prop::boolean(true));
    return photo;
}

prop::value cp1251_text(std::u16string_view text) {
    std::string out;
    for (const char16_t c : text) {
        if (c < 0x80)
            out.push_back(static_cast<char>(c));
        else if (c >= 0x0410 && c <= 0x044F)  // А..я in one run from 0xC0
            out.push_back(static_cast<char>(0xC0 + (c - 0x0410)));
        else if (c == 0x0401)  // Ё
            out.push_back(static_cast<char>(0xA8));
        else if (c == 0x0451)  // ё
            out.push_back(static_cast<char>(0xB8));
        else
            out.push_back('?');
    }
    return prop::string8(out, 1251);
}

}  // namespace pstwrite
