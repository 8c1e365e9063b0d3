#include "writers/ical_writer.h"

#include <optional>
#include <string_view>

#include "encoding/code_page_table.h"
#include "encoding/escaping.h"
#include "encoding/local_time.h"
#include "platform/diagnostic_log.h"
#include "pstcore/messaging/message.h"
#include "writers/ical_description.h"
#include "writers/ical_fields.h"
#include "writers/recurrence.h"

namespace mailferry {

namespace {

constexpr std::int32_t kBusyFree = 0;
constexpr std::int32_t kImportanceLow = 0;
constexpr std::int32_t kImportanceHigh = 2;

std::string EscapedFolded(std::string_view text) {
    std::string out;
    value_escaper(true).append(text, out);
    return out;
}

std::string Escaped(std::string_view text) {
    std::string out;
    value_escaper(false).append(text, out);
    return out;
}

// A parameter value between double quotes, which it cannot hold; nor can it hold a line break.
std::string Quoted(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"')
            out.push_back('\'');
        else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            out.push_back(' ');
        else
            out.push_back(c);
    }
    out.push_back('"');
    return out;
}

// One event's lines, appended to a text in the order readers and the Apple importer expect.
class EventWriter {
public:
    EventWriter(std::string& out, const AppointmentFields& fields, const WriterContext& context)
        : _out(out), _fields(fields), _context(context) {}

    void Line(std::string_view name, std::string_view value) { _out.append("\r\n").append(name).append(value); }

    void Identity() {
        const std::string uid = _context.newUuid();
        Line("UID:", uid);
        Line("X-ENTOURAGE_UUID:", uid);
    }
    void Summary() {
        if (!_fields.subject) return;
        const std::string text = EscapedFolded(*_fields.subject);
        if (!text.empty()) Line("SUMMARY:", text);
    }
    void Stamps() {
        if (_fields.created) {
            Line("CREATED:", Utc(*_fields.created));
            Line("DTSTAMP:", Utc(*_fields.created));
        }
        if (_fields.lastModified) Line("LAST-MODIFIED:", Utc(*_fields.lastModified));
    }
    void Times(const ExceptionTimes* exception) {
        if (exception || _fields.start) Local("DTSTART", exception ? exception->start : *_fields.start);
        if (exception || _fields.end) Local("DTEND", exception ? exception->end : *_fields.end);
    }
    void Classification() {
        if (_fields.isPrivate) Line("CLASS:", *_fields.isPrivate ? "PRIVATE" : "PUBLIC");
        if (_fields.busyStatus) Line("TRANSP:", *_fields.busyStatus == kBusyFree ? "TRANSPARENT" : "OPAQUE");
        if (_fields.importance) {
            const std::int32_t importance = *_fields.importance;
            Line("PRIORITY:", importance == kImportanceLow ? "7" : importance == kImportanceHigh ? "1" : "4");
        }
        if (_fields.sequence) Line("SEQUENCE:", std::to_string(*_fields.sequence));
    }
    void Categories() {
        if (!_fields.categories) return;
        std::string value;
        for (const std::string& keyword : *_fields.categories) {
            if (!value.empty()) value.append(",\r\n ");
            value.append(Escaped(keyword));
        }
        Line("CATEGORIES:", value);
    }
    void Organizer() {
        const std::string address = EscapedFolded(_fields.organizerAddress);
        if (address.empty()) return;
        std::string line = "ORGANIZER";
        if (!_fields.organizerName.empty()) line.append(";CN=").append(Quoted(_fields.organizerName));
        Line(line, ":MAILTO:" + address);
    }
    void Attendees() {
        for (const Attendee& a : _fields.attendees) {
            std::string line = "ATTENDEE";
            const std::uint32_t type = a.recipientType.value_or(0);
            if (type == 1 || type == 3) line.append(";ROLE=REQ-PARTICIPANT");
            if (type == 2) line.append(";ROLE=OPT-PARTICIPANT");
            if (!a.name.empty()) line.append(";CN=").append(Quoted(a.name));
            line.append(_fields.responseRequested ? ";RSVP=TRUE" : ";RSVP=FALSE");
            if (a.trackStatus == 4) line.append(";PARTSTAT=DECLINED");
            if (a.trackStatus == 3) line.append(";PARTSTAT=ACCEPTED");
            if (a.trackStatus == 2) line.append(";PARTSTAT=TENTATIVE");
            if (type == 3)
                line.append(";CUTYPE=RESOURCE");
            else if (a.isGroup)
                line.append(";CUTYPE=GROUP");
            Line(line, ":MAILTO:" + EscapedFolded(a.address));
        }
    }
    void Location() {
        const std::string text = Escaped(_fields.location);
        if (!text.empty()) Line("LOCATION:", text);
    }
    std::vector<ExceptionTimes> Recurrence() {
        if (!_fields.recurrence) return {};
        if (_fields.recurrence->empty()) {
            platform::log_diagnostic("Calendar event does not have recurrance pattern.");
            return {};
        }
        const RecurrencePattern pattern = ParseRecurrenceBlob(*_fields.recurrence);
        // A rule made of a damaged blob's first bytes would invent a series; the event stands alone instead.
        if (pattern.ruleTruncated) return {};
        // Without a stored start the series starts where the blob says, on the writer's clock.
        const time_value start = _fields.start.value_or(
            local_digits_to_instant(MinutesToTime(pattern.startDate + pattern.startTimeOffset), _context.zone));
        return WriteRecurrence(_out, pattern, {start, _fields.allDay}, *_context.dates, _context.zone);
    }
    void Alarm() {
        if (!_fields.reminderSet.value_or(false)) return;
        Line("BEGIN:VALARM", "");
        Line("X-WR-ALARMUID:", _context.newUuid());
        if (_fields.reminderDelta) {
            // A negative delta is a reminder after the start.
            const std::int64_t minutes = *_fields.reminderDelta;
            Line(minutes < 0 ? "TRIGGER:PT" : "TRIGGER:-PT", std::to_string(minutes < 0 ? -minutes : minutes) + "M");
        }
        Line("ACTION:DISPLAY", "");
        Line("DESCRIPTION:Reminder", "");
        Line("END:VALARM", "");
    }

private:
    std::string Utc(time_value t) const {
        std::string text;
        FormatICalDate(*_context.dates, t, text, nullptr, false);
        return text;
    }
    void Local(std::string_view name, time_value t) {
        std::string line(name);
        if (_fields.allDay) line.append(";VALUE=DATE");
        line.append(";TZID=\"").append(_context.zone.id()).append("\":");
        FormatICalDate(*_context.dates, t, line, &_context.zone, _fields.allDay);
        Line(line, "");
    }

