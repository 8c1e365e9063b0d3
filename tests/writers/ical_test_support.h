#pragma once
// ical_test_support.h: what the calendar tests share: wall times turned into instants and a fixed UUID sequence so that
// whole events compare as text.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "encoding/dates.h"
#include "encoding/local_time.h"
#include "pstwrite/store_items.h"
#include "support/test_helpers.h"
#include "writers/writer_context.h"

namespace mftest {

// The instant at which `zone` shows this date and time.
inline mailferry::time_value wall(const mailferry::time_zone& zone, int y, int mo, int d, int h = 0, int mi = 0) {
    const auto ticks = pstwrite::filetime(y, mo, d, h, mi);
    return mailferry::local_digits_to_instant(mailferry::FileTimeToTimeT(ticks), zone);
}

// UUIDs 00000000-0000-4000-8000-000000000001, ...02, ... in the order asked for.
inline mailferry::UuidSource counting_uuids() {
    return [n = 0]() mutable {
        std::string tail = std::to_string(++n);
        return "00000000-0000-4000-8000-" + std::string(12 - tail.size(), '0') + tail;
    };
}

}  // namespace mftest
