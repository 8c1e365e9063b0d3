// vcard_fields.cpp: the gathering half of the vCard writer — every property a card shows, read once.

#include <exception>
#include <string>

#include "encoding/code_page_table.h"
#include "platform/diagnostic_log.h"
#include "pstcore/messaging/guid.h"
#include "pstcore/messaging/message.h"
#include "pstcore/messaging/pst.h"
#include "writers/vcard_internal.h"

namespace mailferry::detail {

namespace {

namespace types = pstcore::prop_types;

constexpr pstcore::prop_id kSubject = 0x0037;
constexpr pstcore::prop_id kInternetCodePage = 0x3FDE;
constexpr pstcore::prop_id kBirthday = 0x3A42;
constexpr pstcore::prop_id kAttachmentContactPhoto = 0x7FFF;
constexpr std::int32_t kUnicodeCodePage = 1200;
constexpr std::int32_t kAttachByValue = 1;
constexpr time_value kHalfDay = 12 * 60 * 60;

// How each named property is found, and the type its value must have to count.
struct NamedProperty {
    const pstcore::guid& set;
    std::int32_t lid;         // when name is empty
    const wchar_t* name;      // a string name, or null
    pstcore::prop_type type;  // string types stand for both 8-bit and Unicode
};

// In the order of NamedContactProperty.
const NamedProperty& Describe(NamedContactProperty which) {
    using pstcore::property_sets::psetid_address;
    static const std::array<NamedProperty, kNamedContactPropertyCount> table{{
        {psetid_address, 0x8022, nullptr, types::int32},    // kPostalAddressId
        {psetid_address, 0x801A, nullptr, types::unicode},  // kHomeAddressLabel
        {psetid_address, 0x801B, nullptr, types::unicode},  // kWorkAddressLabel
        {psetid_address, 0x801C, nullptr, types::unicode},  // kOtherAddressLabel
        {psetid_address, 0x8046, nullptr, types::unicode},  // kWorkCity
        {psetid_address, 0x8049, nullptr, types::unicode},  // kWorkCountry
        {psetid_address, 0x8045, nullptr, types::unicode},  // kWorkStreet
        {psetid_address, 0x8048, nullptr, types::unicode},  // kWorkPostalCode
        {psetid_address, 0x8047, nullptr, types::unicode},  // kWorkState
        {psetid_address, 0x804A, nullptr, types::unicode},  // kWorkPostOfficeBox
        {psetid_address, 0x8084, nullptr, types::unicode},  // kEmail1OriginalDisplayName
        {psetid_address, 0x8094, nullptr, types::unicode},  // kEmail2OriginalDisplayName
        {psetid_address, 0x80A4, nullptr, types::unicode},  // kEmail3OriginalDisplayName
        {psetid_address, 0x8082, nullptr, types::unicode},  // kEmail1AddressType
        {psetid_address, 0x8083, nullptr, types::unicode},  // kEmail1Address
        {psetid_address, 0x8092, nullptr, types::unicode},  // kEmail2AddressType
        {psetid_address, 0x8093, nullptr, types::unicode},  // kEmail2Address
        {psetid_address, 0x80A2, nullptr, types::unicode},  // kEmail3AddressType
        {psetid_address, 0x80A3, nullptr, types::unicode},  // kEmail3Address
        {pstcore::property_sets::ps_public_strings, 0, L"Keywords", types::multi_unicode},  // kKeywords
        {pstcore::property_sets::psetid_common, 0x8535, nullptr, types::unicode},           // kBilling
        {psetid_address, 0x80DE, nullptr, types::systime},                                  // kBirthdayLocal
        {psetid_address, 0x80DF, nullptr, types::systime},                                  // kWeddingAnniversaryLocal
    }};
    return table[which];
}

bool IsString(pstcore::prop_type type) {
    return type == types::string8 || type == types::unicode;
}

bool IsStringList(pstcore::prop_type type) {
    return type == types::multi_string8 || type == types::multi_unicode;
}

// Drops the subject's prefix marker (U+0001 and the character that gives the prefix length), as the reader does.
std::string WithoutSubjectPrefix(std::string subject) {
    if (subject.empty() || subject.front() != '\x01') return subject;
    std::size_t end = 1;
    if (end < subject.size()) ++end;
    while (end < subject.size() && (static_cast<unsigned char>(subject[end]) & 0xC0) == 0x80) ++end;
    return subject.substr(end);
}

// Reads one contact's values by id; absence is an empty value, never an exception.
class ContactReader {
public:
    ContactReader(const pstcore::property_bag& bag, const NamedContactIds& ids, date_formatter& dates)
        : _bag(bag), _ids(ids), _dates(dates) {}

