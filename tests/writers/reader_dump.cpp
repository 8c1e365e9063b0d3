// reader_dump: the reader's side of the checks by independent readers. Only the reader and the writer under
// test are used here; the scripts map the reader's values to what they expect on their own.
//
//   reader_dump mail FILE OUTDIR       for mail_reader_check.py: every message of every folder as EML
//                                      (OUTDIR/eml/N.eml) and as an entry of OUTDIR/all.mbox, and what the reader
//                                      returns for it — subject, sender, recipients, stored headers, the plain
//                                      body as UTF-8, every attachment (data in OUTDIR/att/) and attached message —
//                                      as one JSON line in OUTDIR/messages.jsonl
//   reader_dump fixtures DIR           for vcard_readers.py: the test contacts' stores, DIR/vcard-unicode.pst and
//                                      DIR/vcard-cp1251.pst (ANSI, to be read with code page 1251)
//   reader_dump contacts FILE CODEPAGE for vcard_readers.py: as JSON, what the reader returns for every contact of
//                                      FILE: its string, number and time properties by id, the PSETID_Address
//                                      names by LID, the Keywords, the body and the photo's bytes

#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "encoding/base64.h"
#include "encoding/code_page_table.h"
#include "encoding/dates.h"
#include "encoding/text_conversion.h"
#include "pstcore/messaging/attachment.h"
#include "pstcore/messaging/folder.h"
#include "pstcore/messaging/folder_walk.h"
#include "pstcore/messaging/message.h"
#include "pstcore/messaging/pst.h"
#include "writers/mime_mail_writer.h"
#include "writers/vcard_fixtures.h"

namespace {

namespace fs = std::filesystem;
namespace types = pstcore::prop_types;

// UTF-8 text as a JSON string.
std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(static_cast<unsigned char>(c)));
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

// The members of one JSON object in the order added; each value is JSON already.
class JsonObject {
public:
    JsonObject& Add(std::string_view key, const std::string& value) {
        _text += (_text.empty() ? "{" : ", ") + JsonString(key) + ": " + value;
        return *this;
    }
    std::string Text() const { return _text.empty() ? "{}" : _text + "}"; }

private:
    std::string _text;
};

// Values that are JSON already, as one array.
std::string JsonArray(const std::vector<std::string>& items, std::string_view separator = ", ") {
    std::string out = "[";
    for (std::size_t i = 0; i < items.size(); ++i) (out += i ? separator : "") += items[i];
    return out + "]";
}

std::string Text(const pstcore::const_property_object& object, pstcore::prop_id id) {
    return object.prop_exists(id) ? JsonString(object.read_utf8string(id)) : "null";
}

std::string Int(const pstcore::const_property_object& object, pstcore::prop_id id) {
    const auto type = object.find_prop_type(id);
    if (!type || (*type != types::int32 && *type != types::int16)) return "null";
    return std::to_string(static_cast<std::int32_t>(object.get_value_4(id)));
}

std::vector<char> ReadAll(pstcore::hnid_stream_device stream) {
    std::vector<char> bytes;
    char buffer[65536];
    for (std::streamsize got; (got = stream.read(buffer, sizeof buffer)) > 0;)
        bytes.insert(bytes.end(), buffer, buffer + got);
    return bytes;
}

struct Dumper {
    fs::path out;
    const mailferry::TextEncodingItem* encoding;
    int attachmentFiles = 0;

    // The plain body as the reader returns it, decoded by its stored type.
    std::string PlainBody(pstcore::message& message) {
        const auto type = message.get_property_bag().find_prop_type(0x1000);
        if (!type) return "null";
        const std::vector<char> bytes = ReadAll(message.open_body_stream());
        const auto* from = *type == types::unicode ? mailferry::utf16le_encoding() : encoding;
        return JsonString(mailferry::bytes_to_utf8string(std::as_bytes(std::span(bytes)), from));
    }

    std::string Message(pstcore::message& message) {
        auto& bag = message.get_property_bag();
        bag.set_text_encoding(encoding);
        std::vector<std::string> recipients, attachments;
        for (auto it = message.recipient_begin(), end = message.recipient_end(); it != end; ++it) {
            pstcore::recipient row = *it;
            row.set_text_encoding(encoding);
            recipients.push_back(JsonObject()
                                     .Add("kind", Int(row, 0x0C15))
                                     .Add("name", Text(row, 0x3001))
                                     .Add("email", Text(row, 0x3003))
                                     .Add("type", Text(row, 0x3002))
                                     .Add("smtp", Text(row, 0x39FE))
                                     .Add("alternate", Text(row, 0x403E))
                                     .Text());
        }
        for (auto it = message.attachment_begin(), end = message.attachment_end(); it != end; ++it) {
            pstcore::attachment attachment = *it;
            attachments.push_back(Attachment(attachment));
        }
        return JsonObject()
            .Add("class", Text(bag, 0x001A))
            .Add("subject", message.has_subject() ? JsonString(mailferry::bytes_to_utf8string(
                                                        mailferry::wstring_to_bytes(message.get_subject()),
                                                        mailferry::utf16le_encoding()))
                                                  : "null")
            .Add("transport_headers", Text(bag, 0x007D))
            .Add("from_name", Text(bag, 0x0042))
            .Add("from_email", Text(bag, 0x0065))
            .Add("from_type", Text(bag, 0x0064))
            .Add("plain", PlainBody(message))
            .Add("recipients", JsonArray(recipients))
            .Add("attachments", JsonArray(attachments))
            .Text();
    }

