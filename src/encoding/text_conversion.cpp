#include "encoding/text_conversion.h"

#include "platform/diagnostic_log.h"

#include <unicode/ucnv.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string_view>

namespace mailferry {

namespace {

// Opening a converter costs more than converting a subject line, and the reader converts every string of every
// item. So each thread keeps the converters it has finished with, by name, and hands them out again reset.
// Converters here never get callbacks or other settings, so a reset one is as good as a new one.
class idle_converters {
public:
    ~idle_converters() {
        for (std::size_t i = 0; i < m_count; ++i) ucnv_close(m_idle[i].converter);
    }
    UConverter* take(const char* name) {
        for (std::size_t i = 0; i < m_count; ++i) {
            if (std::strcmp(m_idle[i].name, name) != 0) continue;
            UConverter* converter = m_idle[i].converter;
            m_idle[i] = m_idle[--m_count];
            ucnv_reset(converter);
            return converter;
        }
        return nullptr;
    }
    void give(const char* name, UConverter* converter) {
        if (m_count == m_idle.size()) {
            ucnv_close(converter);
            return;
        }
        m_idle[m_count++] = {name, converter};
    }

private:
    struct entry {
        const char* name;  // a literal or a row of the static code-page table
        UConverter* converter;
    };
    std::array<entry, 8> m_idle{};
    std::size_t m_count = 0;
};

idle_converters& thread_converters() {
    thread_local idle_converters converters;
    return converters;
}

struct converter_closer {
    const char* name = nullptr;  // static, as for idle_converters
    void operator()(UConverter* converter) const { thread_converters().give(name, converter); }
};
using converter_ptr = std::unique_ptr<UConverter, converter_closer>;

// A warning from ucnv_open (an ambiguous alias) still gives the converter asked for.
converter_ptr open_converter(const char* name) {
    if (UConverter* idle = thread_converters().take(name)) return converter_ptr(idle, converter_closer{name});
    UErrorCode status = U_ZERO_ERROR;
    converter_ptr converter(ucnv_open(name, &status), converter_closer{name});
    if (U_FAILURE(status)) converter.reset();
    return converter;
}

// ICU refuses a source of more than 0x7fffffff bytes or a target of more than 0x3fffffff UTF-16 units; a decode
// gets four units per input byte, so longer input is refused here before anything is allocated.
constexpr std::size_t max_decode_input = 0x3fffffff / 4;
constexpr std::size_t max_encode_units = 0x3fffffff;
constexpr std::size_t max_encode_output = 0x7fffffff;

// The whole input to UTF-16 in one call; nothing when ICU reports a failure. Warnings (such as output that
// exactly fills the buffer) are not failures.
// `kept`: the caller keeps the result, so it gives back the worst-case buffer; a result converted further at once
// does not pay for that copy.
std::optional<std::u16string> decode_all(UConverter* converter, std::span<const std::byte> input, bool kept = false) {
    if (input.size() > max_decode_input) return std::nullopt;
    std::u16string output(input.size() * 4, u'\0');
    const auto* source = reinterpret_cast<const char*>(input.data());
    UChar* target = output.data();
    UErrorCode status = U_ZERO_ERROR;
    ucnv_toUnicode(converter, &target, output.data() + output.size(), &source, source + input.size(), nullptr, true,
                   &status);
    if (U_FAILURE(status)) return std::nullopt;
    output.resize(static_cast<std::size_t>(target - output.data()));
    if (kept) output.shrink_to_fit();
    return output;
}

struct encode_result {
    std::size_t written;
    bool ok;
};

// The whole UTF-16 text into `destination`, never past its capacity; output that does not fit is a failure.
encode_result encode_all(UConverter* converter, std::u16string_view text, char* destination, std::size_t capacity) {
    if (text.size() > max_encode_units) return {0, false};
    capacity = std::min(capacity, max_encode_output);
    const UChar* source = text.data();
    char* target = destination;
    UErrorCode status = U_ZERO_ERROR;
    ucnv_fromUnicode(converter, &target, destination + capacity, &source, source + text.size(), nullptr, true, &status);
    return {static_cast<std::size_t>(target - destination), U_SUCCESS(status) != 0};
}

// Sized so that any text fits: four bytes per UTF-16 unit covers UTF-32 and UTF-8.
std::optional<std::string> encode_to_string(UConverter* converter, std::u16string_view text) {
    if (text.size() > max_encode_output / 4) return std::nullopt;
    std::string output(text.size() * 4, '\0');
    const encode_result result = encode_all(converter, text, output.data(), output.size());
    if (!result.ok) return std::nullopt;
    output.resize(result.written);
    return output;
}

// Most strings in a Unicode store are plain ASCII; for those each unit is the character, and opening two
// converters would cost more than the conversion. Anything else (an odd length included) goes through ICU.
template <typename String>
std::optional<String> utf16le_ascii(std::span<const std::byte> bytes) {
    if (bytes.size() % 2 != 0) return std::nullopt;
    String result(bytes.size() / 2, typename String::value_type{});
    for (std::size_t i = 0; i < result.size(); ++i) {
        const auto low = std::to_integer<unsigned char>(bytes[2 * i]);
        if (low >= 0x80 || bytes[2 * i + 1] != std::byte{0}) return std::nullopt;
        result[i] = static_cast<typename String::value_type>(low);
    }
    return result;
}

[[noreturn]] void log_and_throw(const char* text) {
    platform::log_diagnostic(text);
    throw std::runtime_error(text);
}

}  // namespace

std::wstring bytes_to_wstring(std::span<const std::byte> bytes, const TextEncodingItem* encoding) {
    if (bytes.empty()) return {};
    if (encoding == nullptr) log_and_throw("bytes_to_wstring: No Text Encoding provided !");
    if (encoding->codePage == 1200) {
        if (auto ascii = utf16le_ascii<std::wstring>(bytes)) return std::move(*ascii);
    }
    const converter_ptr source = open_converter(encoding->charsetName);
    if (!source) log_and_throw("bytes_to_wstring: Invalid source converter.");
    const auto utf16 = decode_all(source.get(), bytes);
    if (!utf16) log_and_throw("bytes_to_wstring :  ucnv_toUChars failed.");
    const converter_ptr target = open_converter("UTF-32LE");
    if (!target) log_and_throw("bytes_to_wstring: Invalid target converter.");
    const auto utf32 = encode_to_string(target.get(), *utf16);
    if (!utf32) log_and_throw("bytes_to_wstring :  ucnv_fromUChars failed.");

    std::wstring result(utf32->size() / 4, L'\0');
    for (std::size_t i = 0; i < result.size(); ++i) {
        std::uint32_t value = 0;
        for (std::size_t b = 0; b < 4; ++b)
            value |= static_cast<std::uint32_t>(static_cast<unsigned char>((*utf32)[4 * i + b])) << (8 * b);
        result[i] = static_cast<wchar_t>(value);
    }
    return result;
}

std::u16string bytes_to_unistring(std::span<const std::byte> bytes, const TextEncodingItem* encoding) {
    if (bytes.empty()) return {};
    if (encoding == nullptr) throw std::runtime_error("bytes_to_unistring: No Text Encoding provided !");
    const converter_ptr source = open_converter(encoding->charsetName);
    if (!source) log_and_throw("bytes_to_unistring: Invalid source converter.");
    auto utf16 = decode_all(source.get(), bytes, true);
    if (!utf16) log_and_throw("bytes_to_unistring :  ucnv_toUChars failed.");
    return std::move(*utf16);
}

std::string bytes_to_utf8string(std::span<const std::byte> bytes, const TextEncodingItem* encoding) {
    if (bytes.empty()) return {};
    if (encoding == nullptr) {
        platform::log_diagnostic("bytes_to_utf8string: No Text Encoding provided.");
        throw std::runtime_error("bytes_to_utf8string: No Text Encoding provided !");
    }
    if (encoding->codePage == 1200) {
        if (auto ascii = utf16le_ascii<std::string>(bytes)) return std::move(*ascii);
    }
    const converter_ptr source = open_converter(encoding->charsetName);
    if (!source) log_and_throw("bytes_to_utf8string: Invalid source converter.");
    const auto utf16 = decode_all(source.get(), bytes);
    if (!utf16) log_and_throw("bytes_to_utf8string :  ucnv_toUChars failed.");
    const converter_ptr target = open_converter("utf-8");
    if (!target) log_and_throw("bytes_to_utf8string: Invalid target converter.");
    auto utf8 = encode_to_string(target.get(), *utf16);
    if (!utf8) log_and_throw("bytes_to_utf8string :  ucnv_fromUChars failed.");
    return std::move(*utf8);
}

std::vector<std::byte> wstring_to_bytes(std::wstring_view text) {
    if (text.empty()) return {};
    const converter_ptr converter = open_converter("UTF-32LE");
    if (!converter) log_and_throw("wstring_to_bytes: Invalid unicode converter.");

    // Laid out as UTF-32LE explicitly rather than by copying wchar_t memory, which would follow the host's order.
    std::vector<std::byte> utf32;
    utf32.reserve(text.size() * 4);
    for (const wchar_t c : text) {
        const auto value = static_cast<std::uint32_t>(c);
        for (std::size_t b = 0; b < 4; ++b) utf32.push_back(static_cast<std::byte>((value >> (8 * b)) & 0xFF));
    }
    const auto utf16 = decode_all(converter.get(), utf32);
    if (!utf16) log_and_throw("wstring_to_bytes: ucnv_toUnicode failed.");

    std::vector<std::byte> result;
    result.reserve(utf16->size() * 2);
    for (const char16_t unit : *utf16) {
        result.push_back(static_cast<std::byte>(unit & 0xFF));
        result.push_back(static_cast<std::byte>(unit >> 8));
    }
    return result;
}

std::size_t ConvertCodePage(const char* source, std::size_t source_length, const TextEncodingItem* source_encoding,
                            char* destination, std::size_t destination_capacity,
                            const TextEncodingItem* destination_encoding) {
    if (source == nullptr || source_encoding == nullptr || destination == nullptr || destination_encoding == nullptr)
        throw std::runtime_error("ConvertCodePage: Invalid argument passed !");
    const converter_ptr from = open_converter(source_encoding->charsetName);
    if (!from) throw std::runtime_error("ConvertCodePage: Invalid source converter.");
    const auto utf16 = decode_all(from.get(), std::span(reinterpret_cast<const std::byte*>(source), source_length));
    if (!utf16) log_and_throw("ConvertCodePage : ucnv_toUChars failed.");
    const converter_ptr to = open_converter(destination_encoding->charsetName);
    if (!to) log_and_throw("ConvertCodePage: Invalid target converter.");
    const encode_result result = encode_all(to.get(), *utf16, destination, destination_capacity);
    if (!result.ok) log_and_throw("ConvertCodePage :  ucnv_fromUChars failed.");
    return result.written;
}

std::size_t unicode_to_codepage(std::int32_t codePage, const char16_t* text, std::size_t text_bytes, char* destination,
                                std::size_t destination_capacity) {
    const TextEncodingItem* encoding = find_text_encoding(codePage);
    const converter_ptr converter =
        encoding != nullptr && encoding->available ? open_converter(encoding->charsetName) : converter_ptr();
    if (!converter) {
        platform::log_diagnostic("Invalid U converter for following encoding : " + std::to_string(codePage));
        return 0;
    }
    const std::u16string_view units =
        text != nullptr ? std::u16string_view(text, text_bytes / 2) : std::u16string_view();
    if (destination == nullptr) destination_capacity = 0;
    char empty_target = 0;
    const encode_result result =
        encode_all(converter.get(), units, destination != nullptr ? destination : &empty_target, destination_capacity);
    if (!result.ok) platform::log_diagnostic("Conversion Error.");
    return result.written;
}

}  // namespace mailferry
