#include "platform/date_format.h"

#include <memory>

#include <unicode/locid.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>

namespace mailferry::platform {

std::u16string format_date(std::int64_t seconds, std::string_view pattern, std::string_view zone_id) {
    UErrorCode status = U_ZERO_ERROR;
    const icu::UnicodeString icu_pattern =
        icu::UnicodeString::fromUTF8(icu::StringPiece(pattern.data(), static_cast<std::int32_t>(pattern.size())));
    icu::SimpleDateFormat formatter(icu_pattern, icu::Locale("en_US"), status);
    if (U_FAILURE(status)) return {};
    std::unique_ptr<icu::TimeZone> zone(
        zone_id.empty() ? icu::TimeZone::createDefault()
                        : icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(
                              icu::StringPiece(zone_id.data(), static_cast<std::int32_t>(zone_id.size())))));
    formatter.setTimeZone(*zone);
    icu::UnicodeString text;
    formatter.format(static_cast<UDate>(seconds) * 1000.0, text);
    return std::u16string(reinterpret_cast<const char16_t*>(text.getBuffer()), static_cast<std::size_t>(text.length()));
}

}  // namespace mailferry::platform
