#include "pstcore/messaging/guid.h"

#include <algorithm>

namespace pstcore {

guid guid::from_bytes(std::span<const std::byte> stored) {
    guid g;
    std::copy_n(stored.begin(), std::min(stored.size(), g.bytes.size()), g.bytes.begin());
    return g;
}

namespace {

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::optional<guid> parse_guid(std::string_view text) {
    if (text.size() == 38 && text.front() == '{' && text.back() == '}') text = text.substr(1, 36);
    if (text.size() != 36) return std::nullopt;
    // The digits in written order, then placed into the stored layout.
    std::array<std::uint8_t, 16> written{};
    std::size_t digit = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (text[i] != '-') return std::nullopt;
            continue;
        }
        const int value = hex_digit(text[i]);
        if (value < 0) return std::nullopt;
        written[digit / 2] = static_cast<std::uint8_t>((written[digit / 2] << 4) | value);
        ++digit;
    }
    const auto be = [&written](std::size_t at, std::size_t width) {
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < width; ++i) value = (value << 8) | written[at + i];
        return value;
    };
    std::array<std::uint8_t, 8> tail{};
    std::copy_n(written.begin() + 8, 8, tail.begin());
    return guid::from_fields(be(0, 4), static_cast<std::uint16_t>(be(4, 2)), static_cast<std::uint16_t>(be(6, 2)),
                             tail);
}

std::string to_string(const guid& g) {
    static constexpr char digits[] = "0123456789ABCDEF";
    // Stored order of the bytes as they are written: the three fields reversed, the tail as is.
    static constexpr std::array<std::size_t, 16> order{3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    std::string text = "{";
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) text += '-';
        const auto b = std::to_integer<unsigned>(g.bytes[order[i]]);
        text += digits[b >> 4];
        text += digits[b & 0xF];
    }
    return text + "}";
}

}  // namespace pstcore