    std::string& _out;
    const AppointmentFields& _fields;
    const WriterContext& _context;
};

std::string Utf8(std::u16string_view text) {
    std::string out;
    AppendEscapedProperty(out, text, false);
    return out;
}

}  // namespace

CalendarReference MakeCalendarReference(std::uint32_t refUID, std::uint32_t sequence, std::u16string_view location) {
    const std::string id = "CalRef ID #" + std::to_string(refUID) + "." + std::to_string(sequence);
    CalendarReference reference;
    for (const char c : id + " - ") reference.subjectPrefix.push_back(static_cast<char16_t>(c));
    reference.note =
        "\r\n NOTE: Addition information about this event is saved in " + Utf8(location) + " with subject " + id;
    return reference;
}

struct ICalWriter::State {
    AppointmentPropertyIds ids;
    std::int32_t defaultCodePage;
    WriterContext context;
    ReferenceMailWriter referenceMail;

    // Writes one VEVENT; the master (no exception times) also gets the recurrence lines and may write the
    // reference mail. Returns the modified occurrences of a master.
    std::vector<ExceptionTimes> WriteEvent(std::string& out, const AppointmentFields& fields, pstcore::message& message,
                                           OutputSink* reference, const CalendarReference* calendarReference,
                                           const ExceptionTimes* exception, bool& referenceWritten) {
        EventWriter event(out, fields, context);
        event.Line("BEGIN:VEVENT", "");
        event.Identity();
        event.Summary();
        event.Stamps();
        event.Times(exception);
        event.Classification();
        event.Categories();
        event.Organizer();
        event.Attendees();
        const bool needsReference =
            WriteDescription(out, message, defaultCodePage, calendarReference ? &calendarReference->note : nullptr);
        event.Location();
        std::vector<ExceptionTimes> exceptions = exception ? std::vector<ExceptionTimes>{} : event.Recurrence();
        event.Alarm();
        event.Line("END:VEVENT", "");
        if (needsReference && reference && referenceMail) {
            referenceMail(*reference, message, calendarReference ? calendarReference->subjectPrefix : u"");
            referenceWritten = true;
        }
        return exceptions;
    }
};

ICalWriter::ICalWriter(pstcore::pst& pst, std::int32_t defaultCodePage, WriterContext context,
                       ReferenceMailWriter referenceMail)
    : _state(std::make_unique<State>(
          State{ResolveAppointmentPropertyIds(pst), defaultCodePage, std::move(context), std::move(referenceMail)})) {}

ICalWriter::~ICalWriter() = default;

AppointmentEvents ICalWriter::WriteAppointment(pstcore::message& message, OutputSink* reference,
                                               const CalendarReference* calendarReference, bool merge, bool expand) {
    const AppointmentFields fields =
        ReadAppointmentFields(message, _state->ids, find_text_encoding(_state->defaultCodePage));
    AppointmentEvents events;
    events.texts.emplace_back();
    const std::vector<ExceptionTimes> exceptions = _state->WriteEvent(
        events.texts.front(), fields, message, reference, calendarReference, nullptr, events.referenceWritten);
    if (!expand) return events;
    for (const ExceptionTimes& times : exceptions) {
        if (!merge) events.texts.emplace_back();
        _state->WriteEvent(merge ? events.texts.front() : events.texts.back(), fields, message, nullptr,
                           calendarReference, &times, events.referenceWritten);
    }
    return events;
}

}  // namespace mailferry
