#pragma once
// store_items.h: contacts and calendar items for the generator and the demo — the named properties Outlook uses
// for them, a weekly recurrence blob, and FILETIME helpers. Writes through message_builder; no state of its own.

#include <cstdint>
#include <string>

#include "store_builder.h"

namespace pstwrite {

// FILETIME (100-ns ticks since 1601-01-01 UTC) of a UTC date and time.
std::uint64_t filetime(int year, int month, int day, int hour = 0, int minute = 0);

struct contact_fields {
    std::u16string given_name, surname, email, company, phone;
};
void fill_contact(message_builder& m, const contact_fields& c);

struct appointment_fields {
    std::u16string subject, location, body;
    std::uint64_t start = 0, end = 0;  // FILETIME, UTC
    bool weekly = false;               // recurs weekly on the start's weekday, with no end
};
void fill_appointment(message_builder& m, const appointment_fields& a);

// A weekly PidLidAppointmentRecur blob with no end and no exceptions. Times are taken as local = UTC.
bytes weekly_recurrence(std::uint64_t start, std::uint64_t end);

}  // namespace pstwrite
