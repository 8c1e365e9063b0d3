#include "encoding/dates.h"

#include <unicode/locid.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace mailferry {

namespace {

constexpr std::uint64_t filetime_1970 = 116444736000000000ULL;
constexpr std::uint64_t ticks_per_second = 10000000ULL;

constexpr std::string_view rfc822_pattern = "EEE, dd MMM yyyy HH:mm:ss ZZZ";
constexpr std::string_view mbox_pattern = "EEE MMM dd HH:mm:ss yyyy";
constexpr std::string_view ical_date_pattern = "yyyyMMdd";
constexpr std::string_view ical_local_pattern = "yyyyMMdd'T'HHmmss";
constexpr std::string_view ical_utc_pattern = "yyyyMMdd'T'HHmmss'Z'";
constexpr std::string_view iso_pattern = "yyyy'-'MM'-'dd";

constexpr std::size_t mbox_min_capacity = 25;
constexpr std::size_t iso_min_capacity = 11;

icu::UnicodeString to_unicode(std::string_view ascii) {
    return icu::UnicodeString::fromUTF8(icu::StringPiece(ascii.data(), static_cast<int32_t>(ascii.size())));
}

// Copies `text` and a zero into `buffer` when both fit.
bool copy_to_buffer(const std::string& text, std::span<char> buffer) {
    if (buffer.empty() || text.size() >= buffer.size()) return false;
    std::memcpy(buffer.data(), text.data(), text.size());
    buffer[text.size()] = '\0';
    return true;
}

}  // namespace

time_value FileTimeToTimeT(std::uint64_t filetime) {
    // Unsigned on each side of the epoch, so neither a very large nor a very small tick count can overflow.
    if (filetime >= filetime_1970) return static_cast<time_value>((filetime - filetime_1970) / ticks_per_second);
    return -static_cast<time_value>((filetime_1970 - filetime) / ticks_per_second);
}

struct time_zone::impl {
    std::unique_ptr<icu::TimeZone> zone;
};

time_zone::time_zone(std::unique_ptr<impl> zone) : m_impl(std::move(zone)) {}
time_zone::time_zone(const time_zone& other)
    : m_impl(std::make_unique<impl>(impl{std::unique_ptr<icu::TimeZone>(other.m_impl->zone->clone())})) {}
time_zone& time_zone::operator=(const time_zone& other) {
    if (this != &other) *this = time_zone(other);
    return *this;
}
time_zone::time_zone(time_zone&&) noexcept = default;
time_zone& time_zone::operator=(time_zone&&) noexcept = default;
time_zone::~time_zone() = default;

time_zone time_zone::gmt() {
    return time_zone(std::make_unique<impl>(impl{std::unique_ptr<icu::TimeZone>(icu::TimeZone::getGMT()->clone())}));
}

time_zone time_zone::system() {
    return time_zone(std::make_unique<impl>(impl{std::unique_ptr<icu::TimeZone>(icu::TimeZone::createDefault())}));
}

std::optional<time_zone> time_zone::named(std::string_view id) {
    std::unique_ptr<icu::TimeZone> zone(icu::TimeZone::createTimeZone(to_unicode(id)));
    if (!zone || *zone == icu::TimeZone::getUnknown()) return std::nullopt;
    return time_zone(std::make_unique<impl>(impl{std::move(zone)}));
}

std::string time_zone::id() const {
    icu::UnicodeString id;
    m_impl->zone->getID(id);
    std::string text;
    id.toUTF8String(text);
    return text;
}

struct date_formatter::impl {
    std::unique_ptr<icu::SimpleDateFormat> format;
};

date_formatter::date_formatter() : m_impl(std::make_unique<impl>()) {
    UErrorCode status = U_ZERO_ERROR;
    m_impl->format =
        std::make_unique<icu::SimpleDateFormat>(to_unicode(ical_date_pattern), icu::Locale("en_US"), status);
    if (U_FAILURE(status)) throw std::runtime_error("date formatter unavailable");
}

date_formatter::~date_formatter() = default;

bool date_formatter::format(time_value seconds, std::string_view pattern, const time_zone& zone, std::string& out) {
    auto& format = *m_impl->format;
    format.applyPattern(to_unicode(pattern));
    format.setTimeZone(*zone.m_impl->zone);
    icu::UnicodeString text;
    format.format(static_cast<UDate>(seconds) * 1000.0, text);
    std::string utf8;
    text.toUTF8String(utf8);
    if (utf8.empty() || std::any_of(utf8.begin(), utf8.end(), [](char c) { return (c & 0x80) != 0; })) return false;
    out.append(utf8);
    return true;
}

bool FormatRfc822Date(date_formatter& formatter, time_value seconds, std::string& out, const time_zone* zone) {
    return formatter.format(seconds, rfc822_pattern, zone ? *zone : time_zone::gmt(), out);
}

bool FormatMboxDate(date_formatter& formatter, time_value seconds, std::string& out, const time_zone* zone) {
    return formatter.format(seconds, mbox_pattern, zone ? *zone : time_zone::gmt(), out);
}

bool FormatICalDate(date_formatter& formatter, time_value seconds, std::string& out, const time_zone* zone,
                    bool dateOnly) {
    const std::string_view pattern = dateOnly ? ical_date_pattern : zone ? ical_local_pattern : ical_utc_pattern;
    return formatter.format(seconds, pattern, zone ? *zone : time_zone::gmt(), out);
}

bool FormatIsoDate(date_formatter& formatter, time_value seconds, std::string& out, const time_zone& zone) {
    return formatter.format(seconds, iso_pattern, zone, out);
}

bool FormatRfc822Date(date_formatter& formatter, time_value seconds, std::span<char> buffer, const time_zone* zone) {
    std::string text;
    return FormatRfc822Date(formatter, seconds, text, zone) && copy_to_buffer(text, buffer);
}

bool FormatMboxDate(date_formatter& formatter, time_value seconds, std::span<char> buffer, const time_zone* zone) {
    if (buffer.size() < mbox_min_capacity) return false;
    std::string text;
    return FormatMboxDate(formatter, seconds, text, zone) && copy_to_buffer(text, buffer);
}

bool FormatICalDate(date_formatter& formatter, time_value seconds, std::span<char> buffer, const time_zone* zone,
                    bool dateOnly) {
    std::string text;
    return FormatICalDate(formatter, seconds, text, zone, dateOnly) && copy_to_buffer(text, buffer);
}

bool FormatIsoDate(date_formatter& formatter, time_value seconds, std::span<char> buffer, const time_zone& zone) {
    if (buffer.size() < iso_min_capacity) return false;
    std::string text;
    return FormatIsoDate(formatter, seconds, text, zone) && copy_to_buffer(text, buffer);
}

}  // namespace mailferry
