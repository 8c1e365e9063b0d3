#include "encoding/escaping.h"

#include <algorithm>
#include <array>
#include <utility>

#include "encoding/code_page_table.h"
#include "encoding/utf16_internal.h"

namespace mailferry {

namespace {

constexpr std::size_t max_property_bytes = 1032;
constexpr std::size_t stream_chunk = 512;
constexpr std::size_t fold_after = 75;

// The escapes of vCard and iCalendar values: every line break (CR LF, a lone LF or a lone CR) becomes the two
// characters backslash and "n"; ",", ";" and the backslash get a backslash before them. Folding, when asked for,
// writes CR LF and a space before an input byte once 75 input bytes went since the last fold. The state runs on
// across calls, so a CR LF split between two pieces of text is still one line break.
class value_escaper {
public:
    explicit value_escaper(bool fold) : m_fold(fold) {}

    void append(std::string_view text, std::string& out) {
        for (const char c : text) {
            if (m_fold && m_column == fold_after) {
                out.append("\r\n ");
                m_column = 0;
            }
            append_byte(c, out);
            ++m_column;
        }
    }

private:
    void append_byte(char c, std::string& out) {
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

    bool m_fold;
    std::size_t m_column = 0;
    bool m_after_cr = false;
};

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
    value_escaper(false).append(text, out);
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
