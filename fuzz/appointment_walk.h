#pragma once
// appointment_walk.h: every appointment of a store through the calendar writer, into a sink that keeps nothing —
// what a calendar conversion does with each item. A damaged item ends with an exception, caught per item as the
// exporter does; a crash, hang or runaway allocation is a finding.

#include <exception>
#include <string>

#include "encoding/code_page_table.h"
#include "encoding/dates.h"
#include "platform/diagnostic_log.h"
#include "pstcore/messaging/folder_walk.h"
#include "pstcore/messaging/messaging_format.h"
#include "pstcore/messaging/pst.h"
#include "writers/ical_writer.h"

namespace fuzzing {

inline void write_every_appointment(pstcore::pst& store) {
    static mailferry::date_formatter dates;
    mailferry::platform::set_diagnostic_sink([](std::string_view) {});
    mailferry::WriterContext context{&dates, *mailferry::time_zone::named("Europe/Berlin"),
                                     [] { return std::string("00000000-0000-4000-8000-000000000000"); }};
    try {
        mailferry::ICalWriter writer(store, 1252, context);
        const mailferry::CalendarReference reference = mailferry::MakeCalendarReference(1, 2, u"References");
        pstcore::visit_folders(store.open_root_folder(), [&](pstcore::folder& folder, unsigned) {
            for (auto it = folder.message_begin(); it != folder.message_end(); ++it) {
                try {
                    pstcore::message message = *it;
                    message.get_property_bag().set_text_encoding(mailferry::find_text_encoding(1252));
                    if (!message.get_property_bag()
                             .read_unistring(pstcore::k_prop_message_class)
                             .starts_with(u"IPM.Appointment"))
                        continue;
                    mailferry::DiscardSink sink;
                    for (const std::string& text :
                         writer.WriteAppointment(message, nullptr, &reference, true, true).texts)
                        sink.Append(text);
                } catch (const std::exception&) {
                }
            }
        });
    } catch (const std::exception&) {
    }
}

}  // namespace fuzzing
