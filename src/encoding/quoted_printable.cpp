#include "encoding/quoted_printable.h"

#include <array>

namespace mailferry {

namespace {

constexpr std::string_view hex_digits = "0123456789ABCDEF";
constexpr std::string_view soft_break = "=\r\n";
constexpr std::size_t stream_chunk = 512;

bool is_escaped(unsigned char c) {
    return (c < 33 && c != '\t' && c != ' ') || c == '=' || c >= 127;
}

// `break_before_escape`: streams break before an escape at column 75, single values after one that reaches 72.
void encode(std::string_view bytes, std::string& out, std::size_t& column, bool break_before_escape) {
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (is_escaped(c)) {
            if (break_before_escape && column >= 75) {
                out.append(soft_break);
                column = 0;
            }
            out.push_back('=');
            out.push_back(hex_digits[c >> 4]);
            out.push_back(hex_digits[c & 0x0F]);
            column += 3;
            if (!break_before_escape && column >= 72) {
                out.append(soft_break);
                column = 0;
            }
            continue;
        }
        if (column >= 75) {
            out.append(soft_break);
            column = 0;
        }
        if (c == ',' || c == ';' || c == '\\') {
            out.push_back('\\');
            ++column;
        }
        out.push_back(ch);
        ++column;
    }
}

}  // namespace

void EncodeQuotedPrintable(std::string_view bytes, std::string& out) {
    std::size_t column = 0;
    encode(bytes, out, column, false);
}

void WriteQuotedPrintableStream(byte_source& stream, const chunk_converter& convert, std::string& out) {
    std::size_t column = 0;
    if (convert) {
        // Converted as one text, so that a character whose bytes straddle two reads survives.
        std::string text;
        append_all(stream, text);
        if (text.empty()) {
            out.append("=0D=0A");
            return;
        }
        std::string converted;
        convert(text, converted);
        encode(converted, out, column, true);
        return;
    }
    std::array<char, stream_chunk> chunk{};
    for (bool first = true;; first = false) {
        const std::size_t got = read_full(stream, chunk);
        if (got == 0) {
            if (first) out.append("=0D=0A");
            return;
        }
        encode(std::string_view(chunk.data(), got), out, column, true);
        if (got < chunk.size()) return;
    }
}

void WriteQuotedPrintableStream(byte_source& stream, const TextEncodingItem* streamEncoding, std::string& out,
                                const TextEncodingItem* targetEncoding) {
    WriteQuotedPrintableStream(stream, code_page_converter(streamEncoding, targetEncoding), out);
}

}  // namespace mailferry
