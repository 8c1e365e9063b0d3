#include "encoding/local_time.h"

#include <unicode/gregocal.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>
#include <unicode/vtzone.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

namespace mailferry {

namespace {

constexpr std::int64_t seconds_per_day = 86400;
constexpr double ms_per_second = 1000.0;

icu::UnicodeString to_unicode(const std::string& text) {
    return icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
}

// A lenient Gregorian calendar in the zone; null when the platform cannot make one.
std::unique_ptr<icu::Calendar> calendar_in(const time_zone& zone) {
    UErrorCode status = U_ZERO_ERROR;
    auto calendar =
        std::make_unique<icu::GregorianCalendar>(icu::TimeZone::createTimeZone(to_unicode(zone.id())), status);
    if (U_FAILURE(status)) return nullptr;
    calendar->setRepeatedWallTimeOption(UCAL_WALLTIME_FIRST);
    calendar->setSkippedWallTimeOption(UCAL_WALLTIME_LAST);
    return calendar;
}

time_value to_seconds(UDate ms) {
    return static_cast<time_value>(std::floor(ms / ms_per_second));
}

}  // namespace

civil_date civil_from_days(std::int64_t days) {
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t doe = days - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const int day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    return {yoe + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

time_value local_digits_to_instant(time_value digits, const time_zone& zone) {
    const std::unique_ptr<icu::Calendar> calendar = calendar_in(zone);
    if (!calendar) return digits;
    const std::int64_t days =
        digits >= 0 ? digits / seconds_per_day : -((-digits + seconds_per_day - 1) / seconds_per_day);
    const std::int64_t second_of_day = digits - days * seconds_per_day;
    const civil_date date = civil_from_days(days);
    constexpr std::int64_t year_limit = 5000000;  // far inside the calendar's range; garbage stays garbage
    calendar->clear();
    calendar->set(static_cast<int32_t>(std::clamp<std::int64_t>(date.year, -year_limit, year_limit)), date.month - 1,
                  date.day, static_cast<int32_t>(second_of_day / 3600), static_cast<int32_t>(second_of_day / 60 % 60),
                  static_cast<int32_t>(second_of_day % 60));
    UErrorCode status = U_ZERO_ERROR;
    const UDate ms = calendar->getTime(status);
    return U_FAILURE(status) ? digits : to_seconds(ms);
}

time_value add_local_days(time_value seconds, std::int64_t days, const time_zone& zone) {
    const std::unique_ptr<icu::Calendar> calendar = calendar_in(zone);
    if (!calendar) return seconds + days * seconds_per_day;
    UErrorCode status = U_ZERO_ERROR;
    calendar->setTime(static_cast<UDate>(seconds) * ms_per_second, status);
    calendar->add(UCAL_DATE,
                  static_cast<int32_t>(std::clamp<std::int64_t>(days, std::numeric_limits<int32_t>::min(),
                                                                std::numeric_limits<int32_t>::max())),
                  status);
    const UDate ms = calendar->getTime(status);
    return U_FAILURE(status) ? seconds + days * seconds_per_day : to_seconds(ms);
}

bool append_vtimezone(const time_zone& zone, time_value from, std::string& out) {
    const std::string id = zone.id();
    std::unique_ptr<icu::VTimeZone> rules(icu::VTimeZone::createVTimeZoneByID(to_unicode(id)));
    // ICU answers an id it does not know with its "unknown" zone rather than with nothing.
    if (!rules || id.empty() || id == "Etc/Unknown") return false;
    icu::UnicodeString written;
    UErrorCode status = U_ZERO_ERROR;
    rules->write(static_cast<UDate>(from) * ms_per_second, written, status);
    std::string text;
    written.toUTF8String(text);
    if (U_FAILURE(status) || !text.starts_with("BEGIN:VTIMEZONE")) return false;
    while (text.ends_with("\r\n")) text.resize(text.size() - 2);
    // The TZID that event times name must be this one, letter for letter.
    if (text.find("\r\nTZID:" + id + "\r\n") == std::string::npos) return false;
    out.append(text);
    return true;
}

}  // namespace mailferry
