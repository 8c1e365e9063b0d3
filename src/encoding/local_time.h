#pragma once
// local_time.h: wall-clock arithmetic in a time zone, for calendars whose dates are local: the instant at which a
// zone's clock shows given digits, the same wall time some days later, and the zone's rules as an iCalendar
// VTIMEZONE. Daylight saving is the zone's for each date. Pure functions; each call makes its own calendar.
//
//   local_digits_to_instant(1709542800, berlin);  // 2024-03-04 09:00 in UTC digits -> 08:00Z
//   add_local_days(t, 7, berlin);                 // the same Berlin wall time a week after t

#include <cstdint>
#include <string>

#include "encoding/dates.h"

namespace mailferry {

struct civil_date {
    std::int64_t year;
    int month;  // 1-12
    int day;    // 1-31
};

// The proleptic Gregorian date `days` days after 1970-01-01 (before it for negative days).
civil_date civil_from_days(std::int64_t days);

// The instant at which `zone`'s clock shows the date and time that `digits` shows in UTC. A wall time the zone
// skips (the hour clocks jump over) moves forward by the jump; one it shows twice gives the first.
time_value local_digits_to_instant(time_value digits, const time_zone& zone);

// The instant `days` calendar days after `seconds` at the same wall time in `zone` (before it for negative days),
// so a daily series keeps its hour across daylight-saving changes.
time_value add_local_days(time_value seconds, std::int64_t days, const time_zone& zone);

// Appends the zone's rules from `from` on as an iCalendar VTIMEZONE component, its lines joined by CR LF with no
// line ending after the last, and returns true; returns false, appending nothing, for a zone the platform cannot
// describe (an unknown or custom id).
bool append_vtimezone(const time_zone& zone, time_value from, std::string& out);

}  // namespace mailferry
