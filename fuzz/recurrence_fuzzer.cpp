// Feeds raw bytes to the recurrence blob parser and writes the rule lines of what it read, in a zone with
// daylight saving. Nothing may be read outside the input, and nothing allocated beyond what it can hold.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "encoding/dates.h"
#include "platform/diagnostic_log.h"
#include "writers/recurrence.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static mailferry::date_formatter dates;
    static const mailferry::time_zone zone = *mailferry::time_zone::named("America/New_York");
    static const bool quiet = (mailferry::platform::set_diagnostic_sink([](std::string_view) {}), true);
    (void)quiet;
    const std::span<const std::byte> blob(reinterpret_cast<const std::byte*>(data), size);
    const mailferry::RecurrencePattern pattern = mailferry::ParseRecurrenceBlob(blob);
    std::string lines;
    // DTSTART on the blob's own first day, as the writer does when the appointment has no start.
    const mailferry::SeriesStart start{mailferry::MinutesToTime(pattern.startDate + pattern.startTimeOffset),
                                       (size & 1) != 0};
    mailferry::WriteRecurrence(lines, pattern, start, dates, zone);
    return 0;
}
