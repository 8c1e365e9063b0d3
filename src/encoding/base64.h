#pragma once
// base64.h: base64 with the RFC 4648 alphabet, and the 76-character lines (57 input bytes each) that MIME
// bodies use. The line separator is the caller's (CR LF for EML, LF for MBOX, CR LF and a space for vCard).
// Pure functions; output is appended to the caller's string.
//
//   std::string out;
//   AppendBase64("Man", out);                       // "TWFu"
//   WriteBase64Buffer(picture, out, "\r\n");         // lines of 76, no separator after the last

#include <span>
#include <string>
#include <string_view>

#include "encoding/byte_source.h"

namespace mailferry {

// Input bytes per output line, and the characters they give.
inline constexpr std::size_t base64_line_bytes = 57;
inline constexpr std::size_t base64_line_chars = 76;

// Writes the encoding of `input` into `output` followed by a zero byte. When `output` is too small it logs
// "Insufficient encoding buffer for output.", keeps the whole groups written so far (zero-terminated when there
// is room) and returns false. (n / 3) * 4 + 6 bytes always suffice.
bool EncodeBase64(std::string_view input, std::span<char> output);

// Appends the encoding of `input` (no line breaks).
void AppendBase64(std::string_view input, std::string& out);

// Appends the whole stream as lines of 76 characters, each full line followed by `separator`: the output ends
// with a separator exactly when the length is a multiple of 57. An empty stream appends nothing.
void WriteBase64Stream(byte_source& stream, std::string& out, std::string_view separator);

// Appends a buffer as lines of 76 characters with `separator` between lines, never after the last one.
void WriteBase64Buffer(std::string_view bytes, std::string& out, std::string_view separator);

}  // namespace mailferry
