#include <algorithm>

#include "encoding/base64.h"
#include "encoding/header_text.h"
#include "writers/mime_parts_internal.h"

namespace mailferry::detail {

namespace {

// Base64 is written from this many bytes at a time: whole lines, so the pieces join seamlessly.
constexpr std::size_t kBase64Piece = 1000 * base64_line_bytes;

// Serves at most `limit` bytes of another source, and tells whether that one has ended.
class SliceSource final : public byte_source {
public:
    SliceSource(byte_source& source, std::size_t limit) : _source(source), _left(limit) {}
    std::size_t read(std::span<char> buffer) override {
        if (_left == 0 || _ended) return 0;
        const std::size_t got = _source.read(buffer.first(std::min(buffer.size(), _left)));
        if (got == 0) _ended = true;
        _left -= std::min(got, _left);
        return got;
    }
    // The other source has ended (or ended before the slice was full).
    bool SourceEnded() const { return _ended || _left != 0; }

private:
    byte_source& _source;
    std::size_t _left;
    bool _ended = false;
};

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

void MimeOutput::Flush() {
    if (_buffer.empty()) return;
    _sink.Append(_buffer);
    _buffer.clear();
}

void WriteBase64Pieces(byte_source& data, MimeOutput& out) {
    for (;;) {
        SliceSource piece(data, kBase64Piece);
        WriteBase64Stream(piece, out.Buffer(), out.Eol());
        out.Settle();
        if (piece.SourceEnded()) return;
    }
}

std::optional<std::string> FindString(const pstcore::const_property_object& object, pstcore::prop_id id) {
    if (!object.prop_exists(id)) return std::nullopt;
    return object.read_utf8string(id);
}

std::string StringOrEmpty(const pstcore::const_property_object& object, pstcore::prop_id id) {
    return FindString(object, id).value_or(std::string());
}

std::optional<std::int32_t> FindInt32(const pstcore::const_property_object& object, pstcore::prop_id id) {
    const std::optional<pstcore::prop_type> type = object.find_prop_type(id);
    if (!type) return std::nullopt;
    if (*type == pstcore::prop_types::int16) return static_cast<std::int16_t>(object.get_value_2(id));
    if (*type == pstcore::prop_types::boolean) return object.get_value_1(id);
    return static_cast<std::int32_t>(object.get_value_4(id));
}

std::optional<std::int64_t> FindTime(const pstcore::const_property_object& object, pstcore::prop_id id) {
    if (!object.prop_exists(id)) return std::nullopt;
    return object.read_time(id);
}

std::string HeaderText(std::string_view utf8, bool quote) {
    std::string out;
    if (utf8.find_first_of("\r\n") == std::string_view::npos) {
        EncodeHeaderText(utf8, "utf-8", quote, out);
        return out;
    }
    std::string oneLine(utf8);
    std::replace_if(
        oneLine.begin(), oneLine.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    EncodeHeaderText(oneLine, "utf-8", quote, out);
    return out;
}

std::string HeaderText(std::u16string_view text, bool quote) {
    std::string out;
    if (text.find_first_of(u"\r\n") == std::u16string_view::npos) {
        EncodeHeaderText(text, quote, out);
        return out;
    }
    std::u16string oneLine(text);
    std::replace_if(
        oneLine.begin(), oneLine.end(), [](char16_t c) { return c == u'\r' || c == u'\n'; }, u' ');
    EncodeHeaderText(oneLine, quote, out);
    return out;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    return std::equal(prefix.begin(), prefix.end(), text.begin(),
                      [](char a, char b) { return LowerAscii(a) == LowerAscii(b); });
}

bool EqualsNoCase(std::string_view text, std::string_view ascii) {
    return text.size() == ascii.size() && StartsWithNoCase(text, ascii);
}

}  // namespace mailferry::detail
