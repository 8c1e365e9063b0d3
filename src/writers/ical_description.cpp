#include "writers/ical_description.h"

#include <algorithm>
#include <array>
#include <span>
#include <string_view>

#include "encoding/code_page_table.h"
#include "encoding/escaping.h"
#include "platform/diagnostic_log.h"
#include "pstcore/messaging/message.h"
#include "writers/ical_fields.h"

namespace mailferry {

namespace {

constexpr pstcore::prop_id kBody = 0x1000;
constexpr pstcore::prop_id kInternetCodePage = 0x3FDE;
constexpr pstcore::prop_id kAttachmentFlags = 0x7FFD;
constexpr pstcore::prop_type kTypeUnicode = 0x001F;
constexpr std::int32_t kExceptionAttachment = 0x2;
constexpr std::size_t kFirstChunk = 512;
constexpr std::size_t kBlankBodyLimit = 8;

// A property stream, with its first bytes already read handed out again first.
class BodySource final : public byte_source {
public:
    explicit BodySource(pstcore::hnid_stream_device stream) : _stream(std::move(stream)) {}

    // Reads the first chunk (up to its size) and returns it; later reads start with these bytes.
    std::string_view Peek() {
        _peeked.resize(kFirstChunk);
        std::size_t got = 0;
        while (got < _peeked.size()) {
            const auto n = _stream.read(_peeked.data() + got, static_cast<std::streamsize>(_peeked.size() - got));
            if (n <= 0) break;
            got += static_cast<std::size_t>(n);
        }
        _peeked.resize(got);
        return _peeked;
    }
    std::size_t read(std::span<char> buffer) override {
        if (_served < _peeked.size()) {
            const std::size_t n = std::min(buffer.size(), _peeked.size() - _served);
            std::copy_n(_peeked.data() + _served, n, buffer.data());
            _served += n;
            return n;
        }
        const auto n = _stream.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        return n > 0 ? static_cast<std::size_t>(n) : 0;
    }

private:
    pstcore::hnid_stream_device _stream;
    std::string _peeked;
    std::size_t _served = 0;
};

// A body of a few bytes that are all NUL, tab, CR or LF is no text.
bool IsBlank(std::string_view first) {
    return first.size() <= kBlankBodyLimit && std::all_of(first.begin(), first.end(), [](char c) {
               return c == '\0' || c == '\t' || c == '\n' || c == '\r';
           });
}

// The encoding of the body's bytes, or null (logged) when no converter can read them.
const TextEncodingItem* BodyEncoding(pstcore::message& message, std::int32_t defaultCodePage) {
    const pstcore::property_bag& bag = message.get_property_bag();
    if (bag.find_prop_type(kBody) == kTypeUnicode) return utf16le_encoding();
    std::int32_t codePage = ReadInteger(bag, kInternetCodePage).value_or(0);
    if (codePage == 0) codePage = defaultCodePage;
    const TextEncodingItem* encoding = find_text_encoding(codePage);
    if (encoding && encoding->available) return encoding;
    platform::log_diagnostic("Calendar description can not be written because of invalid Code-Page : " +
                             std::to_string(codePage));
    return nullptr;
}

// Appends the body; true when it holds text.
bool WriteBody(std::string& out, pstcore::message& message, const TextEncodingItem* encoding) {
    out.append("\r\n ");
    BodySource body(message.open_body_stream());
    if (IsBlank(body.Peek())) return false;
    return WriteEscapedTextStream(body, encoding, out);
}

// An attachment that is not a modified occurrence of the series is content the event cannot carry.
bool HasRealAttachment(pstcore::message& message) {
    if (message.get_attachment_count() == 0) return false;
    for (auto it = message.attachment_begin(); it != message.attachment_end(); ++it) {
        const auto flags = ReadInteger(it->get_property_bag(), kAttachmentFlags);
        if (!flags || !(*flags & kExceptionAttachment)) return true;
    }
    return false;
}

}  // namespace

bool WriteDescription(std::string& out, pstcore::message& message, std::int32_t defaultCodePage,
                      const std::string* note) {
    const TextEncodingItem* encoding =
        message.get_property_bag().find_prop_type(kBody) ? BodyEncoding(message, defaultCodePage) : nullptr;
    if (!note && !encoding) return HasRealAttachment(message);
    out.append("\r\nDESCRIPTION:");
    const bool hasBody = encoding && WriteBody(out, message, encoding);
    const bool needsReference = hasBody || HasRealAttachment(message);
    if (needsReference && note) {
        out.append("\r\n ");
        AppendEscapedText(*note, out);
    }
    return needsReference;
}

}  // namespace mailferry
