#include "writers/recurrence.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "ical_test_support.h"
#include "pstwrite/store_calendar.h"
#include "support/test_helpers.h"

namespace mailferry {
namespace {

using mftest::hex_bytes;
using mftest::wall;

// The one real recurring series of the corpus: weekly on Tuesday 08:00-08:30 Pacific from 2016-08-02, no end,
// 08-09 deleted, 08-23 and 08-30 moved to 09:00 and 10:00.
const mftest::bytes kRealBlob = hex_bytes(
    "04 30 04 30 0b 20 01 00 00 00 c0 21 00 00 01 00 00 00 00 00 00 00 04 00 00 00 23 20 00 00 0a 00"
    "00 00 00 00 00 00 03 00 00 00 80 5c 07 0d 40 ab 07 0d a0 d2 07 0d 02 00 00 00 40 ab 07 0d a0 d2"
    "07 0d 20 35 07 0d df 80 e9 5a 06 30 00 00 09 30 00 00 e0 01 00 00 fe 01 00 00 02 00 5c ad 07 0d"
    "7a ad 07 0d 20 ad 07 0d 00 02 f8 d4 07 0d 16 d5 07 0d 80 d4 07 0d 00 02 00 00 00 00 04 00 00 00"
    "00 00 00 00 00 00 00 00 04 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00");

class Recurrence : public ::testing::Test {
protected:
    // The recurrence lines for a series whose DTSTART is `start`.
    std::string Lines(std::span<const std::byte> blob, time_value start, const time_zone& zone) {
        std::string out;
        WriteRecurrence(out, ParseRecurrenceBlob(blob), {start, false}, dates, zone);
        return out;
    }

