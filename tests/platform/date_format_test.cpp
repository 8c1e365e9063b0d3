// Dates in the pattern the session shows, in fixed zones: names in English, 12-hour clock, the zone's offset.

#include "platform/date_format.h"

#include <gtest/gtest.h>

namespace {

using mailferry::platform::format_date;

constexpr std::string_view kPattern = "EEEE, dd MMM yyyy hh:mm:ss a";

TEST(DateFormat, FormatsInTheZoneGiven) {
    struct date_case {
        std::int64_t seconds;
        std::string_view zone;
        std::u16string text;
    };
    const date_case cases[] = {
        {0, "UTC", u"Thursday, 01 Jan 1970 12:00:00 AM"},
        {1308700267, "UTC", u"Tuesday, 21 Jun 2011 11:51:07 PM"},
        {1308700267, "America/New_York", u"Tuesday, 21 Jun 2011 07:51:07 PM"},
        {1308700267, "Asia/Tokyo", u"Wednesday, 22 Jun 2011 08:51:07 AM"},
        {-1, "UTC", u"Wednesday, 31 Dec 1969 11:59:59 PM"},
    };
    for (const auto& c : cases) EXPECT_EQ(format_date(c.seconds, kPattern, c.zone), c.text) << c.seconds << c.zone;
}

}  // namespace
