// mail_dump FILE OUTDIR [--codepage N]: the test driver behind the independent-reader check of the mail writer.
// For every message of every folder it writes the message as EML (OUTDIR/eml/N.eml) and appends it as an MBOX
// entry (OUTDIR/all.mbox), and it records what the reader itself returns for the message — subject, sender,
// recipients, stored headers, the plain body as UTF-8, every attachment (data in OUTDIR/att/) and attached
// message — as one JSON line in OUTDIR/messages.jsonl. The check compares the two with Python's parsers.

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <span>
#include <string>
#include <vector>

#include "dump_json.h"
#include "encoding/code_page_table.h"
#include "encoding/dates.h"
#include "encoding/text_conversion.h"
#include "pstcore/messaging/attachment.h"
#include "pstcore/messaging/folder_walk.h"
#include "pstcore/messaging/message.h"
#include "pstcore/messaging/pst.h"
#include "writers/mime_mail_writer.h"

namespace {

namespace fs = std::filesystem;
namespace types = pstcore::prop_types;
using mftest::JsonObject;
using mftest::JsonString;

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
            .Add("recipients", mftest::JsonArray(recipients))
            .Add("attachments", mftest::JsonArray(attachments))
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

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::cerr << "usage: mail_dump FILE OUTDIR [--codepage N]\n";
        return 2;
    }
    const std::string path = argv[1];
    const fs::path out = argv[2];
    std::int32_t codePage = 1252;
    if (argc == 5 && std::string(argv[3]) == "--codepage") codePage = std::atoi(argv[4]);
    fs::create_directories(out / "eml");
    fs::create_directories(out / "att");
    try {
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
    } catch (const std::exception& e) {
        std::cerr << "mail_dump: " << path << ": " << e.what() << "\n";
        return 1;
    }
    return 0;
}
