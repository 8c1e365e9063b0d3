// vcard_reader_dump: the reader's side of the vCard check by independent readers (vcard_readers.py).
//
//   vcard_reader_dump fixtures DIR            writes the test contacts' stores: DIR/vcard-unicode.pst and
//                                             DIR/vcard-cp1251.pst (ANSI, to be read with code page 1251)
//   vcard_reader_dump contacts FILE CODEPAGE  prints, as JSON, what the reader returns for every contact of FILE:
//                                             its string, number and time properties by id, the PSETID_Address
//                                             names by LID, the Keywords, the body and the photo's bytes
//
// Only the reader is used here, never the writer: the script maps these values to vCard fields on its own.

#include <cstdio>
#include <exception>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "dump_json.h"
#include "encoding/base64.h"
#include "encoding/code_page_table.h"
#include "pstcore/messaging/folder.h"
#include "pstcore/messaging/folder_walk.h"
#include "pstcore/messaging/pst.h"
#include "writers/vcard_fixtures.h"

namespace {

namespace types = pstcore::prop_types;
using mftest::JsonObject;
using mftest::JsonString;

constexpr pstcore::prop_id kMessageClass = 0x001A;
constexpr pstcore::prop_id kBody = 0x1000;
constexpr pstcore::prop_id kInternetCodePage = 0x3FDE;
constexpr pstcore::prop_id kContactPhoto = 0x7FFF;

std::string Hex(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", value);
    return text;
}

std::string JsonList(const std::vector<std::string>& items) {
    std::vector<std::string> strings;
    for (const auto& item : items) strings.push_back(JsonString(item));
    return mftest::JsonArray(strings);
}

bool IsString(pstcore::prop_type t) {
    return t == types::string8 || t == types::unicode;
}

void WriteFile(const std::string& path, const std::vector<std::byte>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Every property of the bag by its type: strings, string lists, numbers and times (seconds since 1970).
void AddProperties(const pstcore::property_bag& bag, const std::vector<std::pair<pstcore::prop_id, std::string>>& ids,
                   JsonObject& strings, JsonObject& lists, JsonObject& numbers, JsonObject& times) {
    for (const auto& [id, key] : ids) {
        const auto type = bag.find_prop_type(id);
        if (!type) continue;
        if (IsString(*type))
            strings.Add(key, JsonString(bag.read_utf8string(id)));
        else if (*type == types::multi_string8 || *type == types::multi_unicode)
            lists.Add(key, JsonList(bag.read_utf8string_array(id)));
        else if (*type == types::int16)
            numbers.Add(key, std::to_string(static_cast<std::int16_t>(bag.get_value_2(id))));
        else if (*type == types::int32)
            numbers.Add(key, std::to_string(static_cast<std::int32_t>(bag.get_value_4(id))));
        else if (*type == types::systime)
            times.Add(key, std::to_string(bag.read_time(id)));
    }
}

std::string DumpContact(pstcore::pst& pst, pstcore::message& contact, std::int32_t codePage, bool unicode) {
    pstcore::property_bag& bag = contact.get_property_bag();
    bag.set_text_encoding(mailferry::find_text_encoding(codePage));
    std::vector<std::pair<pstcore::prop_id, std::string>> tagged;
    for (const pstcore::prop_id id : bag.get_prop_list())
        if (id < 0x8000) tagged.emplace_back(id, Hex(id));
    // The names a contact card uses: PSETID_Address by LID, the billing information and the categories.
    std::vector<std::pair<pstcore::prop_id, std::string>> named;
    const auto lookUp = [&](const auto& set, const auto& name, std::string key) {
        try {
            named.emplace_back(pst.lookup_prop_id(set, name), std::move(key));
        } catch (const std::exception&) {
        }
    };
    for (std::int32_t lid = 0x8000; lid <= 0x80FF; ++lid)
        lookUp(pstcore::property_sets::psetid_address, lid, Hex(static_cast<unsigned>(lid)));
    lookUp(pstcore::property_sets::psetid_common, 0x8535, "Billing");
    lookUp(pstcore::property_sets::ps_public_strings, std::wstring(L"Keywords"), "Keywords");

    JsonObject card, strings, lists, numbers, times, nstrings, nlists, nnumbers, ntimes;
    AddProperties(bag, tagged, strings, lists, numbers, times);
    AddProperties(bag, named, nstrings, nlists, nnumbers, ntimes);
    card.Add("nid", std::to_string(contact.get_node().get_id()));
    card.Add("tags", strings.Text());
    card.Add("tag_lists", lists.Text());
    card.Add("numbers", numbers.Text());
    card.Add("times", times.Text());
    card.Add("named", nstrings.Text());
    card.Add("named_lists", nlists.Text());
    card.Add("named_numbers", nnumbers.Text());
    card.Add("named_times", ntimes.Text());

    // The body in the note's code page: UTF-16 in a Unicode file, else the Internet code page or the default one.
    std::int32_t bodyCodePage = codePage;
    if (bag.prop_is(kInternetCodePage, types::int32) && bag.get_value_4(kInternetCodePage) != 0)
        bodyCodePage = static_cast<std::int32_t>(bag.get_value_4(kInternetCodePage));
    if (!unicode) bag.set_text_encoding(mailferry::find_text_encoding(bodyCodePage));
    card.Add("body", contact.has_body() ? JsonString(bag.read_utf8string(kBody)) : "null");

    std::string photo = "null";
    for (auto it = contact.attachment_begin(); it != contact.attachment_end(); ++it) {
        const pstcore::attachment attachment = *it;
        const auto& abag = attachment.get_property_bag();
        if (!abag.prop_is(kContactPhoto, types::boolean) || abag.get_value_1(kContactPhoto) == 0) continue;
        std::string base64;
        if (attachment.get_method().value_or(1) == 1 && attachment.has_data()) {
            const auto data = attachment.get_bytes();
            mailferry::AppendBase64(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()), base64);
        }
        photo = JsonString(base64);
        break;
    }
    card.Add("photo", photo);
    return card.Text();
}

int DumpContacts(const std::string& path, std::int32_t codePage) {
    pstcore::pst pst(path);
    const bool unicode = pst.get_db()->header_version() > 19;
    std::vector<std::string> cards;
    pstcore::visit_folders(pst.open_root_folder(), [&](pstcore::folder& folder, unsigned) {
        for (auto it = folder.message_begin(); it != folder.message_end(); ++it) {
            pstcore::message message = *it;
            auto& bag = message.get_property_bag();
            bag.set_text_encoding(mailferry::find_text_encoding(codePage));
            if (!bag.prop_exists(kMessageClass) || !bag.read_unistring(kMessageClass).starts_with(u"IPM.Contact"))
                continue;
            cards.push_back(DumpContact(pst, message, codePage, unicode));
        }
    });
    std::cout << mftest::JsonArray(cards, ",\n ") << "\n";
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    try {
        if (args.size() == 2 && args[0] == "fixtures") {
            WriteFile(args[1] + "/vcard-unicode.pst", mftest::UnicodeContactStore());
            WriteFile(args[1] + "/vcard-cp1251.pst", mftest::CyrillicContactStore());
            return 0;
        }
        if (args.size() == 3 && args[0] == "contacts") return DumpContacts(args[1], std::stoi(args[2]));
    } catch (const std::exception& e) {
        std::cerr << "vcard_reader_dump: " << e.what() << "\n";
        return 1;
    }
    std::cerr << "usage: vcard_reader_dump fixtures DIR | contacts FILE CODEPAGE\n";
    return 2;
}
