// The body analysis, which decides the structure, and the text parts: the plain body converted into the code
// page the message names, the HTML body as stored, or the HTML made from the RTF body.

#include <exception>

#include "encoding/code_page_table.h"
#include "encoding/text_conversion.h"
#include "pstcore/messaging/message.h"
#include "writers/mime_parts_internal.h"

namespace mailferry::detail {

namespace {

constexpr std::size_t kCopyChunk = 57000;
constexpr std::size_t kConvertChunk = 8192;
// Text without any place to cut it between characters is cut here anyway.
constexpr std::size_t kMaxHeldBack = 64 * 1024;

// The width of the code units of a code page whose characters are not made of bytes: 2 for UTF-16, 4 for
// UTF-32, else 1.
std::size_t CodeUnitWidth(const TextEncodingItem* encoding) {
    if (encoding == nullptr) return 1;
    if (encoding->codePage == 1200 || encoding->codePage == 1201) return 2;
    if (encoding->codePage == 12000 || encoding->codePage == 12001) return 4;
    return 1;
}

// How much of `text` ends on a whole character. UTF-16 must not end between the halves of a pair; byte text
// ends after a control character or a space, bytes that no code page of the table uses inside a character.
std::size_t WholeCharacterLength(std::string_view text, std::size_t unitWidth, bool bigEndian) {
    if (unitWidth > 1) {
        std::size_t length = text.size() - text.size() % unitWidth;
        if (unitWidth == 2 && length >= 2) {
            const auto high = static_cast<unsigned char>(text[length - (bigEndian ? 2 : 1)]);
            if (high >= 0xD8 && high <= 0xDB) length -= 2;
        }
        return length;
    }
    for (std::size_t length = text.size(); length > 0; --length) {
        if (static_cast<unsigned char>(text[length - 1]) <= 0x20) return length;
    }
    return 0;
}

// Hands on a stream's text in pieces that end on whole characters, so that each converts on its own.
class CharacterChunks {
public:
    CharacterChunks(byte_source& source, const TextEncodingItem* encoding)
        : _source(source),
          _unitWidth(CodeUnitWidth(encoding)),
          _bigEndian(encoding != nullptr && (encoding->codePage == 1201 || encoding->codePage == 12001)) {}

