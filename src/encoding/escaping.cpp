#include "encoding/escaping.h"

#include <algorithm>
#include <array>

#include "encoding/code_page_table.h"
#include "encoding/utf16_internal.h"

namespace mailferry {

namespace {

constexpr std::size_t max_property_bytes = 1032;
constexpr std::size_t stream_chunk = 512;
constexpr std::size_t fold_after = 75;

void append_escaped_byte(char c, std::string& out) {
    switch (c) {
        case '\n':
            out.push_back('n');
            break;
        case '\r':
            out.push_back('\\');
            break;
        case ',':
        case ';':
        case '\\':
            out.push_back('\\');
            out.push_back(c);
            break;
        default:
            out.push_back(c);
    }
}

void append_folded(std::string_view text, std::string& out, std::size_t& column) {
    for (const char c : text) {
        if (column == fold_after) {
            out.append("\r\n ");
            column = 0;
        }
        append_escaped_byte(c, out);
        ++column;
    }
}

// The longest prefix of at most `limit` bytes that does not end inside a UTF-8 sequence.
std::size_t utf8_cut(std::string_view text, std::size_t limit) {
    if (text.size() <= limit) return text.size();
    std::size_t cut = limit;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    return cut;
}

bool is_blank_text(std::string_view bytes) {
    return bytes.size() < 9 &&
           std::all_of(bytes.begin(), bytes.end(), [](char c) { return c == '\0' || c == '\n' || c == '\r'; });
}

}  // namespace

void AppendEscapedProperty(std::string& out, std::u16string_view value, bool escape) {
    std::string utf8;
    if (value.empty() || !detail::append_utf8(value, utf8)) return;
    const std::string_view text(utf8.data(), utf8_cut(utf8, max_property_bytes));
    if (!escape) {
        out.append(text);
        return;
    }
    for (const char c : text) append_escaped_byte(c, out);
}

bool WriteEscapedTextStream(byte_source& stream, const chunk_converter& convert, std::string& out) {
    std::array<char, stream_chunk> chunk{};
    std::size_t got = read_full(stream, chunk);
    if (got == 0 || is_blank_text(std::string_view(chunk.data(), got))) return false;
    std::string converted;
    std::size_t column = 0;
    for (;;) {
        const std::string_view bytes(chunk.data(), got);
        if (convert) {
            converted.clear();
            convert(bytes, converted);
            append_folded(converted, out, column);
        } else {
            append_folded(bytes, out, column);
        }
        if (got < chunk.size()) break;
        got = read_full(stream, chunk);
        if (got == 0) break;
    }
    return true;
}

bool WriteEscapedTextStream(byte_source& stream, const TextEncodingItem* streamEncoding, std::string& out) {
    return WriteEscapedTextStream(stream, code_page_converter(streamEncoding, utf8_encoding()), out);
}

void AppendEscapedText(std::string_view text, std::string& out) {
    text = text.substr(0, text.find('\0'));
    std::size_t column = 0;
    append_folded(text, out, column);
}

}  // namespace mailferry
