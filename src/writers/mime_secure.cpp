// Signed and encrypted mail, which a PST keeps as one attachment holding the whole signed MIME entity or the
// PKCS #7 object: the message is written around that attachment instead of as parts of its own.

#include <array>

#include "pstcore/messaging/attachment.h"
#include "pstcore/messaging/message.h"
#include "writers/mime_parts_internal.h"

namespace mailferry::detail {

namespace {

constexpr std::size_t kCopyChunk = 57000;
constexpr std::string_view kContentPrefix = "Content-";

// The message's single attachment, with the session's code page for its 8-bit strings.
pstcore::attachment SingleAttachment(pstcore::message& message, const TextEncodingItem* encoding) {
    pstcore::attachment attachment = *message.attachment_begin();
    attachment.get_property_bag().set_text_encoding(encoding);
    return attachment;
}

// Keeps the "Content-" fields of a header section (with their continuation lines) and drops the others,
// holding no more than a field name's first bytes whatever the length of a line.
class ContentFieldFilter {
public:
    explicit ContentFieldFilter(MimeOutput& out) : _out(out) {}

    // Takes one byte of the header section (CR already left out); false once the empty line ends the section.
    bool Take(char c) {
        if (c == '\n') return EndLine();
        if (_length++ == 0) _continuation = c == ' ' || c == '\t';
        if (_decided) {
            if (_keep) {
                _out.Buffer().push_back(c);
                _out.Settle();
            }
            return true;
        }
        _start.push_back(c);
        if (_continuation || _start.size() == kContentPrefix.size()) Decide();
        return true;
    }
    // Ends a last line that has no line end.
    void Finish() {
        if (_length > 0) EndLine();
    }

private:
    void Decide() {
        _keep = _continuation ? _lastFieldKept : StartsWithNoCase(_start, kContentPrefix);
        if (!_continuation) _lastFieldKept = _keep;
        if (_keep) _out.Buffer().append(_start);
        _decided = true;
    }
    bool EndLine() {
        if (_length == 0) return false;
        if (!_decided) Decide();
        if (_keep) _out.Line("");
        _out.Settle();
        _start.clear();
        _length = 0;
        _decided = false;
        return true;
    }

    MimeOutput& _out;
    std::string _start;  // the line's first bytes, until they decide it
    std::size_t _length = 0;
    bool _continuation = false;
    bool _decided = false;
    bool _keep = false;
    bool _lastFieldKept = false;
};

}  // namespace

SecureKind MessageRenderer::ClassifySecureMessage() {
    const pstcore::property_bag& bag = _message.get_property_bag();
    if (!bag.prop_exists(kPropMessageClass) || _message.get_attachment_count() != 1) return SecureKind::ordinary;
    const std::string messageClass = bag.read_utf8string(kPropMessageClass);
    if (!EqualsNoCase(messageClass, "IPM.Note.SMIME.MultipartSigned") &&
        !EqualsNoCase(messageClass, "IPM.Note.SMIME") && !EqualsNoCase(messageClass, "IPM.Note.GpgOL.OpaqueEncrypted"))
        return SecureKind::ordinary;
    const pstcore::attachment attachment = SingleAttachment(_message, _sessionEncoding);
    const pstcore::property_bag& attachmentBag = attachment.get_property_bag();
    const std::string mimeType = HeaderText(StringOrEmpty(attachmentBag, kPropAttachMimeTag), false);
    if (mimeType == "multipart/signed") return SecureKind::clearSigned;
    if (mimeType == "application/pkcs7-mime" || mimeType == "application/x-pkcs7-mime") return SecureKind::opaque;
    if (mimeType == "application/octet-stream" && attachmentBag.prop_exists(kPropAttachFilename))
        return SecureKind::opaque;
    return SecureKind::ordinary;
}

void MessageRenderer::WriteSignedMessage() {
    WriteHeaderBlock();
    const pstcore::attachment attachment = SingleAttachment(_message, _sessionEncoding);
    if (!attachment.has_data()) {
        _out.Flush();
        return;
    }
    PropertySource entity(attachment.open_byte_stream());
    WriteSignedEntity(entity);
}

// The signed entity's own content fields, then its body byte for byte: its boundaries and signature stay as
// they were signed.
void MessageRenderer::WriteSignedEntity(PropertySource& entity) {
    std::string chunk(kCopyChunk, '\0');
    ContentFieldFilter filter(_out);
    std::string_view body;
    bool inHeaders = true;
    while (inHeaders) {
        const std::size_t got = read_full(entity, chunk);
        if (got == 0) {
            filter.Finish();
            break;
        }
        for (std::size_t i = 0; i < got; ++i) {
            if (chunk[i] == '\r') continue;
            if (!filter.Take(chunk[i])) {
                inHeaders = false;
                body = std::string_view(chunk.data() + i + 1, got - i - 1);
                break;
            }
        }
    }
    _out.Line("");
    BodyOutput output(_out, _settings.mboxMode);
    if (!inHeaders) {
        output.Append(body);
        for (std::size_t got; (got = read_full(entity, chunk)) > 0;) output.Append(std::string_view(chunk.data(), got));
    }
    output.Finish();
    // The entity's last line end is not the message's: in MBOX text the next separator would join that line.
    _out.Line("");
    _out.Line("");
    _out.Flush();
}

void MessageRenderer::WriteOpaqueMessage() {
    WriteHeaderBlock();
    const pstcore::property_bag& bag = _message.get_property_bag();
    const pstcore::attachment attachment = SingleAttachment(_message, _sessionEncoding);
    if (_settings.contentTypePropId != 0 && bag.prop_exists(_settings.contentTypePropId)) {
        _out.Line("Content-Type:", HeaderText(bag.read_utf8string(_settings.contentTypePropId), false));
    } else {
        const pstcore::property_bag& attachmentBag = attachment.get_property_bag();
        std::string mimeType = HeaderText(StringOrEmpty(attachmentBag, kPropAttachMimeTag), false);
        if (mimeType.empty()) mimeType = "application/pkcs7-mime";
        const std::string fileName = StringOrEmpty(attachmentBag, kPropAttachFilename);
        _out.Line("Content-Type:", mimeType, "; ",
                  fileName.empty() ? "name=smime.p7m" : NameParameter("name", "", fileName));
    }
    _out.Line("Content-Transfer-Encoding: base64");
    _out.Line("Content-Disposition: attachment;filename=smime.p7m");
    _out.Line("");
    if (!attachment.has_data()) return;
    PropertySource data(attachment.open_byte_stream());
    WriteBase64Pieces(data, _out);
    _out.Line("");
    _out.Line("");
    _out.Flush();
}

}  // namespace mailferry::detail