    // The next piece into `piece`; false at the end.
    bool Next(std::string& piece) {
        for (;;) {
            if (!_ended) {
                const std::size_t held = _held.size();
                _held.resize(held + kConvertChunk);
                const std::size_t got = read_full(_source, std::span(_held).subspan(held));
                _held.resize(held + got);
                _ended = got == 0;
            }
            if (_ended) {
                piece.swap(_held);
                _held.clear();
                return !piece.empty();
            }
            std::size_t length = WholeCharacterLength(_held, _unitWidth, _bigEndian);
            if (length == 0 && _held.size() < kMaxHeldBack) continue;
            if (length == 0) length = _held.size();
            piece.assign(_held, 0, length);
            _held.erase(0, length);
            return true;
        }
    }

private:
    byte_source& _source;
    std::size_t _unitWidth;
    bool _bigEndian;
    bool _ended = false;
    std::string _held;
};

bool Usable(const TextEncodingItem* encoding) {
    return encoding != nullptr && encoding->available;
}

// Whether every character of the text survives the way into `target` and back.
bool TargetHoldsText(byte_source& text, const TextEncodingItem* source, const TextEncodingItem* target) {
    const chunk_converter there = code_page_converter(source, target);
    const chunk_converter back = code_page_converter(target, source);
    CharacterChunks chunks(text, source);
    std::string piece, converted, returned;
    while (chunks.Next(piece)) {
        converted.clear();
        returned.clear();
        there(piece, converted);
        back(converted, returned);
        if (returned != piece) return false;
    }
    return true;
}

}  // namespace

void MessageRenderer::AnalyseBody() {
    _structureFlags = 0;
    _rtf = rtf_body_fields();
    _attachments.clear();
    for (auto it = _message.attachment_begin(), end = _message.attachment_end(); it != end; ++it) {
        pstcore::attachment attachment = *it;
        attachment.get_property_bag().set_text_encoding(_sessionEncoding);
        const pstcore::property_bag& bag = attachment.get_property_bag();
        const std::optional<std::int32_t> flags = FindInt32(bag, kPropAttachmentFlags);
        const bool hidden = flags && (*flags & kAttachmentFlagHidden) != 0;
        const bool hasContentId = !StringOrEmpty(bag, kPropAttachContentId).empty();
        _attachments.push_back({attachment.get_node().get_id(), hidden, hasContentId});
        if (!hidden) _structureFlags |= hasContentId ? kRelated : kMixed;
    }
    const pstcore::property_bag& bag = _message.get_property_bag();
    bool hasHtml = bag.prop_exists(kPropHtml);
    if (!hasHtml && bag.prop_exists(kPropRtfCompressed)) {
        bool converted = false;
        try {
            const std::vector<std::byte> rtf = bag.get_value_variable(kPropRtfCompressed);
            converted = RtfBodyToHtml(std::span<const std::byte>(rtf), _rtf);
        } catch (const std::exception&) {
            // A damaged RTF body only costs the message its HTML alternative.
        }
        if (converted) {
            _htmlCodePage = 65001;
            hasHtml = true;
            if (!_rtf.rtfImages.empty()) _structureFlags |= kMixed;
        } else {
            _rtf = rtf_body_fields();
        }
    }
    const bool hasPlain = bag.prop_exists(kPropBody);
    if (hasPlain && hasHtml)
        _structureFlags |= kAlternative;
    else if (hasPlain)
        _structureFlags |= kPlain;
    else if (hasHtml)
        _structureFlags |= kHtml;

    _structure = kPlain;
    for (const Structure candidate : {kMixed, kRelated, kAlternative, kHtml}) {
        if ((_structureFlags & candidate) != 0) {
            _structure = candidate;
            break;
        }
    }
    ChoosePlainEncodings();
}

// The plain body is stored as UTF-16 or in an 8-bit code page (the message's own, else the session's) and is
// written in the code page the message names for its HTML or its text, when that one is usable.
void MessageRenderer::ChoosePlainEncodings() {
    const pstcore::property_bag& bag = _message.get_property_bag();
    const std::optional<pstcore::prop_type> bodyType = bag.find_prop_type(kPropBody);
    // The stored type says how the body is encoded; the kind of file only guesses it when there is none.
    const bool unicodeBody = bodyType ? *bodyType == pstcore::prop_types::unicode : _settings.unicodeStore;
    _htmlEncoding = find_text_encoding(_htmlCodePage);
    const TextEncodingItem* html = _htmlEncoding;
    const TextEncodingItem* text = _textCodePage == _htmlCodePage ? html : find_text_encoding(_textCodePage);
    if (unicodeBody) {
        _plainSource = utf16le_encoding();
        if (text != nullptr && !text->available)
            _plainTarget = utf8_encoding();
        else if (Usable(html))
            _plainTarget = html;
        else if (Usable(text))
            _plainTarget = text;
        else
            _plainTarget = utf8_encoding();
    } else if (text != nullptr) {
        _plainSource = text;
        _plainTarget = Usable(html) && Usable(text) ? html : text;
    } else {
        _plainSource = _sessionEncoding;
        _plainTarget = Usable(html) ? html : _sessionEncoding;
    }
    // A code page that cannot hold every character of the text would lose them; UTF-8 holds them all.
    if (bodyType && _plainSource != _plainTarget && _plainTarget != utf8_encoding() && _plainSource != nullptr &&
        _plainTarget != nullptr) {
        PropertySource body(_message.open_body_stream());
        if (!TargetHoldsText(body, _plainSource, _plainTarget)) _plainTarget = utf8_encoding();
    }
}

void MessageRenderer::WriteTextParts() {
    const pstcore::property_bag& bag = _message.get_property_bag();
    if (bag.prop_exists(kPropBody)) WritePlainText();
    if (bag.prop_exists(kPropHtml) || !_rtf.rtfHtml.empty()) WriteHtmlText();
    _out.Flush();
}

void MessageRenderer::WritePlainText() {
    if ((_structureFlags & kAlternative) != 0) {
        _out.Put(_out.Eol());
        WriteDelimiter(Boundary::alternative);
    }
    if (_structure != kPlain) {
        if (_plainTarget != nullptr)
            _out.Line("Content-Type: text/plain;charset=\"", _plainTarget->charsetName, "\"");
        else
            _out.Line("Content-Type: text/plain");
        _out.Line("Content-Transfer-Encoding: 8bit");
        _out.Line("");
    }
    PropertySource body(_message.open_body_stream());
    if (_plainSource == _plainTarget) {
        WriteBody(body, nullptr);
    } else if (_plainSource == utf16le_encoding() && _plainTarget == utf8_encoding()) {
        // The usual case, which needs no converter for plain ASCII.
        const chunk_converter convert = [](std::string_view chunk, std::string& out) {
            out.append(bytes_to_utf8string(std::as_bytes(std::span(chunk)), utf16le_encoding()));
        };
        WriteBody(body, &convert);
    } else {
        const chunk_converter convert = code_page_converter(_plainSource, _plainTarget);
        WriteBody(body, &convert);
    }
    _out.Line("");
}

void MessageRenderer::WriteHtmlText() {
    const TextEncodingItem* encoding = _htmlCodePage != 0 ? _htmlEncoding : _sessionEncoding;
    if ((_structureFlags & kAlternative) != 0) {
        _out.Put(_out.Eol());
        WriteDelimiter(Boundary::alternative);
    }
    if (_structure != kHtml) {
        if (encoding != nullptr)
            _out.Line("Content-Type: text/html;charset=\"", encoding->charsetName, "\"");
        else
            _out.Line("Content-Type: text/html");
        _out.Line("Content-Transfer-Encoding: 8bit");
        _out.Line("");
    }
    if (_message.get_property_bag().prop_exists(kPropHtml)) {
        PropertySource body(_message.open_html_body_stream());
        WriteBody(body, nullptr);
    } else {
        // Escaped in MBOX text only: in EML a line beginning "From " is just a line.
        BodyOutput html(_out, _settings.mboxMode);
        html.Append(_rtf.rtfHtml);
        html.Finish();
    }
    _rtf.rtfHtml.clear();
    _out.Line("");
    _out.Flush();
}

// Copies a body to the output, converted by `convert` when given; in MBOX text escaped, in EML as it is.
void MessageRenderer::WriteBody(byte_source& body, const chunk_converter* convert) {
    BodyOutput output(_out, _settings.mboxMode);
    if (convert == nullptr) {
        std::string chunk(kCopyChunk, '\0');
        for (std::size_t got; (got = read_full(body, chunk)) > 0;) output.Append(std::string_view(chunk.data(), got));
    } else {
        CharacterChunks chunks(body, _plainSource);
        std::string piece, converted;
        while (chunks.Next(piece)) {
            converted.clear();
            (*convert)(piece, converted);
            output.Append(converted);
        }
    }
    output.Finish();
}

}  // namespace mailferry::detail
