#include "encoding/escaping.h"

#include <algorithm>
#include <array>
#include <utility>

#include "encoding/code_page_table.h"
#include "encoding/utf16_internal.h"

namespace mailferry {

namespace {

constexpr std::size_t stream_chunk = 512;
constexpr std::size_t fold_after = 75;

bool is_continuation_byte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// The bytes of the UTF-8 sequence that `lead` starts (1 for ASCII and for stray bytes).
std::size_t utf8_length(char lead) {
    const auto byte = static_cast<unsigned char>(lead);
    if (byte >= 0xF0) return 4;
    if (byte >= 0xE0) return 3;
    if (byte >= 0xC0) return 2;
    return 1;
}

bool is_blank_text(std::string_view bytes) {
    return bytes.size() < 9 &&
           std::all_of(bytes.begin(), bytes.end(), [](char c) { return c == '\0' || c == '\n' || c == '\r'; });
}

}  // namespace

void value_escaper::append(std::string_view text, std::string& out) {
    for (const char c : text) {
        if (m_fold && m_column > 0 && !is_continuation_byte(c) && m_column + utf8_length(c) > fold_after) {
            out.append("\r\n ");
            m_column = 0;
        }
        append_byte(c, out);
        ++m_column;
    }
}

void value_escaper::append_byte(char c, std::string& out) {
    const bool after_cr = std::exchange(m_after_cr, c == '\r');
    switch (c) {
        case '\r':
            out.append("\\n");
            break;
        case '\n':
            if (!after_cr) out.append("\\n");
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

void AppendEscapedProperty(std::string& out, std::u16string_view value, bool escape) {
    std::string utf8;
    if (value.empty() || !detail::append_utf8(value, utf8)) return;
    if (!escape) {
        out.append(utf8);
        return;
    }
    value_escaper(false).append(utf8, out);
}

bool WriteEscapedTextStream(byte_source& stream, const chunk_converter& convert, std::string& out) {
    std::array<char, stream_chunk> chunk{};
    const std::size_t got = read_full(stream, chunk);
    if (got == 0 || is_blank_text(std::string_view(chunk.data(), got))) return false;
    // Converted as one text, so that a character whose bytes straddle two reads survives.
    std::string text(chunk.data(), got);
    if (got == chunk.size()) append_all(stream, text);
    value_escaper escaper(true);
    if (!convert) {
        escaper.append(text, out);
        return true;
    }
    std::string converted;
    convert(text, converted);
    escaper.append(converted, out);
    return true;
}

bool WriteEscapedTextStream(byte_source& stream, const TextEncodingItem* streamEncoding, std::string& out) {
    return WriteEscapedTextStream(stream, code_page_converter(streamEncoding, utf8_encoding()), out);
}

void AppendEscapedText(std::string_view text, std::string& out) {
    text = text.substr(0, text.find('\0'));
    value_escaper(true).append(text, out);
}

}  // namespace mailferry
