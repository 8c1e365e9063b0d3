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
#include <string>
#include <vector>

#include "encoding/code_page_table.h"
#include "encoding/dates.h"
#include "encoding/text_conversion.h"
#include "platform/platform_string.h"
#include "pstcore/messaging/attachment.h"
#include "pstcore/messaging/folder_walk.h"
#include "pstcore/messaging/message.h"
#include "pstcore/messaging/pst.h"
#include "writers/mime_mail_writer.h"

namespace {

namespace fs = std::filesystem;
namespace types = pstcore::prop_types;

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back(c);
        } else if (b < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", b);
            out.append(escape);
        } else {
            out.push_back(c);
        }
    }
    return out.append("\"");
}

class Json {
public:
    Json& Key(std::string_view key) {
        Comma();
        _text.append(JsonString(key)).append(":");
        _fresh = true;
        return *this;
    }
    Json& Value(std::string_view raw) {
        Comma();
        _text.append(raw);
        return *this;
    }
    Json& Open(char bracket) {
        Comma();
        _text.push_back(bracket);
        _fresh = true;
        return *this;
    }
    Json& Close(char bracket) {
        _text.push_back(bracket);
        _fresh = false;
        return *this;
    }
    const std::string& Text() const { return _text; }

private:
    void Comma() {
        if (!_fresh && !_text.empty()) _text.push_back(',');
        _fresh = false;
    }
    std::string _text;
    bool _fresh = true;
};

struct Dumper {
    fs::path out;
    const mailferry::TextEncodingItem* encoding;
    int attachmentFiles = 0;

    void Text(Json& json, const pstcore::const_property_object& object, pstcore::prop_id id, std::string_view key) {
        json.Key(key);
        if (!object.prop_exists(id))
            json.Value("null");
        else
            json.Value(JsonString(object.read_utf8string(id)));
    }

    void Int(Json& json, const pstcore::const_property_object& object, pstcore::prop_id id, std::string_view key) {
        json.Key(key);
        const auto type = object.find_prop_type(id);
        if (!type || (*type != types::int32 && *type != types::int16))
            json.Value("null");
        else
            json.Value(std::to_string(static_cast<std::int32_t>(object.get_value_4(id))));
    }

    // The plain body as the reader returns it, decoded by its stored type.
    void PlainBody(Json& json, pstcore::message& message) {
        json.Key("plain");
        const auto type = message.get_property_bag().find_prop_type(0x1000);
        if (!type) {
            json.Value("null");
            return;
        }
        pstcore::hnid_stream_device body = message.open_body_stream();
        std::vector<std::byte> bytes;
        char buffer[65536];
        for (std::streamsize got; (got = body.read(buffer, sizeof buffer)) > 0;) {
            for (std::streamsize i = 0; i < got; ++i) bytes.push_back(static_cast<std::byte>(buffer[i]));
        }
        const auto* from = *type == types::unicode ? mailferry::utf16le_encoding() : encoding;
        json.Value(JsonString(mailferry::bytes_to_utf8string(bytes, from)));
    }

    void Message(Json& json, pstcore::message& message) {
        auto& bag = message.get_property_bag();
        bag.set_text_encoding(encoding);
        json.Open('{');
        Text(json, bag, 0x001A, "class");
        json.Key("subject");
        if (message.has_subject()) {
            const std::u16string subject = mailferry::platform::stringWithWString(message.get_subject());
            std::vector<std::byte> bytes;
            for (const char16_t unit : subject) {
                bytes.push_back(static_cast<std::byte>(unit & 0xFF));
                bytes.push_back(static_cast<std::byte>(unit >> 8));
            }
            json.Value(JsonString(mailferry::bytes_to_utf8string(bytes, mailferry::utf16le_encoding())));
        } else {
            json.Value("null");
        }
        Text(json, bag, 0x007D, "transport_headers");
        Text(json, bag, 0x0042, "from_name");
        Text(json, bag, 0x0065, "from_email");
        Text(json, bag, 0x0064, "from_type");
        json.Key("has_html").Value(bag.prop_exists(0x1013) ? "true" : "false");
        json.Key("has_rtf").Value(bag.prop_exists(0x1009) ? "true" : "false");
        PlainBody(json, message);
        json.Key("recipients").Open('[');
        for (auto it = message.recipient_begin(), end = message.recipient_end(); it != end; ++it) {
            pstcore::recipient row = *it;
            row.set_text_encoding(encoding);
            json.Open('{');
            Int(json, row, 0x0C15, "kind");
            Text(json, row, 0x3001, "name");
            Text(json, row, 0x3003, "email");
            Text(json, row, 0x3002, "type");
            Text(json, row, 0x39FE, "smtp");
            Text(json, row, 0x403E, "alternate");
            json.Close('}');
        }
        json.Close(']');
        json.Key("attachments").Open('[');
        for (auto it = message.attachment_begin(), end = message.attachment_end(); it != end; ++it) {
            pstcore::attachment attachment = *it;
            Attachment(json, attachment);
        }
        json.Close(']');
        json.Close('}');
    }

    void Attachment(Json& json, pstcore::attachment& attachment) {
        auto& bag = attachment.get_property_bag();
        bag.set_text_encoding(encoding);
        json.Open('{');
        Int(json, bag, 0x3705, "method");
        Int(json, bag, 0x7FFD, "flags");
        Text(json, bag, 0x3707, "long_filename");
        Text(json, bag, 0x3704, "filename");
        Text(json, bag, 0x3001, "display_name");
        Text(json, bag, 0x3712, "content_id");
        Text(json, bag, 0x370E, "mime_tag");
        json.Key("data");
        if (attachment.is_message() && attachment.has_data()) {
            json.Value("null");
            json.Key("embedded");
            try {
                pstcore::message inner = attachment.open_as_message();
                Message(json, inner);
            } catch (const std::exception& e) {
                json.Value("null").Key("error").Value(JsonString(e.what()));
            }
        } else if (attachment.has_data()) {
            const std::string name = "att/" + std::to_string(attachmentFiles++) + ".bin";
            std::ofstream file(out / name, std::ios::binary);
            pstcore::hnid_stream_device data = attachment.open_byte_stream();
            char buffer[65536];
            for (std::streamsize got; (got = data.read(buffer, sizeof buffer)) > 0;) file.write(buffer, got);
            json.Value(JsonString(name));
        } else {
            json.Value("null");
        }
        json.Close('}');
    }
};

class FileSink final : public mailferry::OutputSink {
public:
    explicit FileSink(const fs::path& path) : _file(path, std::ios::binary) {}
    void Append(std::string_view bytes) override {
        _file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }

private:
    std::ofstream _file;
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
                Json json;
                json.Open('{');
                json.Key("index").Value(std::to_string(index));
                json.Key("nid").Value(std::to_string(message.get_node().get_id()));
                try {
                    std::string text;
                    mailferry::StringSink emlSink(text);
                    eml.Write(emlSink, &message);
                    std::ofstream(out / "eml" / (std::to_string(index) + ".eml"), std::ios::binary) << text;
                    text.clear();
                    mbox.Write(emlSink, &message);
                    mboxFile << text;
                    json.Key("message");
                    dumper.Message(json, message);
                } catch (const std::exception& e) {
                    json.Key("error").Value(JsonString(e.what()));
                }
                json.Close('}');
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
