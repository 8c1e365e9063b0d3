#include "platform/date_format.h"

#include <memory>
#include <string>

#include <unicode/locid.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>

namespace mailferry::platform {

namespace {

icu::UnicodeString from_utf8(std::string_view text) {
    return icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<std::int32_t>(text.size())));
}

// Making a formatter costs far more than formatting, and a run formats one date per message with the same
// pattern and zone; each thread keeps the last one it made.
struct cached_formatter {
    std::string pattern;
    std::string zone;
    std::unique_ptr<icu::SimpleDateFormat> formatter;
};

icu::SimpleDateFormat* formatter_for(std::string_view pattern, std::string_view zone_id) {
    thread_local cached_formatter cache;
    if (cache.formatter && cache.pattern == pattern && cache.zone == zone_id) return cache.formatter.get();
    UErrorCode status = U_ZERO_ERROR;
    auto formatter = std::make_unique<icu::SimpleDateFormat>(from_utf8(pattern), icu::Locale("en_US"), status);
    if (U_FAILURE(status)) return nullptr;
    std::unique_ptr<icu::TimeZone> zone(zone_id.empty() ? icu::TimeZone::createDefault()
                                                        : icu::TimeZone::createTimeZone(from_utf8(zone_id)));
    formatter->adoptTimeZone(zone.release());
    cache = {std::string(pattern), std::string(zone_id), std::move(formatter)};
    return cache.formatter.get();
}

}  // namespace

std::u16string format_date(std::int64_t seconds, std::string_view pattern, std::string_view zone_id) {
    icu::SimpleDateFormat* formatter = formatter_for(pattern, zone_id);
    if (!formatter) return {};
    icu::UnicodeString text;
    formatter->format(static_cast<UDate>(seconds) * 1000.0, text);
    return std::u16string(reinterpret_cast<const char16_t*>(text.getBuffer()), static_cast<std::size_t>(text.length()));
}

}  // namespace mailferry::platform
