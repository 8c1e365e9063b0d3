#include "platform/platform_string.h"

#include "platform/diagnostic_log.h"

#include <cstdint>

namespace mailferry::platform {

namespace {

constexpr char16_t replacement_character = 0xFFFD;

bool is_high_surrogate(char32_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool is_low_surrogate(char32_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

}  // namespace

platform_string stringWithWString(std::wstring_view text) {
    platform_string result;
    result.reserve(text.size());
    for (const wchar_t c : text) {
        const auto value = static_cast<std::uint32_t>(c);
        if (value > 0x10FFFF || is_high_surrogate(value) || is_low_surrogate(value)) {
            result.push_back(replacement_character);
        } else if (value > 0xFFFF) {
            const std::uint32_t offset = value - 0x10000;
            result.push_back(static_cast<char16_t>(0xD800 + (offset >> 10)));
            result.push_back(static_cast<char16_t>(0xDC00 + (offset & 0x3FF)));
        } else {
            result.push_back(static_cast<char16_t>(value));
        }
    }
    return result;
}

bool convertToWCharBuffer(std::u16string_view text, wchar_t* buffer, std::size_t length) {
    const std::size_t capacity = buffer != nullptr ? length / sizeof(wchar_t) : 0;
    std::size_t written = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (capacity - written < 2) {  // this character and the terminator
            log_diagnostic("getCString failed.");
            return false;
        }
        char32_t c = text[i];
        if (is_high_surrogate(c) && i + 1 < text.size() && is_low_surrogate(text[i + 1])) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (is_high_surrogate(c) || is_low_surrogate(c)) {
            c = replacement_character;
        }
        buffer[written++] = static_cast<wchar_t>(c);
    }
    if (written >= capacity) {
        log_diagnostic("getCString failed.");
        return false;
    }
    buffer[written] = L'\0';
    return true;
}

}  // namespace mailferry::platform
