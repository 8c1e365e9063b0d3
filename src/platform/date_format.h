#pragma once
// date_format.h: dates as people read them, through the platform's date formatter with the en_US names.
// Patterns are the formatter's fixed-format patterns ("EEEE, dd MMM yyyy hh:mm:ss a"). Thread-safe.

#include <cstdint>
#include <string>
#include <string_view>

namespace mailferry::platform {

// `seconds` since 1970-01-01 UTC in the zone `zone_id` ("UTC", "Europe/Berlin"; empty: the system's zone,
// which honours TZ), as UTF-16. An unknown zone id formats in GMT.
std::u16string format_date(std::int64_t seconds, std::string_view pattern, std::string_view zone_id = {});

}  // namespace mailferry::platform