    std::string Text(pstcore::prop_id id) const {
        return _bag.prop_exists(id) ? _bag.read_utf8string(id) : std::string();
    }

    std::optional<std::vector<std::string>> TextList(pstcore::prop_id id) const {
        if (!_bag.prop_exists(id)) return std::nullopt;
        return _bag.read_utf8string_array(id);
    }

    // A named property counts only with the type it is defined with: a file whose name map is stale (items
    // copied from another file) maps some ids to properties of another kind, such as "Keywords" to a number.
    std::optional<pstcore::prop_id> Named(NamedContactProperty which) const {
        const pstcore::prop_id id = _ids.ids[which];
        if (id == 0) return std::nullopt;
        const std::optional<pstcore::prop_type> type = _bag.find_prop_type(id);
        if (!type) return std::nullopt;
        const pstcore::prop_type wanted = Describe(which).type;
        const bool fits = wanted == types::unicode         ? IsString(*type)
                          : wanted == types::multi_unicode ? IsStringList(*type)
                                                           : *type == wanted;
        return fits ? std::optional(id) : std::nullopt;
    }

    std::string NamedText(NamedContactProperty which) const {
        const auto id = Named(which);
        return id ? _bag.read_utf8string(*id) : std::string();
    }

    std::optional<std::int32_t> Integer(pstcore::prop_id id) const {
        const std::optional<pstcore::prop_type> type = _bag.find_prop_type(id);
        if (type == types::int16) return static_cast<std::int16_t>(_bag.get_value_2(id));
        if (type == types::int32) return static_cast<std::int32_t>(_bag.get_value_4(id));
        return std::nullopt;
    }

