#include "platform/uuid.h"

#include <gtest/gtest.h>

#include <regex>

namespace mailferry::platform {
namespace {

TEST(Uuid, IsVersion4InUpperCaseAndNeverRepeats) {
    static const std::regex kForm("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}");
    const std::string first = new_uuid();
    EXPECT_TRUE(std::regex_match(first, kForm)) << first;
    EXPECT_NE(first, new_uuid());
}

}  // namespace
}  // namespace mailferry::platform
