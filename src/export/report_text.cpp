#include "export/report_text.h"

namespace mailferry::report_text {

namespace {

template <typename Char>
std::basic_string<Char> Fill(std::basic_string_view<Char> format,
                             std::initializer_list<std::basic_string_view<Char>> values) {
    static constexpr Char kPlaceholders[][5] = {{'%', '@'}, {'%', 'l', 'l', 'i'}, {'%', 'l', 'i'}, {'%', 'i'}};
    std::basic_string<Char> out;
    out.reserve(format.size() + 64);
    auto next = values.begin();
    for (std::size_t i = 0; i < format.size();) {
        std::size_t matched = 0;
        if (format[i] == '%') {
            for (const auto& placeholder : kPlaceholders) {
                const std::basic_string_view<Char> p(placeholder);
                if (format.substr(i, p.size()) == p) {
                    matched = p.size();
                    break;
                }
            }
        }
        if (matched == 0) {
            out.push_back(format[i++]);
            continue;
        }
        if (next != values.end()) out.append(*next++);
        i += matched;
    }
    return out;
}

}  // namespace

std::u16string Format(std::u16string_view format, std::initializer_list<std::u16string_view> values) {
    return Fill<char16_t>(format, values);
}

std::string Format(std::string_view format, std::initializer_list<std::string_view> values) {
    return Fill<char>(format, values);
}

std::u16string Number(std::int64_t value) {
    const std::string digits = std::to_string(value);
    return std::u16string(digits.begin(), digits.end());
}

}  // namespace mailferry::report_text
