#pragma once
// recurrence.h: an appointment's recurrence blob (PidLidAppointmentRecur) read field by field, and the RRULE and
// EXDATE lines of its master event with the start and end of each modified occurrence. The parser never reads
// outside the blob and allocates no more than the blob can hold: a blob cut short ends the parse with the fields
// read so far, and counts beyond their bounds skip their array. The line writer logs what it cannot express and
// writes the rest. Pure functions apart from the diagnostic log; the times of the blob are local minutes since
// 1601-01-01.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "encoding/dates.h"

namespace mailferry {

// One modified occurrence: its new start and end and its original start, local minutes since 1601.
struct RecurrenceException {
    std::uint32_t startMinutes = 0;
    std::uint32_t endMinutes = 0;
    std::uint32_t originalStartMinutes = 0;
};

// What the blob says; fields it did not reach keep these values.
struct RecurrencePattern {
    std::uint16_t frequency = 0;      // 0x200A daily, 0x200B weekly, 0x200C monthly, 0x200D yearly
    std::uint16_t patternType = 0;    // 0 day, 1 week, 2 month, 3 month-nth, 4 month-end, 0xA-0xC Hijri
    std::uint32_t firstDateTime = 0;  // yearly rules: the month, as minutes into 1601
    std::uint32_t period = 0;         // days in minutes, weeks or months
    std::uint32_t dayMask = 0;        // week and month-nth patterns: 1 Sunday ... 64 Saturday
    std::uint32_t dayOfMonth = 0;     // month and month-end patterns
    std::uint32_t nth = 0;            // month-nth: the week of the month, 5 the last
    std::uint32_t endType = 0;        // 0x2021 by date, 0x2022 by count, anything else no end
    std::uint32_t occurrenceCount = 0;
    std::uint32_t firstDayOfWeek = 0;                 // 0 Sunday
    std::vector<std::uint32_t> deletedInstanceDates;  // local midnights of deleted and of moved occurrences
    std::uint32_t modifiedInstanceCount = 0;
    std::uint32_t startDate = 0;  // local midnight of the first occurrence
    std::uint32_t endDate = 0;    // local midnight of the last one (end by date)
    std::uint32_t startTimeOffset = 0;
    std::uint32_t endTimeOffset = 0;
    std::vector<RecurrenceException> exceptions;  // read only when their count matches the modified count
    bool truncated = false;                       // the blob ended inside a field
    bool ruleTruncated = false;                   // it ended before the rule's own fields: there is no rule to write
};

RecurrencePattern ParseRecurrenceBlob(std::span<const std::byte> blob);

// Minutes since 1601-01-01 as seconds since 1970 (both on the same clock).
time_value MinutesToTime(std::uint32_t minutes);

// The start and end of one modified occurrence as instants of the writer's zone.
struct ExceptionTimes {
    time_value start = 0;
    time_value end = 0;
};

// How the master event's start was written: the recurrence lines repeat its wall time.
struct SeriesStart {
    time_value start = 0;  // the DTSTART instant
    bool allDay = false;   // DTSTART is a date
};

// Appends "\r\nRRULE:..." and one "\r\nEXDATE..." line per deleted occurrence for `pattern` to `out`, with every
// date in `zone` (named `zone.id()` in TZID), and returns the modified occurrences' times, their blob digits read
// as wall times of `zone`. An unknown frequency writes no lines. UNTIL and EXDATE values are the occurrences the
// rule itself generates from `start`, so they match in any zone.
std::vector<ExceptionTimes> WriteRecurrence(std::string& out, const RecurrencePattern& pattern,
                                            const SeriesStart& start, date_formatter& dates, const time_zone& zone);

}  // namespace mailferry