    std::string Attachment(pstcore::attachment& attachment) {
        auto& bag = attachment.get_property_bag();
        bag.set_text_encoding(encoding);
        JsonObject json;
        json.Add("method", Int(bag, 0x3705))
            .Add("flags", Int(bag, 0x7FFD))
            .Add("long_filename", Text(bag, 0x3707))
            .Add("filename", Text(bag, 0x3704));
        if (attachment.is_message() && attachment.has_data()) {
            json.Add("data", "null");
            try {
                pstcore::message inner = attachment.open_as_message();
                json.Add("embedded", Message(inner));
            } catch (const std::exception& e) {
                json.Add("embedded", "null").Add("error", JsonString(e.what()));
            }
        } else if (attachment.has_data()) {
            const std::string name = "att/" + std::to_string(attachmentFiles++) + ".bin";
            const std::vector<char> data = ReadAll(attachment.open_byte_stream());
            std::ofstream(out / name, std::ios::binary).write(data.data(), static_cast<std::streamsize>(data.size()));
            json.Add("data", JsonString(name));
        } else {
            json.Add("data", "null");
        }
        return json.Text();
    }
};

// Every message as EML and as an MBOX entry, beside what the reader returns for it.
int DumpMail(const std::string& path, const fs::path& out) {
    const std::int32_t codePage = 1252;
    fs::create_directories(out / "eml");
    fs::create_directories(out / "att");
    pstcore::pst store(path);
    const bool unicode = store.get_db()->is_unicode();
    Dumper dumper{out, mailferry::find_text_encoding(codePage)};
    mailferry::date_formatter dates;
    int uuids = 0;
    mailferry::WriterContext context{.dates = &dates, .zone = mailferry::time_zone::gmt(), .newUuid = [&uuids] {
                                         char text[40];
                                         std::snprintf(text, sizeof text, "00000000-0000-4000-8000-%012d", ++uuids);
                                         return std::string(text);
                                     }};
    mailferry::MIMEMailWriter eml(false, false, unicode, codePage, context);
    mailferry::MIMEMailWriter mbox(true, true, unicode, codePage, context);
    eml.LookUpContentTypeProperty(store);
    mbox.LookUpContentTypeProperty(store);
    std::ofstream lines(out / "messages.jsonl", std::ios::binary);
    std::ofstream mboxFile(out / "all.mbox", std::ios::binary);
    int index = 0;
    pstcore::visit_folders(store.open_root_folder(), [&](pstcore::folder& folder, unsigned) {
        for (auto it = folder.message_begin(), end = folder.message_end(); it != end; ++it) {
            pstcore::message message = *it;
            JsonObject json;
            json.Add("index", std::to_string(index)).Add("nid", std::to_string(message.get_node().get_id()));
            try {
                std::string text;
                mailferry::StringSink sink(text);
                eml.Write(sink, &message);
                std::ofstream(out / "eml" / (std::to_string(index) + ".eml"), std::ios::binary) << text;
                text.clear();
                mbox.Write(sink, &message);
                mboxFile << text;
                json.Add("message", dumper.Message(message));
            } catch (const std::exception& e) {
                json.Add("error", JsonString(e.what()));
            }
            lines << json.Text() << "\n";
            ++index;
        }
    });
    return 0;
}

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
    return JsonArray(strings);
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
    std::cout << JsonArray(cards, ",\n ") << "\n";
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    try {
        if (args.size() == 3 && args[0] == "mail") return DumpMail(args[1], args[2]);
        if (args.size() == 2 && args[0] == "fixtures") {
            WriteFile(args[1] + "/vcard-unicode.pst", mftest::UnicodeContactStore());
            WriteFile(args[1] + "/vcard-cp1251.pst", mftest::CyrillicContactStore());
            return 0;
        }
        if (args.size() == 3 && args[0] == "contacts") return DumpContacts(args[1], std::stoi(args[2]));
    } catch (const std::exception& e) {
        std::cerr << "reader_dump: " << (args.size() > 1 ? args[1] + ": " : "") << e.what() << "\n";
        return 1;
    }
    std::cerr << "usage: reader_dump mail FILE OUTDIR | fixtures DIR | contacts FILE CODEPAGE\n";
    return 2;
}
