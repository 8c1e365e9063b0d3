#include "encoding/dates.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace mailferry {
namespace {

constexpr std::uint64_t filetime_1970 = 116444736000000000ULL;
constexpr time_value winter = 1796472940;  // 2026-12-05 12:15:40 UTC
constexpr time_value summer = 1720000000;  // 2024-07-03 09:46:40 UTC

TEST(FileTimeToTimeT, TruncatesTowardZero) {
    EXPECT_EQ(FileTimeToTimeT(filetime_1970), 0);
    EXPECT_EQ(FileTimeToTimeT(filetime_1970 - 1), 0);
    EXPECT_EQ(FileTimeToTimeT(filetime_1970 + 9999999), 0);
    EXPECT_EQ(FileTimeToTimeT(filetime_1970 + 10000000), 1);
    EXPECT_EQ(FileTimeToTimeT(filetime_1970 - 10000000), -1);
    EXPECT_EQ(FileTimeToTimeT(filetime_1970 - 19999999), -1);
    EXPECT_EQ(FileTimeToTimeT(0), -11644473600);
    EXPECT_EQ(FileTimeToTimeT(UINT64_MAX), 1833029933770);
}

class DateFormats : public ::testing::Test {
protected:
    date_formatter formatter;
    const time_zone new_york = *time_zone::named("America/New_York");
    const time_zone kolkata = *time_zone::named("Asia/Kolkata");
};

// Without a zone the text is in GMT; with one, in that zone's offset for that very date.
TEST_F(DateFormats, ExactTextInGmtAndInNamedZones) {
    using format = std::function<void(std::string&)>;
    const std::vector<std::pair<format, std::string>> cases = {
        {[&](auto& o) { FormatRfc822Date(formatter, winter, o); }, "Sat, 05 Dec 2026 12:15:40 +0000"},
        {[&](auto& o) { FormatMboxDate(formatter, 0, o); }, "Thu Jan 01 00:00:00 1970"},  // two-digit day
        {[&](auto& o) { FormatRfc822Date(formatter, -1, o); }, "Wed, 31 Dec 1969 23:59:59 +0000"},
        {[&](auto& o) { FormatICalDate(formatter, winter, o, nullptr, false); }, "20261205T121540Z"},
        {[&](auto& o) { FormatICalDate(formatter, winter, o, nullptr, true); }, "20261205"},
        {[&](auto& o) { FormatRfc822Date(formatter, winter, o, &new_york); }, "Sat, 05 Dec 2026 07:15:40 -0500"},
        {[&](auto& o) { FormatRfc822Date(formatter, summer, o, &new_york); }, "Wed, 03 Jul 2024 05:46:40 -0400"},
        {[&](auto& o) { FormatRfc822Date(formatter, winter, o, &kolkata); }, "Sat, 05 Dec 2026 17:45:40 +0530"},
        {[&](auto& o) { FormatMboxDate(formatter, summer, o, &new_york); }, "Wed Jul 03 05:46:40 2024"},
        {[&](auto& o) { FormatICalDate(formatter, summer, o, &new_york, false); }, "20240703T054640"},
        // 1970-01-01 00:00 UTC is still the last day of 1969 in New York.
        {[&](auto& o) { FormatICalDate(formatter, 0, o, &new_york, true); }, "19691231"},
        {[&](auto& o) { FormatIsoDate(formatter, 0, o, kolkata); }, "1970-01-01"},
        {[&](auto& o) { FormatIsoDate(formatter, 0, o, new_york); }, "1969-12-31"},
        // No zone setting leaks from one call into the next.
        {[&](auto& o) { FormatRfc822Date(formatter, winter, o); }, "Sat, 05 Dec 2026 12:15:40 +0000"},
    };
    for (const auto& [write, expected] : cases) {
        std::string out;
        write(out);
        EXPECT_EQ(out, expected);
    }
}

TEST_F(DateFormats, BuffersTooSmallAreLeftAsTheyWere) {
    std::array<char, 32> buffer{};
    std::memcpy(buffer.data(), "untouched", 10);
    EXPECT_FALSE(FormatMboxDate(formatter, winter, std::span<char>(buffer.data(), 24)));
    EXPECT_FALSE(FormatIsoDate(formatter, winter, std::span<char>(buffer.data(), 10), new_york));
    // 31 characters need 32 bytes with the terminator.
    EXPECT_FALSE(FormatRfc822Date(formatter, winter, std::span<char>(buffer.data(), 31)));
    EXPECT_STREQ(buffer.data(), "untouched");

    EXPECT_TRUE(FormatMboxDate(formatter, winter, std::span<char>(buffer.data(), 25)));
    EXPECT_STREQ(buffer.data(), "Sat Dec 05 12:15:40 2026");
    EXPECT_TRUE(FormatIsoDate(formatter, winter, std::span<char>(buffer.data(), 11), new_york));
    EXPECT_STREQ(buffer.data(), "2026-12-05");
    EXPECT_TRUE(FormatRfc822Date(formatter, winter, std::span<char>(buffer.data(), 32)));
    EXPECT_STREQ(buffer.data(), "Sat, 05 Dec 2026 12:15:40 +0000");
    EXPECT_TRUE(FormatICalDate(formatter, winter, std::span<char>(buffer.data(), 17), nullptr, false));
    EXPECT_STREQ(buffer.data(), "20261205T121540Z");
}

TEST(TimeZone, UnknownIdsAreRefused) {
    EXPECT_FALSE(time_zone::named("Nowhere/Bogus").has_value());
    EXPECT_EQ(time_zone::named("Europe/Berlin")->id(), "Europe/Berlin");
    EXPECT_EQ(time_zone::gmt().id(), "GMT");
}

}  // namespace
}  // namespace mailferry
