#pragma once
// ical_fields.h: what the iCalendar writer reads of one appointment, gathered once into a plain struct before any
// line is written: the ids of the appointment's named properties in this file, and the values, texts in UTF-8
// as stored (escaping and folding belong to the lines). The body and the attachments stay in the message and
// are read while the description is written. Internal to the writers module.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "encoding/dates.h"
#include "pstcore/tables/tables_format.h"

namespace pstcore {
class message;
class pst;
class const_property_object;
}  // namespace pstcore

namespace mailferry {

struct TextEncodingItem;

// The file's ids of the named properties an event uses; 0 where the file has no such name (the value is then
// absent on every appointment).
struct AppointmentPropertyIds {
    pstcore::prop_id start = 0;          // PSETID_Appointment 0x820D
    pstcore::prop_id end = 0;            // 0x820E
    pstcore::prop_id location = 0;       // 0x8208
    pstcore::prop_id busyStatus = 0;     // 0x8205
    pstcore::prop_id sequence = 0;       // 0x8201
    pstcore::prop_id recurrence = 0;     // 0x8216
    pstcore::prop_id allDay = 0;         // 0x8215
    pstcore::prop_id isPrivate = 0;      // PSETID_Common 0x8506
    pstcore::prop_id reminderSet = 0;    // 0x8503
    pstcore::prop_id reminderDelta = 0;  // 0x8501
    pstcore::prop_id keywords = 0;       // PS_PUBLIC_STRINGS "Keywords"
};

// Looks the names up in the file's named-property map; a file without a map resolves nothing. Errors of a
// damaged map other than a missing name pass to the caller.
AppointmentPropertyIds ResolveAppointmentPropertyIds(pstcore::pst& pst);

struct Attendee {
    std::string name;     // display name, may be empty
    std::string address;  // by the address rule, may be empty
    std::optional<std::uint32_t> recipientType;
    bool isGroup = false;
    std::optional<std::int32_t> trackStatus;
};

struct AppointmentFields {
    std::optional<std::string> subject;
    std::optional<time_value> created, lastModified, start, end;
    bool allDay = false;
    std::optional<bool> isPrivate;
    std::optional<std::int32_t> busyStatus, importance, sequence;
    std::optional<std::vector<std::string>> categories;
    std::string organizerName, organizerAddress;
    std::vector<Attendee> attendees;  // the organizer's row left out
    bool responseRequested = true;
    std::string location;
    std::optional<bool> reminderSet;
    std::optional<std::int32_t> reminderDelta;
    std::optional<std::vector<std::byte>> recurrence;
};

// Reads the appointment. 8-bit strings of the message and its recipient rows decode with `codePage` (attached to
// them here). A value stored with a type that cannot hold it counts as absent; every other read error passes.
AppointmentFields ReadAppointmentFields(pstcore::message& message, const AppointmentPropertyIds& ids,
                                        const TextEncodingItem* codePage);

// Typed reads by the absence rule above; id 0 is always absent.
std::optional<std::string> ReadText(const pstcore::const_property_object& object, pstcore::prop_id id);
std::optional<std::int32_t> ReadInteger(const pstcore::const_property_object& object, pstcore::prop_id id);

}  // namespace mailferry
