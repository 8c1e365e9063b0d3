#include "platform/uuid.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace mailferry::platform {
namespace {

// 8-4-4-4-12 upper-case hexadecimal digits, version 4, variant 10xx. (Not std::regex: GCC 12 warns inside
// <regex> in the sanitizer build, and warnings are errors.)
bool IsVersion4Form(std::string_view u) {
    if (u.size() != 36) return false;
    for (std::size_t i = 0; i < u.size(); ++i) {
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        const bool digit = (u[i] >= '0' && u[i] <= '9') || (u[i] >= 'A' && u[i] <= 'F');
        if (dash ? u[i] != '-' : !digit) return false;
    }
    return u[14] == '4' && std::string_view("89AB").find(u[19]) != std::string_view::npos;
}

TEST(Uuid, IsVersion4InUpperCaseAndNeverRepeats) {
    const std::string first = new_uuid();
    EXPECT_TRUE(IsVersion4Form(first)) << first;
    EXPECT_FALSE(IsVersion4Form("6f1b2c3d-0000-4000-8000-00000000000a"));
    EXPECT_NE(first, new_uuid());
}

}  // namespace
}  // namespace mailferry::platform
