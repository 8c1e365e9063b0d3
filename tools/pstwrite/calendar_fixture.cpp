#include "calendar_fixture.h"

#include <algorithm>
#include <cstdio>

#include "store_calendar.h"
#include "store_items.h"

namespace pstwrite {

namespace {

constexpr std::uint64_t ticks_per_hour = 36'000'000'000ull;

struct series {
    std::u16string subject;
    const char* zone;
    int utc_offset_hours;  // the zone's offset on the first day
    int year, month, day, hour, minute, minutes_long;
    std::optional<recurrence_fields> recurrence{};
    bool all_day = false;
};

std::uint64_t to_utc(std::uint64_t local, int offset_hours) {
    return offset_hours >= 0 ? local - offset_hours * ticks_per_hour : local + -offset_hours * ticks_per_hour;
}

// The fields every blob shares: its first day, its hours and its end.
recurrence_fields pattern(const series& s, std::uint16_t frequency, std::uint16_t type, std::uint32_t period,
                          std::vector<std::uint32_t> specific) {
    recurrence_fields f;
    f.frequency = frequency;
    f.pattern_type = type;
    f.period = period;
    f.pattern_specific = std::move(specific);
    f.start_date = local_minutes(s.year, s.month, s.day);
    f.start_offset = static_cast<std::uint32_t>(s.hour * 60 + s.minute);
    f.end_offset = f.start_offset + static_cast<std::uint32_t>(s.minutes_long);
    return f;
}

void ends_after(recurrence_fields& f, std::uint32_t count, std::uint32_t last_day) {
    f.end_type = 0x2022;
    f.occurrence_count = count;
    f.end_date = last_day;
}

void ends_on(recurrence_fields& f, std::uint32_t last_day) {
    f.end_type = 0x2021;
    f.end_date = last_day;
}

// Moves the occurrence of `day` to another start (local minutes), keeping its length.
void move(recurrence_fields& f, std::uint32_t day, std::uint32_t new_start, std::uint16_t flags = 0,
          std::u16string subject = {}) {
    f.deleted.push_back(day);
    f.modified.push_back(day);
    recurrence_exception_fields e;
    e.start = new_start;
    e.end = new_start + (f.end_offset - f.start_offset);
    e.original_start = day + f.start_offset;
    e.flags = flags;
    e.subject = subject;
    e.location = u"Room 2";
    f.exceptions.push_back(e);
}

std::vector<series> fixture_series() {
    std::vector<series> all;
    {
        series s{u"Daily stand-up", "Europe/Berlin", 1, 2024, 3, 25, 9, 0, 15};
        auto f = pattern(s, 0x200A, 0, 2880, {});
        f.first_date_time = f.start_date % 2880;
        ends_after(f, 10, local_minutes(2024, 4, 12));
        f.deleted.push_back(local_minutes(2024, 3, 29));
        move(f, local_minutes(2024, 4, 2), local_minutes(2024, 4, 2, 11));
        std::sort(f.deleted.begin(), f.deleted.end());
        s.recurrence = f;
        all.push_back(s);
    }
    {
        series s{u"Weekly review", "America/New_York", -5, 2024, 3, 4, 10, 0, 60};
        auto f = pattern(s, 0x200B, 1, 1, {0x0A});
        f.first_date_time = 8640;
        f.deleted.push_back(local_minutes(2024, 3, 13));
        s.recurrence = f;
        all.push_back(s);
    }
    {
        series s{u"Monthly report", "Europe/Berlin", 1, 2024, 3, 29, 14, 0, 60};
        auto f = pattern(s, 0x200C, 3, 1, {0x20, 5});
        ends_on(f, local_minutes(2024, 12, 27));
        f.deleted.push_back(local_minutes(2024, 6, 28));
        s.recurrence = f;
        all.push_back(s);
    }
    {
        series s{u"Month-end close", "America/Los_Angeles", -8, 2024, 1, 31, 8, 0, 90};
        auto f = pattern(s, 0x200C, 4, 1, {31});
        ends_after(f, 6, local_minutes(2024, 6, 30));
        s.recurrence = f;
        all.push_back(s);
    }
    {
        series s{u"Anniversary", "Europe/Berlin", 1, 2024, 3, 15, 12, 0, 60};
        auto f = pattern(s, 0x200D, 2, 12, {15});
        f.first_date_time = 59 * 1440;
        ends_after(f, 5, local_minutes(2028, 3, 15));
        s.recurrence = f;
        all.push_back(s);
    }
    {
        series s{u"Harvest festival", "Europe/Berlin", 2, 2024, 10, 14, 9, 0, 120};
        auto f = pattern(s, 0x200D, 3, 12, {0x02, 2});
        f.first_date_time = 273 * 1440;
        ends_after(f, 3, local_minutes(2026, 10, 12));
        s.recurrence = f;
        all.push_back(s);
    }
    {
        series s{u"Home office", "Europe/Berlin", 2, 2024, 5, 3, 0, 0, 1440};
        s.all_day = true;
        auto f = pattern(s, 0x200B, 1, 1, {0x20});
        f.first_date_time = 8640;
        ends_on(f, local_minutes(2024, 5, 31));
        f.deleted.push_back(local_minutes(2024, 5, 17));
        s.recurrence = f;
        all.push_back(s);
    }
    {
        series s{u"Weekday sync", "Asia/Tokyo", 9, 2024, 3, 4, 9, 0, 30};
        auto f = pattern(s, 0x200A, 1, 1, {0x3E});
        f.deleted.push_back(local_minutes(2024, 3, 20));
        s.recurrence = f;
        all.push_back(s);
    }
    {
        series s{u"Quarterly planning", "America/New_York", -5, 2024, 1, 15, 10, 0, 60};
        auto f = pattern(s, 0x200C, 2, 3, {15});
        ends_after(f, 4, local_minutes(2024, 10, 15));
        move(f, local_minutes(2024, 4, 15), local_minutes(2024, 4, 16, 11), 0x0011, u"Quarterly planning (moved)");
        s.recurrence = f;
        all.push_back(s);
    }
    all.push_back(series{u"Kick-off", "Europe/Berlin", 1, 2024, 3, 5, 14, 30, 90});
    return all;
}

std::string hex(const bytes& b) {
    std::string out;
    char digits[3];
    for (std::byte c : b) {
        std::snprintf(digits, sizeof digits, "%02x", std::to_integer<unsigned>(c));
        out += digits;
    }
    return out;
}

std::string ascii(const std::u16string& s) {
    return std::string(s.begin(), s.end());
}

}  // namespace

std::string write_calendar_fixture(const std::filesystem::path& out) {
    store_builder store(format::unicode, crypt::permute, out);
    store.set_name(u"Calendar fixture");
    folder_builder& calendar = store.ipm_subtree().add_folder(u"Calendar", "IPF.Appointment");
    std::string manifest = "{\"items\": [";
    bool first = true;
    for (const series& s : fixture_series()) {
        calendar_item_fields c;
        c.subject = s.subject;
        c.location = u"Room 1";
        c.body = s.subject + u"\r\nAgenda follows.";
        c.start = to_utc(filetime(s.year, s.month, s.day, s.hour, s.minute), s.utc_offset_hours);
        c.end = c.start + static_cast<std::uint64_t>(s.minutes_long) * 600'000'000ull;
        c.all_day = s.all_day;
        c.busy_status = 2;
        c.importance = 1;
        c.reminder_set = true;
        c.reminder_delta = 10;
        c.categories = {u"Work"};
        c.sender_name = u"Anna Lind";
        c.sender_email = u"anna@example.com";
        c.attendees = {{u"Bob Stone", u"bob@example.com", 1, 6, std::nullopt, 3},
                       {u"Team list", u"team@example.com", 2, 8, std::nullopt, std::nullopt}};
        if (s.recurrence) {
            c.recurrence = recurrence_blob(*s.recurrence);
            for (const auto& e : s.recurrence->exceptions) {
                const std::uint64_t start = static_cast<std::uint64_t>(e.start) * 600'000'000ull;
                c.exceptions.push_back(
                    {to_utc(start, s.utc_offset_hours),
                     to_utc(start, s.utc_offset_hours) + static_cast<std::uint64_t>(e.end - e.start) * 600'000'000ull,
                     0, u"Moved."});
            }
        }
        message_builder& m = calendar.add_message("IPM.Appointment");
        fill_calendar_item(m, c);
        manifest += std::string(first ? "" : ",") + "\n  {\"nid\": " + std::to_string(m.nid()) + ", \"subject\": \"" +
                    ascii(s.subject) + "\", \"zone\": \"" + s.zone +
                    "\", \"all_day\": " + (s.all_day ? "true" : "false") +
                    ", \"blob\": " + (c.recurrence ? "\"" + hex(*c.recurrence) + "\"" : "null") + "}";
        first = false;
    }
    store.write();
    return manifest + "\n]}\n";
}

}  // namespace pstwrite
