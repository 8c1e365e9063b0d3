#include "encoding/header_text.h"

#include <algorithm>

#include "encoding/base64.h"
#include "encoding/utf16_internal.h"
#include "platform/diagnostic_log.h"

namespace mailferry {

namespace {

// ISO-2022 charsets are 7-bit and switch with ESC, so an escape byte also means "not plain ASCII".
bool needs_encoded_word(std::string_view bytes) {
    return std::any_of(bytes.begin(), bytes.end(), [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return b >= 0x80 || b == 0x1B;
    });
}

}  // namespace

bool EncodeHeaderText(std::string_view bytes, std::string_view charset, bool quote, std::string& out) {
    if (bytes.empty()) {
        out.clear();
        return true;
    }
    if (needs_encoded_word(bytes)) {
        out.append("=?").append(charset).append("?B?");
        AppendBase64(bytes, out);
        out.append("?=");
        return false;
    }
    if (quote) out.push_back('"');
    out.append(bytes);
    if (quote) out.push_back('"');
    return true;
}

bool EncodeHeaderText(std::u16string_view text, bool quote, std::string& out) {
    if (text.empty()) {
        out.clear();
        return true;
    }
    std::string utf8;
    if (!detail::append_utf8(text, utf8)) {
        platform::log_diagnostic("Conversion Error.");
        if (quote) out.append("\"\"");
        return true;
    }
    return EncodeHeaderText(utf8, "utf-8", quote, out);
}

}  // namespace mailferry
