#pragma once
// ical_writer.h: one PST appointment as iCalendar events — the master VEVENT with its RRULE and EXDATE lines, one
// VEVENT for each modified occurrence, the alarm, organizer and attendees — and, when the appointment holds more
// than an event can (a body, real attachments), its calendar reference mail: the whole appointment as a mail,
// written by a mail writer with a numbered subject prefix that the event's DESCRIPTION names. Event texts start
// each line with CR LF and go between the calendar header and end of ical_calendar.h. One writer serves one
// appointment folder: the named properties are resolved once. Local times are written in the context's zone;
// UIDs come from its UUID source. Not thread-safe.
//
//   ICalWriter writer(pst, session.pstDefaultCodePage(), context, referenceMail);
//   const CalendarReference ref = MakeCalendarReference(refUID, sequence, u"Calendar References.mbox");
//   AppointmentEvents events = writer.WriteAppointment(message, &referenceSink, &ref, true, true);

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "writers/output_sink.h"
#include "writers/writer_context.h"

namespace pstcore {
class message;
class pst;
}  // namespace pstcore

namespace mailferry {

// How the exporter numbers one appointment's reference mail: the mail's subject prefix, and the note (UTF-8) that
// ends the event's DESCRIPTION and tells where the mail was saved.
struct CalendarReference {
    std::u16string subjectPrefix;
    std::string note;
};

// "CalRef ID #<refUID>.<sequence> - " and "\r\n NOTE: Addition information about this event is saved in
// <location> with subject CalRef ID #<refUID>.<sequence>".
CalendarReference MakeCalendarReference(std::uint32_t refUID, std::uint32_t sequence, std::u16string_view location);

// Writes the appointment as a whole mail into `out`, its subject after `subjectPrefix`.
using ReferenceMailWriter =
    std::function<void(OutputSink& out, pstcore::message& message, std::u16string_view subjectPrefix)>;

// The converter's reference mails: MIMEMailWriter, in its MBOX form with the "From - " line when `mboxForm`, else
// as EML. Its named "content-type" property is looked up in `pst` here.
ReferenceMailWriter MakeReferenceMailWriter(pstcore::pst& pst, bool mboxForm, bool unicodeStore,
                                            std::int32_t defaultCodePage, const WriterContext& context);

struct AppointmentEvents {
    std::vector<std::string> texts;  // the master's VEVENT first; merged, every VEVENT in the one text
    bool referenceWritten = false;   // a reference mail went to the reference sink
};

class ICalWriter {
public:
    // Resolves the appointment properties in `pst`; errors of a damaged name map pass. `defaultCodePage` decodes
    // 8-bit strings; `referenceMail` may be empty when no reference sink will ever be given.
    ICalWriter(pstcore::pst& pst, std::int32_t defaultCodePage, WriterContext context,
               ReferenceMailWriter referenceMail = {});
    ~ICalWriter();
    ICalWriter(const ICalWriter&) = delete;
    ICalWriter& operator=(const ICalWriter&) = delete;

    // The appointment's VEVENTs: the master, then with `expand` one per modified occurrence, all in one text when
    // `merge` is set. When the appointment needs a reference mail and `reference` is given, the mail is written
    // there with the prefix of `calendarReference` (which, when given, also adds its note to every DESCRIPTION).
    // Errors reading the appointment pass to the caller (the exporter counts the event as corrupt), as does
    // OutputError from `reference`.
    AppointmentEvents WriteAppointment(pstcore::message& message, OutputSink* reference,
                                       const CalendarReference* calendarReference, bool merge, bool expand);

private:
    struct State;
    std::unique_ptr<State> _state;
};

}  // namespace mailferry