    date_formatter dates;
    const time_zone utc = time_zone::gmt();
    const time_zone berlin = *time_zone::named("Europe/Berlin");
    const time_zone los_angeles = *time_zone::named("America/Los_Angeles");
};

// The last occurrence of a series ending by date is the UNTIL, in UTC: an afternoon meeting in Berlin is 13:00Z,
// not midnight, which would cut it off.
TEST_F(Recurrence, UntilIsTheLastOccurrenceInUtc) {
    const auto blob = hex_bytes(
        "04 30 04 30 0c 20 03 00 00 00 00 00 00 00 01 00 00 00 00 00 00 00 20 00 00 00 05 00 00 00 21 20"
        "00 00 0a 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 a0 a4 44 0d 40 a4 4a 0d 06 30 00 00 09 30"
        "00 00 48 03 00 00 84 03 00 00 00 00 00 00 00 00 00 00 00 00");
    EXPECT_EQ(Lines(blob, wall(berlin, 2024, 3, 29, 14), berlin),
              "\r\nRRULE:FREQ=MONTHLY;INTERVAL=1;BYDAY=FR;BYSETPOS=-1;UNTIL=20241227T130000Z;WKST=SU");
    // Across a change to summer time the wall time holds: the instant moves.
    EXPECT_EQ(Lines(blob, wall(los_angeles, 2024, 3, 29, 14), los_angeles).find("UNTIL=20241227T220000Z") !=
                  std::string::npos,
              true);
}

struct RuleCase {
    const char* name;
    std::function<void(pstwrite::recurrence_fields&)> pattern;
    std::string rule;  // the RRULE value
};

class Rules : public Recurrence, public ::testing::WithParamInterface<RuleCase> {};

TEST_P(Rules, GiveTheRule) {
    pstwrite::recurrence_fields f;
    f.start_date = pstwrite::local_minutes(2024, 3, 4);
    GetParam().pattern(f);
    const std::string lines = Lines(pstwrite::recurrence_blob(f), wall(utc, 2024, 3, 4, 9), utc);
    EXPECT_EQ(lines, GetParam().rule.empty() ? "" : "\r\nRRULE:" + GetParam().rule);
}

INSTANTIATE_TEST_SUITE_P(
    EveryFrequencyAndPattern, Rules,
    ::testing::Values(
        RuleCase{"EveryThirdWeekStartingMonday",
                 [](auto& f) { f.period = 3, f.pattern_specific = {0x40}, f.first_dow = 1; },
                 "FREQ=WEEKLY;INTERVAL=3;BYDAY=SA;WKST=MO"},
        RuleCase{"LastDayOfFebruaryEveryYear",
                 [](auto& f) {
                     f.frequency = 0x200D, f.pattern_type = 4, f.period = 12, f.first_date_time = 31 * 1440,
                     f.pattern_specific = {31};
                 },
                 "FREQ=YEARLY;INTERVAL=1;BYMONTH=2;BYMONTHDAY=-1;WKST=SU"},
        // Every other year, the start month's offset lies in the period's second year (March 1602).
        RuleCase{"EveryOtherYearInMarch",
                 [](auto& f) {
                     f.frequency = 0x200D, f.pattern_type = 2, f.period = 24, f.first_date_time = 424 * 1440,
                     f.pattern_specific = {4};
                 },
                 "FREQ=YEARLY;INTERVAL=2;BYMONTH=3;BYMONTHDAY=4;WKST=SU"},
        RuleCase{"HijriMonthHasNoRuleParts",
                 [](auto& f) { f.frequency = 0x200C, f.pattern_type = 0xA, f.pattern_specific = {3}; },
                 "FREQ=MONTHLY;WKST=SU"},
        RuleCase{"WeekOfMonthAndFirstDayOutsideTheirTables",
                 [](auto& f) {
                     f.frequency = 0x200C, f.pattern_type = 3, f.pattern_specific = {0x02, 6}, f.first_dow = 7;
                 },
                 "FREQ=MONTHLY;INTERVAL=1;BYDAY=MO"},
        RuleCase{"NoIntervalNoDaysNoDayOfMonth",
                 [](auto& f) { f.frequency = 0x200C, f.pattern_type = 2, f.period = 0, f.pattern_specific = {0}; },
                 "FREQ=MONTHLY;WKST=SU"},
        RuleCase{"UnknownFrequencyWritesNothing", [](auto& f) { f.frequency = 0x2010, f.pattern_specific = {4}; }, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Recurrence, RuleProblemsAreLogged) {
    mftest::captured_log log;
    pstwrite::recurrence_fields f;
    f.frequency = 0x200C, f.pattern_type = 4, f.pattern_specific = {31}, f.first_dow = 9;
    Lines(pstwrite::recurrence_blob(f), 0, utc);
    f.pattern_type = 0xC;
    Lines(pstwrite::recurrence_blob(f), 0, utc);
    EXPECT_EQ(log.lines, (std::vector<std::string>{"Recurrance Pattern Error WKST.",
                                                   "Recurrance Pattern Error Interval - MONTHLY.",
                                                   "Recurrance Pattern Error.", "Recurrance Pattern Error WKST."}));
}

// However the blob is cut, the parse stops inside it, says so, and keeps only whole exceptions.
TEST(RecurrenceBlob, EveryCutOfTheRealBlobEndsWithinIt) {
    mftest::captured_log log;
    for (std::size_t size = 0; size <= kRealBlob.size(); ++size) {
        const auto pattern = ParseRecurrenceBlob(std::span(kRealBlob).first(size));
        EXPECT_EQ(pattern.truncated, size < kRealBlob.size()) << size;
        EXPECT_EQ(pattern.exceptions.size(), size < 0x78 ? size / 0x6A : 2u) << size;
    }
    EXPECT_EQ(log.lines.size(), kRealBlob.size());
    EXPECT_EQ(log.lines.front(), "Calendar event recurrance pattern is truncated.");
}

TEST(RecurrenceBlob, BytesAfterTheBlobAreIgnored) {
    auto longer = kRealBlob;
    longer.resize(longer.size() + 4096, std::byte{0xFF});
    const auto pattern = ParseRecurrenceBlob(longer);
    EXPECT_FALSE(pattern.truncated);
    EXPECT_EQ(pattern.deletedInstanceDates.size(), 3u);
    EXPECT_EQ(pattern.exceptions.size(), 2u);
    EXPECT_EQ(pattern.startTimeOffset, 480u);
}

// Exceptions that override subject and location carry text in both their parts; the parse must step over it.
TEST(RecurrenceBlob, ExceptionsWithTextOverridesParseToTheEnd) {
    pstwrite::recurrence_fields f;
    f.pattern_specific = {0x04};
    f.start_date = pstwrite::local_minutes(2024, 3, 5);
    const std::uint32_t moved = pstwrite::local_minutes(2024, 3, 12);
    f.deleted = f.modified = {moved};
    f.exceptions = {{moved + 600, moved + 660, moved + 480, 0x01FF, u"Planning (moved)", u"Room 7", 30, 1}};
    const auto pattern = ParseRecurrenceBlob(pstwrite::recurrence_blob(f));
    EXPECT_FALSE(pattern.truncated);
    ASSERT_EQ(pattern.exceptions.size(), 1u);
    EXPECT_EQ(pattern.exceptions[0].startMinutes, moved + 600);
    EXPECT_EQ(pattern.exceptions[0].originalStartMinutes, moved + 480);
}

// Counts past their bounds skip their arrays; a count the blob cannot hold reads what is there and stops.
TEST(RecurrenceBlob, CountsBeyondTheirBoundsReadNoArray) {
    pstwrite::recurrence_fields f;
    f.pattern_specific = {0x04};
    for (std::uint32_t d = 0; d < 500; ++d) f.deleted.push_back(pstwrite::local_minutes(2024, 1, 1) + d * 1440);
    const auto many = ParseRecurrenceBlob(pstwrite::recurrence_blob(f));
    EXPECT_TRUE(many.deletedInstanceDates.empty());
    // The first date is then read as the modified count, and so on: the fields come as they are.
    EXPECT_EQ(many.modifiedInstanceCount, pstwrite::local_minutes(2024, 1, 1));

    auto claims = pstwrite::recurrence_blob(pstwrite::recurrence_fields{});
    mftest::set_le(claims, 0x26, 499, 4);  // the deleted count of a blob that holds none
    mftest::captured_log log;
    const auto cut = ParseRecurrenceBlob(claims);
    EXPECT_TRUE(cut.truncated);
    EXPECT_LE(cut.deletedInstanceDates.size(), claims.size() / 4);
}

}  // namespace
}  // namespace mailferry
