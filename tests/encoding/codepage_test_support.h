#pragma once
// codepage_test_support.h: a capture of the diagnostic lines the code-page routines write.

#include "platform/diagnostic_log.h"
#include "support/test_helpers.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace mailferry::codepage_test {

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
