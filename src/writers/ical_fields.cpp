#include "writers/ical_fields.h"

#include <algorithm>

#include "encoding/code_page_table.h"
#include "pstcore/messaging/message.h"
#include "pstcore/messaging/pst.h"
#include "pstcore/ndb/exceptions.h"

namespace mailferry {

namespace {

namespace sets = pstcore::property_sets;
using pstcore::prop_id;

constexpr prop_id kSubject = 0x0037;
constexpr prop_id kImportance = 0x0017;
constexpr prop_id kResponseRequested = 0x0063;
constexpr prop_id kCreationTime = 0x3007;
constexpr prop_id kLastModificationTime = 0x3008;
constexpr prop_id kSenderName = 0x0C1A;
constexpr prop_id kSenderAddressType = 0x0C1E;
constexpr prop_id kSenderEmailAddress = 0x0C1F;
constexpr prop_id kDisplayName = 0x3001;
constexpr prop_id kAddressType = 0x3002;
constexpr prop_id kEmailAddress = 0x3003;
constexpr prop_id kSmtpAddress = 0x39FE;
constexpr prop_id kAlternateAddress = 0x403E;
constexpr prop_id kRecipientDisplayName = 0x5FF6;
constexpr prop_id kRecipientType = 0x0C15;
constexpr prop_id kRecipientFlags = 0x5FFD;
constexpr prop_id kRecipientTrackStatus = 0x5FFF;
constexpr prop_id kObjectType = 0x0FFE;

constexpr std::int32_t kOrganizerFlag = 0x2;
constexpr std::int32_t kDistributionList = 8;

constexpr pstcore::prop_type kTypeI16 = 0x0002, kTypeI32 = 0x0003, kTypeBoolean = 0x000B, kTypeTime = 0x0040,
                             kTypeString8 = 0x001E, kTypeUnicode = 0x001F, kTypeMultiString8 = 0x101E,
                             kTypeMultiUnicode = 0x101F, kTypeBinary = 0x0102;

std::optional<pstcore::prop_type> TypeOf(const pstcore::const_property_object& object, prop_id id) {
    if (id == 0) return std::nullopt;
    return object.find_prop_type(id);
}

std::optional<bool> ReadFlag(const pstcore::const_property_object& object, prop_id id) {
    if (TypeOf(object, id) == kTypeBoolean) return object.get_value_1(id) != 0;
    const auto value = ReadInteger(object, id);
    return value ? std::optional<bool>(*value != 0) : std::nullopt;
}

std::optional<time_value> ReadTime(const pstcore::const_property_object& object, prop_id id) {
    if (TypeOf(object, id) != kTypeTime) return std::nullopt;
    return object.read_time(id);
}

std::optional<std::vector<std::string>> ReadTextList(const pstcore::const_property_object& object, prop_id id) {
    const auto type = TypeOf(object, id);
    if (type != kTypeMultiString8 && type != kTypeMultiUnicode) return std::nullopt;
    return object.read_utf8string_array(id);
}

std::optional<std::vector<std::byte>> ReadBinary(const pstcore::const_property_object& object, prop_id id) {
    if (TypeOf(object, id) != kTypeBinary) return std::nullopt;
    return object.get_value_variable(id);
}

// Holds an "@" with a "." somewhere after it.
bool LooksLikeEmail(const std::string& text) {
    const auto at = text.find('@');
    return at != std::string::npos && text.find('.', at + 1) != std::string::npos;
}

// The address of a sender or recipient: for an Exchange address, its SMTP form where the item has one; else the
// e-mail address as stored.
std::string AddressOf(const pstcore::const_property_object& object, prop_id emailTag, prop_id typeTag) {
    if (ReadText(object, typeTag).value_or("") == "EX") {
        if (auto smtp = ReadText(object, kSmtpAddress); smtp && !smtp->empty()) return *smtp;
        for (const prop_id tag : {kAlternateAddress, kRecipientDisplayName})
            if (auto text = ReadText(object, tag); text && LooksLikeEmail(*text)) return *text;
    }
    return ReadText(object, emailTag).value_or("");
}

prop_id Lookup(pstcore::pst& pst, const pstcore::named_prop& name) {
    try {
        return pst.get_name_id_map().lookup(name);
    } catch (const pstcore::key_not_found<pstcore::named_prop>&) {
        return 0;
    }
}

// The subject without its prefix marker: U+0001 and the character that gives the prefix length.
std::optional<std::string> ReadSubject(const pstcore::const_property_object& object) {
    std::optional<std::string> subject = ReadText(object, kSubject);
    if (!subject || subject->empty() || subject->front() != '\x01') return subject;
    std::size_t end = 2;
    while (end < subject->size() && (static_cast<unsigned char>((*subject)[end]) & 0xC0) == 0x80) ++end;
    subject->erase(0, std::min(end, subject->size()));
    return subject;
}

std::vector<Attendee> ReadAttendees(pstcore::message& message, const TextEncodingItem* codePage) {
    std::vector<Attendee> attendees;
    for (auto row = message.recipient_begin(); row != message.recipient_end(); ++row) {
        pstcore::const_table_row recipient = *row;
        recipient.set_text_encoding(codePage);
        if (const auto flags = ReadInteger(recipient, kRecipientFlags); flags && (*flags & kOrganizerFlag)) continue;
        Attendee attendee;
        attendee.name = ReadText(recipient, kDisplayName).value_or("");
        attendee.address = AddressOf(recipient, kEmailAddress, kAddressType);
        if (const auto type = ReadInteger(recipient, kRecipientType))
            attendee.recipientType = static_cast<std::uint32_t>(*type);
        attendee.isGroup = ReadInteger(recipient, kObjectType) == kDistributionList;
        attendee.trackStatus = ReadInteger(recipient, kRecipientTrackStatus);
        attendees.push_back(std::move(attendee));
    }
    return attendees;
}

}  // namespace

std::optional<std::string> ReadText(const pstcore::const_property_object& object, prop_id id) {
    const auto type = TypeOf(object, id);
    if (type != kTypeString8 && type != kTypeUnicode) return std::nullopt;
    return object.read_utf8string(id);
}

std::optional<std::int32_t> ReadInteger(const pstcore::const_property_object& object, prop_id id) {
    const auto type = TypeOf(object, id);
    if (type == kTypeI32) return static_cast<std::int32_t>(object.get_value_4(id));
    if (type == kTypeI16) return static_cast<std::int16_t>(object.get_value_2(id));
    if (type == kTypeBoolean) return object.get_value_1(id) != 0 ? 1 : 0;
    return std::nullopt;
}

AppointmentPropertyIds ResolveAppointmentPropertyIds(pstcore::pst& pst) {
    AppointmentPropertyIds ids;
    try {
        pst.get_name_id_map();
    } catch (const pstcore::key_not_found<pstcore::node_id>&) {
        return ids;
    } catch (const pstcore::key_not_found<prop_id>&) {
        return ids;
    }
    const auto appointment = [&](std::int32_t lid) { return Lookup(pst, {sets::psetid_appointment, lid}); };
    const auto common = [&](std::int32_t lid) { return Lookup(pst, {sets::psetid_common, lid}); };
    ids.start = appointment(0x820D);
    ids.end = appointment(0x820E);
    ids.location = appointment(0x8208);
    ids.busyStatus = appointment(0x8205);
    ids.sequence = appointment(0x8201);
    ids.recurrence = appointment(0x8216);
    ids.allDay = appointment(0x8215);
    ids.isPrivate = common(0x8506);
    ids.reminderSet = common(0x8503);
    ids.reminderDelta = common(0x8501);
    ids.keywords = Lookup(pst, {sets::ps_public_strings, std::wstring(L"Keywords")});
    return ids;
}

AppointmentFields ReadAppointmentFields(pstcore::message& message, const AppointmentPropertyIds& ids,
                                        const TextEncodingItem* codePage) {
    pstcore::property_bag& bag = message.get_property_bag();
    bag.set_text_encoding(codePage);
    AppointmentFields f;
    f.subject = ReadSubject(bag);
    f.created = ReadTime(bag, kCreationTime);
    f.lastModified = ReadTime(bag, kLastModificationTime);
    f.start = ReadTime(bag, ids.start);
    f.end = ReadTime(bag, ids.end);
    f.allDay = ReadFlag(bag, ids.allDay).value_or(false);
    f.isPrivate = ReadFlag(bag, ids.isPrivate);
    f.busyStatus = ReadInteger(bag, ids.busyStatus);
    f.importance = ReadInteger(bag, kImportance);
    f.sequence = ReadInteger(bag, ids.sequence);
    f.categories = ReadTextList(bag, ids.keywords);
    f.organizerName = ReadText(bag, kSenderName).value_or("");
    f.organizerAddress = AddressOf(bag, kSenderEmailAddress, kSenderAddressType);
    f.attendees = ReadAttendees(message, codePage);
    f.responseRequested = ReadFlag(bag, kResponseRequested).value_or(true);
    f.location = ReadText(bag, ids.location).value_or("");
    f.reminderSet = ReadFlag(bag, ids.reminderSet);
    f.reminderDelta = ReadInteger(bag, ids.reminderDelta);
    f.recurrence = ReadBinary(bag, ids.recurrence);
    return f;
}

}  // namespace mailferry
