#pragma once
// ical_calendar.h: the lines around a calendar file's events: "BEGIN:VCALENDAR", the version, the program's
// PRODID and the VTIMEZONE of the zone the events' local times are written in; then, after the events, the end
// line. The header ends without a line break, since every event line begins with one.
//
//   WriteCalendarHeader(file, context.zone);
//   for (const std::string& text : events.texts) file.Append(text);
//   WriteCalendarEnd(file);

#include "encoding/dates.h"
#include "writers/output_sink.h"

namespace mailferry {

// A zone the platform cannot describe gets no VTIMEZONE, and a diagnostic line.
void WriteCalendarHeader(OutputSink& out, const time_zone& zone);

void WriteCalendarEnd(OutputSink& out);

}  // namespace mailferry
