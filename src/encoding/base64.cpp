#include "encoding/base64.h"

#include <algorithm>
#include <array>
#include <memory>

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
    while (!bytes.empty()) {
        const std::string_view piece = bytes.substr(0, base64_line_bytes);
        bytes.remove_prefix(piece.size());
        AppendBase64(piece, out);
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
    // Whole groups without the padding tests: base64 of attachments is most of what a conversion writes.
    const std::size_t whole = input.size() - input.size() % 3;
    for (std::size_t i = 0; i < whole; i += 3, dest += 4) {
        const unsigned v = (unsigned{in[i]} << 16) | (unsigned{in[i + 1]} << 8) | in[i + 2];
        dest[0] = alphabet[v >> 18];
        dest[1] = alphabet[(v >> 12) & 0x3F];
        dest[2] = alphabet[(v >> 6) & 0x3F];
        dest[3] = alphabet[v & 0x3F];
    }
    if (whole < input.size()) encode_group(in + whole, input.size() - whole, dest);
}

void WriteBase64Stream(byte_source& stream, std::string& out, std::string_view separator) {
    // Left uninitialised: most streams are far shorter than a chunk, and zeroing it would cost more than them.
    const auto chunk = std::make_unique_for_overwrite<char[]>(stream_chunk);
    for (;;) {
        const std::size_t got = read_full(stream, std::span<char>(chunk.get(), stream_chunk));
        if (got == 0) break;
        append_lines(std::string_view(chunk.get(), got), out, separator, true);
        if (got < stream_chunk) break;
    }
}

void WriteBase64Buffer(std::string_view bytes, std::string& out, std::string_view separator) {
    append_lines(bytes, out, separator, false);
}

}  // namespace mailferry
