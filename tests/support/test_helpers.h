#pragma once
// test_helpers.h: small helpers the module tests share: byte builders for hand-made structures, hex literals, and
// the message of the exception a call throws, a whole file's text, and a capture of the diagnostic log.

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <span>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "platform/diagnostic_log.h"
#include "support/corpus.h"

namespace mftest {

using bytes = std::vector<std::byte>;

// Collects the diagnostic lines written while it lives.
class captured_log {
public:
    captured_log() {
        m_previous =
            mailferry::platform::set_diagnostic_sink([this](std::string_view line) { lines.emplace_back(line); });
    }
    ~captured_log() { mailferry::platform::set_diagnostic_sink(std::move(m_previous)); }
    captured_log(const captured_log&) = delete;
    captured_log& operator=(const captured_log&) = delete;

    std::vector<std::string> lines;

private:
    mailferry::platform::diagnostic_sink m_previous;
};

// How often `what` occurs in `text`, overlaps included.
inline std::size_t count_of(std::string_view text, std::string_view what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// A vCard or iCalendar text with its folded lines joined again.
inline std::string unfolded(std::string text) {
    for (std::size_t at; (at = text.find("\r\n ")) != std::string::npos;) text.erase(at, 3);
    return text;
}

inline std::string slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Appends `value` as `width` little-endian bytes.
inline void put_le(bytes& out, std::uint64_t value, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i) out.push_back(static_cast<std::byte>((value >> (8 * i)) & 0xFF));
}

// Overwrites `width` bytes at `at` with `value`, little-endian (to damage a field in place).
inline void set_le(bytes& out, std::size_t at, std::uint64_t value, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i) out.at(at + i) = static_cast<std::byte>((value >> (8 * i)) & 0xFF);
}

inline bytes le(std::uint64_t value, std::size_t width) {
    bytes out;
    put_le(out, value, width);
    return out;
}

// The bytes of `text` as they are (no encoding).
inline bytes ascii(std::string_view text) {
    bytes out;
    for (const char c : text) out.push_back(static_cast<std::byte>(c));
    return out;
}

inline bytes utf16(std::u16string_view text) {
    bytes out;
    for (const char16_t c : text) put_le(out, c, 2);
    return out;
}

inline bytes concat(std::initializer_list<bytes> parts) {
    bytes out;
    for (const auto& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

// Reads `width` little-endian bytes at `at`; a read past the end throws instead of looking beyond the buffer.
inline std::uint64_t get_le(std::span<const std::byte> in, std::size_t at, std::size_t width) {
    if (at > in.size() || width > in.size() - at) throw std::out_of_range("read past end");
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < width; ++i) value |= std::to_integer<std::uint64_t>(in[at + i]) << (8 * i);
    return value;
}

// "1400 EC bc" (digits of either case; anything else is skipped) as bytes.
inline bytes hex_bytes(std::string_view hex) {
    bytes out;
    int high = -1;
    for (const char c : hex) {
        const int v = (c >= '0' && c <= '9')   ? c - '0'
                      : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                      : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                               : -1;
        if (v < 0) continue;
        if (high < 0) {
            high = v;
        } else {
            out.push_back(static_cast<std::byte>(high * 16 + v));
            high = -1;
        }
    }
    return out;
}

// All of a node's data (anything with size() and read(buffer, offset)).
template <typename Node>
bytes read_all(const Node& n) {
    bytes out(n.size());
    if (!out.empty()) {
        EXPECT_EQ(n.read(out, 0), out.size());
    }
    return out;
}

// "2d 00 4c" (lower-case digits, spaces and newlines ignored) as a byte string.
inline std::string from_hex(std::string_view hex) {
    std::string out;
    unsigned value = 0;
    int digits = 0;
    for (const char c : hex) {
        if (c == ' ' || c == '\n') continue;
        value = value * 16 + static_cast<unsigned>(c <= '9' ? c - '0' : c - 'a' + 10);
        if (++digits == 2) {
            out.push_back(static_cast<char>(value));
            value = 0;
            digits = 0;
        }
    }
    return out;
}

// The what() of the `E` that `f` throws; another exception or none gives a text no test expects.
template <typename E = std::exception, typename F>
std::string failure_of(F&& f) {
    try {
        f();
    } catch (const E& e) {
        return e.what();
    } catch (...) {
        try {
            throw;
        } catch (const std::exception& e) {
            return std::string("other exception: ") + e.what();
        } catch (...) {
            return "other exception";
        }
    }
    return "no failure";
}

// The sample files' names as test parameters; "none" without a corpus, so that the suite still instantiates
// (and its tests skip through MF_REQUIRE_CORPUS).
inline std::vector<std::string> corpus_names() {
    std::vector<std::string> names;
    for (const auto& path : corpus_files()) names.push_back(path.filename().string());
    if (names.empty()) names.push_back("none");
    return names;
}

// A file name as a test name: every character but letters and digits becomes '_'.
inline std::string param_name(const ::testing::TestParamInfo<std::string>& info) {
    std::string name = info.param;
    for (auto& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

}  // namespace mftest
