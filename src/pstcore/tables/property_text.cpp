// Until the code-page table lands, 8-bit strings decode byte for byte (ISO 8859-1); this file is the only one
// that changes when it does.
#include "pstcore/tables/property_text.h"

#include <stdexcept>

namespace pstcore {

namespace {

bool is_string8(prop_type type) {
    return type == prop_types::string8 || type == prop_types::multi_string8;
}

std::u32string decode_utf16le(std::span<const std::byte> raw) {
    std::u32string text;
    text.reserve(raw.size() / 2);
    for (std::size_t i = 0; i + 1 < raw.size(); i += 2) {
        char32_t unit = std::to_integer<char32_t>(raw[i]) | (std::to_integer<char32_t>(raw[i + 1]) << 8);
        if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < raw.size()) {
            const char32_t low = std::to_integer<char32_t>(raw[i + 2]) | (std::to_integer<char32_t>(raw[i + 3]) << 8);
            if (low >= 0xDC00 && low < 0xE000) {
                unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        text.push_back(unit);
    }
    return text;
}

std::u32string decode(std::span<const std::byte> raw, prop_type type, const mailferry::TextEncodingItem* encoding) {
    if (!is_string8(type)) return decode_utf16le(raw);
    if (!encoding) throw std::runtime_error("bytes_to_wstring: No Text Encoding provided !");
    std::u32string text;
    text.reserve(raw.size());
    for (const std::byte b : raw) text.push_back(std::to_integer<char32_t>(b));
    return text;
}

void append_utf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

}  // namespace

std::wstring decode_prop_wstring(std::span<const std::byte> raw, prop_type type,
                                 const mailferry::TextEncodingItem* encoding) {
    const auto text = decode(raw, type, encoding);
    return {text.begin(), text.end()};
}

std::u16string decode_prop_unistring(std::span<const std::byte> raw, prop_type type,
                                     const mailferry::TextEncodingItem* encoding) {
    std::u16string out;
    for (const char32_t c : decode(raw, type, encoding)) {
        if (c < 0x10000) {
            out.push_back(static_cast<char16_t>(c));
        } else {
            out.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        }
    }
    return out;
}

std::string decode_prop_utf8string(std::span<const std::byte> raw, prop_type type,
                                   const mailferry::TextEncodingItem* encoding) {
    std::string out;
    for (const char32_t c : decode(raw, type, encoding)) append_utf8(out, c);
    return out;
}

std::vector<std::byte> encode_utf16le(std::wstring_view text) {
    std::vector<std::byte> out;
    out.reserve(text.size() * 2);
    const auto put = [&out](char32_t unit) {
        out.push_back(static_cast<std::byte>(unit & 0xFF));
        out.push_back(static_cast<std::byte>((unit >> 8) & 0xFF));
    };
    for (const wchar_t w : text) {
        const auto c = static_cast<char32_t>(w);
        if (c < 0x10000) {
            put(c);
        } else {
            put(0xD800 + ((c - 0x10000) >> 10));
            put(0xDC00 + ((c - 0x10000) & 0x3FF));
        }
    }
    return out;
}

}  // namespace pstcore
