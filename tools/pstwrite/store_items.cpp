#include "store_items.h"

namespace pstwrite {

namespace {
constexpr std::uint64_t ticks_per_minute = 600'000'000ull;

// Days from 1601-01-01 to the given civil date (proleptic Gregorian).
std::int64_t days_since_1601(int y, int m, int d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const std::int64_t days_since_1970 = era * 146097 + doe - 719468;
    return days_since_1970 + 134774;  // 1601-01-01 is 134774 days before 1970-01-01
}

void set_text(message_builder& m, std::uint16_t id, std::u16string_view s) {
    if (!s.empty()) m.set_text(id, s);
}
}  // namespace

std::uint64_t filetime(int year, int month, int day, int hour, int minute) {
    const auto minutes = static_cast<std::uint64_t>(days_since_1601(year, month, day)) * 1440 + hour * 60 + minute;
    return minutes * ticks_per_minute;
}

void fill_contact(message_builder& m, const contact_fields& c) {
    const std::u16string display = c.given_name + u" " + c.surname;
    m.set_subject(display);
    m.set_text(0x3001, display);
    set_text(m, 0x3A06, c.given_name);
    set_text(m, 0x3A11, c.surname);
    set_text(m, 0x3A16, c.company);
    set_text(m, 0x3A08, c.phone);
    m.set_named({PSETID_Address, 0x8080u}, m.text(display + u" (" + c.email + u")"));  // Email1DisplayName
    m.set_named({PSETID_Address, 0x8082u}, m.text(u"SMTP"));                           // Email1AddressType
    m.set_named({PSETID_Address, 0x8083u}, m.text(c.email));                           // Email1EmailAddress
    m.set_named({PSETID_Address, 0x8084u}, m.text(c.email));                           // Email1OriginalDisplayName
}

bytes weekly_recurrence(std::uint64_t start, std::uint64_t end) {
    const std::uint64_t start_min = start / ticks_per_minute, end_min = end / ticks_per_minute;
    const std::uint32_t start_day = static_cast<std::uint32_t>(start_min / 1440 * 1440);
    const std::uint32_t weekday = static_cast<std::uint32_t>((start_min / 1440 + 1) % 7);  // 1601-01-01: Monday
    const std::uint32_t week_start = start_day - weekday * 1440;                           // the Sunday before
    bytes b;
    put_u16(b, 0x3004);  // reader version
    put_u16(b, 0x3004);  // writer version
    put_u16(b, 0x200B);  // weekly
    put_u16(b, 0x0001);  // pattern: week
    put_u16(b, 0);       // Gregorian
    put_u32(b, week_start % 10080);
    put_u32(b, 1);  // every week
    put_u32(b, 0);  // sliding flag
    put_u32(b, 1u << weekday);
    put_u32(b, 0x2023);  // never ends
    put_u32(b, 10);      // occurrence count, as written for endless series
    put_u32(b, 0);       // weeks start on Sunday
    put_u32(b, 0);       // deleted instances
    put_u32(b, 0);       // modified instances
    put_u32(b, start_day);
    put_u32(b, 0x5AE980DF);  // 4500-12-31: no end
    put_u32(b, 0x3006);
    put_u32(b, 0x3009);
    put_u32(b, static_cast<std::uint32_t>(start_min - start_day));
    put_u32(b, static_cast<std::uint32_t>(end_min - start_day));
    put_u16(b, 0);  // exceptions
    put_u32(b, 0);  // reserved block 1
    put_u32(b, 0);  // reserved block 2
    return b;
}

void fill_appointment(message_builder& m, const appointment_fields& a) {
    m.set_subject(a.subject);
    set_text(m, 0x1000, a.body);
    m.set_named({PSETID_Appointment, 0x820Du}, prop::time(a.start));      // AppointmentStartWhole
    m.set_named({PSETID_Appointment, 0x820Eu}, prop::time(a.end));        // AppointmentEndWhole
    m.set_named({PSETID_Appointment, 0x8208u}, m.text(a.location));       // Location
    m.set_named({PSETID_Appointment, 0x8205u}, prop::i32(2));             // BusyStatus: busy
    m.set_named({PSETID_Appointment, 0x8215u}, prop::boolean(false));     // AppointmentSubType: not all day
    m.set_named({PSETID_Appointment, 0x8223u}, prop::boolean(a.weekly));  // Recurring
    m.set_named({PSETID_Appointment, 0x8235u}, prop::time(a.start));      // ClipStart
    m.set(0x0060, prop::time(a.start));                                   // StartDate
    m.set(0x0061, prop::time(a.end));                                     // EndDate
    if (a.weekly) {
        m.set_named({PSETID_Appointment, 0x8216u}, prop::binary(weekly_recurrence(a.start, a.end)));
        m.set_named({PSETID_Appointment, 0x8236u}, prop::time(filetime(4500, 8, 31, 23, 59)));  // ClipEnd
    } else {
        m.set_named({PSETID_Appointment, 0x8236u}, prop::time(a.end));
    }
}

}  // namespace pstwrite
