#include "encoding/base64.h"

#include <algorithm>
#include <array>
#include <vector>

#include "platform/diagnostic_log.h"

namespace mailferry {

namespace {

constexpr std::string_view alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Stream chunks hold 1000 lines' worth, so every chunk but the last cuts into whole lines.
constexpr std::size_t stream_chunk = 1000 * base64_line_bytes;

// Encodes one group of one to three bytes into four characters.
void encode_group(const unsigned char* in, std::size_t count, char* out) {
    const unsigned b0 = in[0];
    const unsigned b1 = count > 1 ? in[1] : 0;
    const unsigned b2 = count > 2 ? in[2] : 0;
    out[0] = alphabet[b0 >> 2];
    out[1] = alphabet[((b0 & 0x03) << 4) | (b1 >> 4)];
    out[2] = count > 1 ? alphabet[((b1 & 0x0F) << 2) | (b2 >> 6)] : '=';
    out[3] = count > 2 ? alphabet[b2 & 0x3F] : '=';
}

// Appends one buffer as lines. Streams put the separator after every full line, buffers only between lines.
void append_lines(std::string_view bytes, std::string& out, std::string_view separator, bool separator_after_full) {
    std::array<char, base64_line_chars + 3> line{};
    while (!bytes.empty()) {
        const std::string_view piece = bytes.substr(0, base64_line_bytes);
        bytes.remove_prefix(piece.size());
        EncodeBase64(piece, line);
        out.append(line.data());
        const bool full = piece.size() == base64_line_bytes;
        if (separator_after_full ? full : !bytes.empty()) out.append(separator);
    }
}

}  // namespace

bool EncodeBase64(std::string_view input, std::span<char> output) {
    const auto* in = reinterpret_cast<const unsigned char*>(input.data());
    std::size_t written = 0;
    for (std::size_t i = 0; i < input.size(); i += 3) {
        if (output.size() - written < 5) {
            platform::log_diagnostic("Insufficient encoding buffer for output.");
            if (written < output.size()) output[written] = '\0';
            return false;
        }
        encode_group(in + i, std::min<std::size_t>(3, input.size() - i), output.data() + written);
        written += 4;
    }
    if (written >= output.size()) {
        platform::log_diagnostic("Insufficient encoding buffer for output.");
        return false;
    }
    output[written] = '\0';
    return true;
}

void AppendBase64(std::string_view input, std::string& out) {
    const auto* in = reinterpret_cast<const unsigned char*>(input.data());
    const std::size_t start = out.size();
    out.resize(start + (input.size() + 2) / 3 * 4);
    char* dest = out.data() + start;
    for (std::size_t i = 0; i < input.size(); i += 3, dest += 4)
        encode_group(in + i, std::min<std::size_t>(3, input.size() - i), dest);
}

void WriteBase64Stream(byte_source& stream, std::string& out, std::string_view separator) {
    std::vector<char> chunk(stream_chunk);
    for (;;) {
        const std::size_t got = read_full(stream, chunk);
        if (got == 0) break;
        append_lines(std::string_view(chunk.data(), got), out, separator, true);
        if (got < chunk.size()) break;
    }
}

void WriteBase64Buffer(std::string_view bytes, std::string& out, std::string_view separator) {
    append_lines(bytes, out, separator, false);
}

}  // namespace mailferry
