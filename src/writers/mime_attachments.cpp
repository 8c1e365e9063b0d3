// The attachment parts of an ordinary message: files as base64 read in pieces, attached messages through a
// writer of their own, and the pictures taken out of an RTF body.

#include <deque>
#include <exception>
#include <utility>

#include "encoding/base64.h"
#include "platform/diagnostic_log.h"
#include "pstcore/messaging/attachment.h"
#include "pstcore/messaging/message.h"
#include "writers/mime_parts_internal.h"

namespace mailferry::detail {

namespace {

constexpr std::int32_t kAttachByValue = 1;
constexpr std::int32_t kAttachEmbeddedMessage = 5;
bool IsAttrChar(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::string_view("!#$&+-.^_`|~").find(static_cast<char>(c)) != std::string_view::npos;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Hex text as bytes; line breaks and anything else that is no hex digit are passed over.
std::string HexToBytes(std::string_view hex) {
    std::string bytes;
    bytes.reserve(hex.size() / 2);
    int high = -1;
    for (const char c : hex) {
        const int value = HexValue(c);
        if (value < 0) continue;
        if (high < 0) {
            high = value;
        } else {
            bytes.push_back(static_cast<char>(high * 16 + value));
            high = -1;
        }
    }
    return bytes;
}

}  // namespace

std::string NameParameter(std::string_view parameter, std::string_view afterEquals, std::string_view name) {
    const std::string value = HeaderText(name, true);
    std::string text = std::string(parameter).append("=").append(afterEquals);
    if (value.starts_with('"')) return text.append(value);
    text.append("\"").append(value).append("\"; ").append(parameter).append("*=UTF-8''");
    constexpr std::string_view digits = "0123456789ABCDEF";
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (IsAttrChar(byte)) {
            text.push_back(c);
        } else {
            text.push_back('%');
            text.push_back(digits[byte >> 4]);
            text.push_back(digits[byte & 0x0F]);
        }
    }
    return text;
}

void MessageRenderer::WriteAttachments() {
    // Attachments with a content ID are the related part's pictures: they come first, in the reverse of their
    // table order; the others follow in table order.
    std::deque<const AttachmentEntry*> order;
    for (const AttachmentEntry& entry : _attachments) {
        if (entry.hasContentId)
            order.push_front(&entry);
        else
            order.push_back(&entry);
    }
    bool inRelated = false;
    for (const AttachmentEntry* entry : order) {
        if (entry->hidden) continue;
        if (inRelated && !entry->hasContentId) {
            _out.Put(_out.Eol());
            WriteClosingDelimiter(Boundary::related);
            _out.Line("");
            _relatedOpen = false;
        }
        inRelated = entry->hasContentId;
        _out.Put(_out.Eol());
        WriteDelimiter(entry->hasContentId ? Boundary::related : Boundary::mixed);
        pstcore::attachment attachment(_message.get_node().lookup(entry->id), _message.get_depth());
        attachment.get_property_bag().set_text_encoding(_sessionEncoding);
        const std::optional<std::int32_t> method = FindInt32(attachment.get_property_bag(), kPropAttachMethod);
        if (method == kAttachEmbeddedMessage)
            WriteEmbeddedMessage(attachment);
        else if (method == kAttachByValue)
            WriteValueAttachment(attachment);
        // Other methods (OLE objects, references to files) leave their part empty.
    }
}

void MessageRenderer::WriteValueAttachment(pstcore::attachment& attachment) {
    const pstcore::property_bag& bag = attachment.get_property_bag();
    if (!bag.prop_exists(kPropAttachData)) return;
    try {
        const std::string mimeType = HeaderText(StringOrEmpty(bag, kPropAttachMimeTag), false);
        _out.Put("Content-Type: ");
        _out.Put(mimeType.empty() ? "application/octet-stream" : mimeType);
        _out.Put(";");
        const std::string displayName = StringOrEmpty(bag, kPropDisplayName);
        if (!displayName.empty()) _out.Put(" " + NameParameter("name", " ", displayName));
        _out.Line("");
        _out.Line("Content-Transfer-Encoding: base64");
        _out.Put("Content-Disposition: attachment;");
        // A long name that is present but empty hides the short one.
        std::optional<std::string> fileName = FindString(bag, kPropAttachLongFilename);
        if (!fileName) fileName = FindString(bag, kPropAttachFilename);
        if (fileName && !fileName->empty()) _out.Put(" " + NameParameter("filename", " ", *fileName));
        const std::string location = HeaderText(StringOrEmpty(bag, kPropAttachContentLocation), false);
        if (!location.empty()) {
            _out.Line("");
            _out.Put("Content-Location: ");
            _out.Put(location);
        }
        _out.Line("");
        const std::string contentId = HeaderText(StringOrEmpty(bag, kPropAttachContentId), false);
        if (!contentId.empty()) _out.Put("Content-ID: <" + contentId + ">");
        _out.Line("");
        _out.Line("");
        PropertySource data(attachment.open_byte_stream());
        WriteBase64Pieces(data, _out);
        _out.Line("");
        _out.Line("");
        _out.Flush();
    } catch (const OutputError&) {
        throw;
    } catch (const std::exception&) {
        platform::log_diagnostic("Corrupt VALUE attachment");
    }
}

void MessageRenderer::WriteEmbeddedMessage(pstcore::attachment& attachment) {
    if (!attachment.get_property_bag().prop_exists(kPropAttachData)) return;
    try {
        pstcore::message inner = attachment.open_as_message();
        _out.Line("Content-Type: message/rfc822");
        _out.Line("Content-Transfer-Encoding: 7bit");
        _out.Line("Content-Disposition: attachment");
        _out.Line("");
        // A writer of its own for each level: its own header block, boundaries and Message-ID host, and never
        // a separator line.
        MailSettings settings = _settings;
        settings.writeFromLine = false;
        settings.messageIdHost = _settings.context->newUuid();
        WriteMail(settings, _out, inner, std::nullopt);
        _out.Flush();
    } catch (const OutputError&) {
        throw;
    } catch (const std::exception&) {
        platform::log_diagnostic("Corrupt message attachment");
    }
}

void MessageRenderer::WriteRtfImages() {
    if (_relatedOpen) {
        // Pictures of the RTF body belong to the mixed part; a related part still open would swallow them.
        _out.Put(_out.Eol());
        WriteClosingDelimiter(Boundary::related);
        _out.Line("");
        _relatedOpen = false;
    }
    for (const rtf_image& image : _rtf.rtfImages) {
        _out.Put(_out.Eol());
        WriteDelimiter(Boundary::mixed);
        _out.Line("Content-Type: application/octet-stream; name= \"", image.name, "\"");
        _out.Line("Content-Transfer-Encoding: base64");
        _out.Put("Content-Disposition: attachment;");
        if (!image.name.empty()) _out.Put(" filename= \"" + image.name + "\"");
        _out.Line("");
        _out.Line("");
        _out.Line("");
        WriteBase64Buffer(image.dataIsHex ? HexToBytes(image.data) : image.data, _out.Buffer(), _out.Eol());
        _out.Line("");
        _out.Line("");
        _out.Flush();
    }
    _rtf.rtfImages.clear();
}

}  // namespace mailferry::detail
