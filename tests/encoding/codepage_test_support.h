#pragma once
// codepage_test_support.h: helpers for the code-page tests: byte literals and a capture of diagnostic lines.

#include "platform/diagnostic_log.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace mailferry::codepage_test {

inline std::vector<std::byte> bytes(std::string_view text) {
    std::vector<std::byte> out;
    for (const char c : text) out.push_back(static_cast<std::byte>(c));
    return out;
}

// Collects the diagnostic lines written while it lives.
class captured_log {
public:
    captured_log() {
        m_previous = platform::set_diagnostic_sink([this](std::string_view line) { lines.emplace_back(line); });
    }
    ~captured_log() { platform::set_diagnostic_sink(std::move(m_previous)); }
    captured_log(const captured_log&) = delete;
    captured_log& operator=(const captured_log&) = delete;

    std::vector<std::string> lines;

private:
    platform::diagnostic_sink m_previous;
};

}  // namespace mailferry::codepage_test
