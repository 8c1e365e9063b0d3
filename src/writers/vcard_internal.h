#pragma once
// vcard_internal.h: the two halves of the vCard writer. ReadContactFields gathers what a card needs from the
// contact into ContactFields (the only step that reads the file for the card's text, and so the only one that
// throws for a damaged contact); RenderContact turns those fields into the card's text up to the note, reading
// nothing but the body stream it was handed. Internal to the writers module.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "encoding/byte_source.h"
#include "encoding/dates.h"
#include "pstcore/messaging/attachment.h"
#include "pstcore/tables/hnid_stream.h"
#include "writers/property_source.h"
#include "writers/vcard_writer.h"

namespace pstcore {
class message;
}

namespace mailferry::detail {

// The named properties the card reads, in the order their ids are kept.
enum NamedContactProperty : std::size_t {
    kPostalAddressId,
    kHomeAddressLabel,
    kWorkAddressLabel,
    kOtherAddressLabel,
    kWorkCity,
    kWorkCountry,
    kWorkStreet,
    kWorkPostalCode,
    kWorkState,
    kWorkPostOfficeBox,
    kEmail1OriginalDisplayName,
    kEmail2OriginalDisplayName,
    kEmail3OriginalDisplayName,
    kEmail1AddressType,
    kEmail1Address,
    kEmail2AddressType,
    kEmail2Address,
    kEmail3AddressType,
    kEmail3Address,
    kKeywords,
    kBilling,
    kBirthdayLocal,
    kWeddingAnniversaryLocal,
    kNamedContactPropertyCount,
};

// The ids this file gives them; 0 where the file has none (the property then counts as absent).
struct NamedContactIds {
    std::array<std::uint16_t, kNamedContactPropertyCount> ids{};
};

// Finds every id in the file's name map; a name the map lacks, or a map that cannot be read, gives 0.
NamedContactIds LookUpNamedContactIds(pstcore::pst& pst);

// Text values are UTF-8 as stored, not escaped; an empty string stands for an absent property.
struct PostalAddress {
    std::string postOfficeBox, street, city, state, postalCode, country;
    std::string label;  // the whole address as one text
};

struct EmailAddress {
    std::string addressType;
    std::string address;
    std::string originalDisplayName;
};

// The lines between the fields vCard has a property for and the note. Each source goes to the note ("Hobbies: golf")
// in the plain target; the Apple and archive targets give some of them lines of their own.
enum class ExtraSource { Text, NamedText, Gender, Date, NameList };

struct ExtraField {
    ExtraSource source;
    std::uint16_t id;                // a property id, or for NamedText a NamedContactProperty
    std::string_view noteLabel;      // "Hobbies: "
    std::string_view archiveLine;    // the archive line up to its value; empty: the note
    std::string_view appleProperty;  // the Apple "item" line's property; empty: the note
    std::string_view appleLabel;     // its X-ABLabel
};

inline constexpr std::array<ExtraField, 23> kExtraFields{{
    {ExtraSource::Text, 0x3A43, "Hobbies: ", "X-interests;charset=UTF-8:", "", ""},
    {ExtraSource::Text, 0x3A30, "Assistant: ", "X-assistant;charset=UTF-8:", "X-ABRELATEDNAMES", "_$!<Assistant>!$_"},
    {ExtraSource::Gender, 0x3A4D, "Gender: ", "X-gender:", "", ""},
    {ExtraSource::Date, 0x3A41, "Anniversary: ", "X-anniversary:", "X-ABDATE", "_$!<Anniversary>!$_"},
    {ExtraSource::Text, 0x3A48, "Spouse Name: ", "X-spouse;charset=UTF-8:", "X-ABRELATEDNAMES", "_$!<Spouse>!$_"},
    {ExtraSource::NameList, 0x3A58, "Children: ", "X-child;charset=UTF-8:", "X-ABRELATEDNAMES", "_$!<Child>!$_"},
    {ExtraSource::Text, 0x3A4E, "Manager: ", "X-manager;charset=UTF-8:", "X-ABRELATEDNAMES", "_$!<Manager>!$_"},
    {ExtraSource::Text, 0x3A00, "Account: ", "", "", ""},
    {ExtraSource::Text, 0x3A2E, "Assistant Telephone Number: ", "tel;charset=UTF-8;type=assistant:", "TEL",
     "Assistant Telephone"},
    {ExtraSource::NamedText, kBilling, "Billing Information: ", "", "", ""},
    {ExtraSource::Text, 0x3A4A, "Customer ID: ", "", "", ""},
    {ExtraSource::Text, 0x3A4C, "FTP Site: ", "", "", ""},
    {ExtraSource::Text, 0x3A07, "Government ID Number: ", "", "", ""},
    {ExtraSource::Text, 0x3A0C, "Language: ", "", "", ""},
    {ExtraSource::Text, 0x3A0D, "Location: ", "", "", ""},
    {ExtraSource::Text, 0x3A19, "Office Location: ", "", "", ""},
    {ExtraSource::Text, 0x3A10, "Organizational ID Number: ", "", "", ""},
    {ExtraSource::Text, 0x3A02, "Callback Telephone Number: ", "", "TEL", "Callback Telephone"},
    {ExtraSource::Text, 0x3A1D, "Radio Telephone Number: ", "", "TEL", "Radio Telephone"},
    {ExtraSource::Text, 0x3A1F, "Other Telephone Number: ", "", "TEL", "Other Telephone"},
    {ExtraSource::Text, 0x3A47, "Preferred By Name: ", "", "", ""},
    {ExtraSource::Text, 0x3A2C, "Telex Number: ", "", "TEL", "Telex"},
    {ExtraSource::Text, 0x3A4B, "TTY/TDD Phone: ", "", "TEL", "TTY/TDD Phone"},
}};

// The telephone and web lines, in the order they are written.
struct PhoneLine {
    std::string_view start;  // the line up to its value
    std::uint16_t id;
};

inline constexpr std::array<PhoneLine, 15> kPhoneLines{{
    {"tel;type=pref;charset=UTF-8:", 0x3A1A},
    {"tel;type=home;charset=UTF-8:", 0x3A09},
    {"tel;type=home;charset=UTF-8:", 0x3A2F},
    {"tel;type=cell;charset=UTF-8:", 0x3A1C},
    {"tel;type=car;charset=UTF-8:", 0x3A1E},
    {"tel;type=pager;charset=UTF-8:", 0x3A21},
    {"tel;type=isdn;charset=UTF-8:", 0x3A2D},
    {"tel;type=fax,home;charset=UTF-8:", 0x3A25},
    {"tel;type=work,pref;charset=UTF-8:", 0x3A57},
    {"tel;type=work;charset=UTF-8:", 0x3A08},
    {"tel;type=work;charset=UTF-8:", 0x3A1B},
    {"tel;type=fax,pref;charset=UTF-8:", 0x3A23},
    {"tel;type=fax,work;charset=UTF-8:", 0x3A24},
    {"url;type=home;charset=UTF-8:", 0x3A50},
    {"url;type=work;charset=UTF-8:", 0x3A51},
}};

// The note's plain-text body, still in the file: streamed when the note is written.
struct NoteBody {
    std::unique_ptr<byte_source> text;
    const TextEncodingItem* encoding = nullptr;  // a row of the static code-page table; null: left out
};

// The first attachment marked as the contact's photo.
struct Photo {
    std::int32_t method = 1;                     // attach method (by value when the attachment does not say)
    std::optional<pstcore::attachment> byValue;  // set for a by-value photo that has data
};

struct ContactFields {
    std::string surname, givenName, middleName, namePrefix, generation;
    std::string formattedName;  // the subject without its prefix marker
    std::string nickname;
    std::optional<std::int32_t> postalAddressId;
    PostalAddress home, work, other;
    std::string company, department, title, profession;
    std::optional<std::string> birthday;  // "yyyy-mm-dd"
    std::array<std::string, kPhoneLines.size()> phones;
    std::array<EmailAddress, 3> emails;
    std::optional<std::vector<std::string>> categories;
    // Per row of kExtraFields: the value when that row makes an entry (Gender: "Female" or "Male"; Date: the date).
    std::array<std::optional<std::string>, kExtraFields.size()> extras;
    std::optional<std::vector<std::string>> children;  // for the NameList row: present even when empty
    NoteBody body;                                     // no text: the contact has no plain-text body
    std::optional<Photo> photo;
};

// What the writer was created with.
struct ContactSettings {
    VCardTarget target;
    std::int32_t defaultCodePage;
    bool unicodeStore;
};

// Reads the card's fields. Attaches the default code page's row to the contact's bag (8-bit strings decode with
// it). Dates are formatted with `dates`. Throws what the reader and the code-page conversions throw.
ContactFields ReadContactFields(pstcore::message& contact, const ContactSettings& settings, const NamedContactIds& ids,
                                date_formatter& dates);

// Appends the card from "begin:vcard" through the note (photo and end line not included). Reads the body stream
// and converts it; its errors pass to the caller.
void RenderContact(ContactFields& fields, VCardTarget target, std::string_view uid, std::string& out);

}  // namespace mailferry::detail