    // A birthday or anniversary as "yyyy-mm-dd". The date Outlook saved at midnight without zone conversion wins;
    // otherwise the stored instant is local or UTC midnight of that day, so rounding it to the nearest UTC
    // midnight gives the day wherever it was saved within twelve hours of Greenwich. The exporting machine's zone
    // plays no part: a birthday is a day, not an instant.
    std::optional<std::string> Date(pstcore::prop_id instant, NamedContactProperty local) const {
        std::optional<time_value> seconds;
        if (const auto id = Named(local)) {
            seconds = _bag.read_time(*id);
        } else if (_bag.prop_exists(instant)) {
            seconds = _bag.read_time(instant) + kHalfDay;
        }
        if (!seconds) return std::nullopt;
        std::string date;
        if (!FormatIsoDate(_dates, *seconds, date, time_zone::gmt())) return std::nullopt;
        return date;
    }

private:
    const pstcore::property_bag& _bag;
    const NamedContactIds& _ids;
    date_formatter& _dates;
};

PostalAddress ReadTaggedAddress(const ContactReader& read, std::array<pstcore::prop_id, 6> ids,
                                NamedContactProperty label) {
    return {read.Text(ids[0]), read.Text(ids[1]), read.Text(ids[2]),    read.Text(ids[3]),
            read.Text(ids[4]), read.Text(ids[5]), read.NamedText(label)};
}

PostalAddress ReadWorkAddress(const ContactReader& read) {
    return {read.NamedText(kWorkPostOfficeBox), read.NamedText(kWorkStreet),     read.NamedText(kWorkCity),
            read.NamedText(kWorkState),         read.NamedText(kWorkPostalCode), read.NamedText(kWorkCountry),
            read.NamedText(kWorkAddressLabel)};
}

void ReadExtras(const ContactReader& read, ContactFields& fields) {
    for (std::size_t row = 0; row < kExtraFields.size(); ++row) {
        const ExtraField& field = kExtraFields[row];
        std::optional<std::string>& value = fields.extras[row];
        switch (field.source) {
            case ExtraSource::Text:
                value = read.Text(field.id);
                break;
            case ExtraSource::NamedText:
                value = read.NamedText(static_cast<NamedContactProperty>(field.id));
                break;
            case ExtraSource::Gender: {
                const auto gender = read.Integer(field.id);
                if (gender == 1) value = "Female";
                if (gender == 2) value = "Male";
                break;
            }
            case ExtraSource::Date:
                value = read.Date(field.id, kWeddingAnniversaryLocal);
                break;
            case ExtraSource::NameList:
                fields.children = read.TextList(field.id);
                break;
        }
        if (value && value->empty()) value.reset();
    }
}

// The note's text is in UTF-16 in a Unicode file; in an ANSI file in the contact's Internet code page, else the
// file's default one.
NoteBody OpenNoteBody(const pstcore::message& contact, const ContactReader& read, const ContactSettings& settings) {
    NoteBody body;
    if (!contact.has_body()) return body;
    pstcore::hnid_stream_device stream = contact.open_body_stream();
    if (stream.size() == 0) return body;
    std::int32_t codePage = kUnicodeCodePage;
    if (!settings.unicodeStore) {
        const auto internet = read.Integer(kInternetCodePage);
        codePage = internet && *internet != 0 ? *internet : settings.defaultCodePage;
    }
    body.text = std::make_unique<PropertySource>(std::move(stream));
    const TextEncodingItem* row = find_text_encoding(codePage);
    if (row && row->available) {
        body.encoding = row;
    } else {
        platform::log_diagnostic("Contact Note  can not be written because of invalid Code-Page : " +
                                 std::to_string(codePage));
    }
    return body;
}

// The first attachment marked as the contact's photo; later ones are not looked at.
std::optional<Photo> FindPhoto(const pstcore::message& contact) {
    for (auto it = contact.attachment_begin(); it != contact.attachment_end(); ++it) {
        const pstcore::attachment attachment = *it;
        const pstcore::property_bag& bag = attachment.get_property_bag();
        if (!bag.prop_is(kAttachmentContactPhoto, types::boolean) || bag.get_value_1(kAttachmentContactPhoto) == 0)
            continue;
        Photo photo;
        photo.method = attachment.get_method().value_or(kAttachByValue);
        if (photo.method == kAttachByValue && attachment.has_data()) photo.byValue = attachment;
        return photo;
    }
    return std::nullopt;
}

}  // namespace

NamedContactIds LookUpNamedContactIds(pstcore::pst& pst) {
    NamedContactIds found;
    auto& ids = found.ids;
    for (std::size_t which = 0; which < ids.size(); ++which) {
        const NamedProperty& named = Describe(static_cast<NamedContactProperty>(which));
        // A name the map lacks throws key_not_found, and a map too damaged to read throws what the reader
        // throws; either way the cards go on with the ordinary properties alone.
        try {
            ids[which] = named.name ? pst.lookup_prop_id(named.set, std::wstring(named.name))
                                    : pst.lookup_prop_id(named.set, named.lid);
        } catch (const std::exception&) {
            ids[which] = 0;
        }
    }
    return found;
}

ContactFields ReadContactFields(pstcore::message& contact, const ContactSettings& settings, const NamedContactIds& ids,
                                date_formatter& dates) {
    pstcore::property_bag& bag = contact.get_property_bag();
    bag.set_text_encoding(find_text_encoding(settings.defaultCodePage));
    const ContactReader read(bag, ids, dates);

    ContactFields fields;
    fields.surname = read.Text(0x3A11);
    fields.givenName = read.Text(0x3A06);
    fields.middleName = read.Text(0x3A44);
    fields.namePrefix = read.Text(0x3A45);
    fields.generation = read.Text(0x3A05);
    fields.formattedName = WithoutSubjectPrefix(read.Text(kSubject));
    fields.nickname = read.Text(0x3A4F);
    if (const auto id = read.Named(kPostalAddressId)) fields.postalAddressId = read.Integer(*id);
    fields.home = ReadTaggedAddress(read, {0x3A5E, 0x3A5D, 0x3A59, 0x3A5C, 0x3A5B, 0x3A5A}, kHomeAddressLabel);
    fields.work = ReadWorkAddress(read);
    fields.other = ReadTaggedAddress(read, {0x3A64, 0x3A63, 0x3A5F, 0x3A62, 0x3A61, 0x3A60}, kOtherAddressLabel);
    fields.company = read.Text(0x3A16);
    fields.department = read.Text(0x3A18);
    fields.title = read.Text(0x3A17);
    fields.profession = read.Text(0x3A46);
    fields.birthday = read.Date(kBirthday, kBirthdayLocal);
    for (std::size_t i = 0; i < kPhoneLines.size(); ++i) fields.phones[i] = read.Text(kPhoneLines[i].id);
    const std::array<std::array<NamedContactProperty, 3>, 3> emails{{
        {kEmail1AddressType, kEmail1Address, kEmail1OriginalDisplayName},
        {kEmail2AddressType, kEmail2Address, kEmail2OriginalDisplayName},
        {kEmail3AddressType, kEmail3Address, kEmail3OriginalDisplayName},
    }};
    for (std::size_t i = 0; i < emails.size(); ++i)
        fields.emails[i] = {read.NamedText(emails[i][0]), read.NamedText(emails[i][1]), read.NamedText(emails[i][2])};
    if (const auto id = read.Named(kKeywords)) fields.categories = bag.read_utf8string_array(*id);
    ReadExtras(read, fields);
    fields.body = OpenNoteBody(contact, read, settings);
    fields.photo = FindPhoto(contact);
    return fields;
}

}  // namespace mailferry::detail
