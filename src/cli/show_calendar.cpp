#include <optional>
#include <string>

#include "cli/show_kinds.h"
#include "encoding/dates.h"
#include "session/pst_session.h"
#include "writers/ical_calendar.h"
#include "writers/ical_writer.h"

namespace mailferry {

namespace {

// A stream as an output sink, for printing.
class StreamSink final : public OutputSink {
public:
    explicit StreamSink(std::ostream& out) : _out(out) {}
    void Append(std::string_view bytes) override {
        _out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!_out) throw OutputError("standard output cannot be written");
    }

private:
    std::ostream& _out;
};

// Shown alone, the appointment is numbered after its node, and its note names the folder of the Apple target.
CalendarReference ShownReference(std::uint32_t nid) {
    return MakeCalendarReference(0, nid, u"[Imported Mails]/Calendar References.mbox");
}

}  // namespace

int ShowAppointment(const ShowOptions& options, PSTSession& session, pstcore::message& message, std::ostream& out,
                    std::ostream& err) {
    WriterContext context;
    context.dates = &session.DateFormatter();
    if (options.timeZone) {
        std::optional<time_zone> zone = time_zone::named(*options.timeZone);
        if (!zone) {
            err << "mailferry show: unknown time zone " << *options.timeZone << "\n";
            return 64;
        }
        context.zone = std::move(*zone);
    } else {
        context.zone = session.SystemTimeZone();
    }
    const CalendarReference reference = ShownReference(options.nid);
    StreamSink sink(out);
    if (options.reference) {
        // The events are written as the exporter would, so that the mail is decided and numbered the same way.
        ICalWriter writer(session.pstSession(), session.pstDefaultCodePage(), context,
                          MakeReferenceMailWriter(session.pstSession(), options.mbox, session.isUnicodePST(),
                                                  session.pstDefaultCodePage(), context));
        if (!writer.WriteAppointment(message, &sink, &reference, true, true).referenceWritten)
            err << "mailferry show: the appointment has no body or attachments, so no reference mail\n";
        return 0;
    }
    ICalWriter writer(session.pstSession(), session.pstDefaultCodePage(), context);
    const AppointmentEvents events = writer.WriteAppointment(message, nullptr, &reference, true, true);
    WriteCalendarHeader(sink, context.zone);
    for (const std::string& text : events.texts) sink.Append(text);
    WriteCalendarEnd(sink);
    return 0;
}

}  // namespace mailferry
