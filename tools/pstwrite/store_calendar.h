#pragma once
// store_calendar.h: calendar items as Outlook stores them, for fixtures: the appointment's named properties
// (PSETID_Appointment, PSETID_Common, the Keywords list), attendees with their flags and answers, reminders,
// exception attachments, and the recurrence blob written field by field (PidLidAppointmentRecur), including
// exception entries with subject and location overrides. Times inside the blob are local minutes since 1601;
// the appointment's start and end are UTC FILETIMEs. No state of its own.
//
//   recurrence_fields weekly;                      // every week on the mask's days, no end
//   weekly.pattern_specific = {0x04};              // Tuesday
//   weekly.start_date = local_minutes(2016, 8, 2);
//   bytes blob = recurrence_blob(weekly);

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "store_builder.h"

namespace pstwrite {

// Minutes since 1601-01-01 00:00 of a date and time, as the blob keeps local times.
std::uint32_t local_minutes(int year, int month, int day, int hour = 0, int minute = 0);

struct recurrence_exception_fields {
    std::uint32_t start = 0, end = 0, original_start = 0;  // local minutes
    std::uint16_t flags = 0;                               // overrides; subject (1) and location (0x10) add text
    std::u16string subject{}, location{};
    std::uint32_t reminder_delta = 15, busy_status = 2;  // written when their flags (4, 0x20) are set
};

struct recurrence_fields {
    std::uint16_t frequency = 0x200B;  // 0x200A daily, 0x200B weekly, 0x200C monthly, 0x200D yearly
    std::uint16_t pattern_type = 1;    // 0 day, 1 week, 2 month, 3 month-nth, 4 month-end
    std::uint32_t first_date_time = 0;
    std::uint32_t period = 1;
    std::vector<std::uint32_t> pattern_specific;  // none, a day mask or day of month, or a mask and N
    std::uint32_t end_type = 0x2023;              // 0x2021 by date, 0x2022 by count, 0x2023 never
    std::uint32_t occurrence_count = 10;
    std::uint32_t first_dow = 0;
    std::vector<std::uint32_t> deleted, modified;  // local midnights
    std::uint32_t start_date = 0;
    std::uint32_t end_date = 0x5AE980DF;  // 4500-12-31 23:59: no end
    std::uint32_t writer_version2 = 0x3009;
    std::uint32_t start_offset = 0, end_offset = 0;  // minutes after local midnight
    std::vector<recurrence_exception_fields> exceptions;
};

bytes recurrence_blob(const recurrence_fields& f);

struct attendee_fields {
    std::u16string name, email;
    std::int32_t type = 1;                     // 1 required, 2 optional, 3 resource
    std::int32_t object_type = 6;              // 6 mail user, 8 distribution list
    std::optional<std::int32_t> flags;         // PidTagRecipientFlags: 2 the organizer
    std::optional<std::int32_t> track_status;  // 2 tentative, 3 accepted, 4 declined
};

// A modified occurrence's attachment: hidden, flagged as an exception, holding the occurrence as a message.
struct exception_item_fields {
    std::uint64_t start = 0, end = 0;  // UTC FILETIMEs of the moved occurrence
    std::uint64_t replace_time = 0;    // UTC FILETIME of the original start
    std::u16string body;
};

struct calendar_item_fields {
    std::u16string subject, location, body;
    std::uint64_t start = 0, end = 0;  // UTC FILETIMEs; 0 leaves the property out
    bool all_day = false;
    std::optional<std::int32_t> busy_status, importance, sequence, reminder_delta;
    std::optional<bool> is_private, reminder_set, response_requested;
    std::vector<std::u16string> categories;
    std::u16string sender_name, sender_email, sender_address_type = u"SMTP";
    std::vector<attendee_fields> attendees;
    std::optional<bytes> recurrence;
    std::vector<exception_item_fields> exceptions;
    std::vector<std::u16string> file_attachments;  // small text files by name
    std::uint64_t created = 0, modified = 0;       // UTC FILETIMEs; 0 leaves them out
};

// Fills an IPM.Appointment message with every field given.
void fill_calendar_item(message_builder& m, const calendar_item_fields& c);

}  // namespace pstwrite
