#include "writers/ical_calendar.h"

#include <string>

#include "encoding/local_time.h"
#include "platform/diagnostic_log.h"

namespace mailferry {

namespace {

// Readers expand events from 1970 on; earlier rules would only lengthen every file.
constexpr time_value kZoneRulesFrom = 0;

}  // namespace

void WriteCalendarHeader(OutputSink& out, const time_zone& zone) {
    std::string header = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Mailferry//Mailferry " MF_VERSION "//EN";
    std::string rules;
    if (append_vtimezone(zone, kZoneRulesFrom, rules))
        header.append("\r\n").append(rules);
    else
        platform::log_diagnostic("Calendar time zone " + zone.id() + " can not be described.");
    out.Append(header);
}

void WriteCalendarEnd(OutputSink& out) {
    out.Append("\r\nEND:VCALENDAR\r\n");
}

}  // namespace mailferry
