#pragma once
// contact_writes.h: every contact of a store written as a vCard in each target into a sink that keeps nothing, for
// the whole-store fuzzer. A damaged contact may throw; only a crash, hang or runaway allocation is a finding.

#include <exception>
#include <string>

#include "encoding/code_page_table.h"
#include "pstcore/messaging/folder_walk.h"
#include "pstcore/messaging/pst.h"
#include "writers/output_sink.h"
#include "writers/vcard_writer.h"

namespace fuzzing {

inline void write_every_contact(pstcore::pst& store) {
    static mailferry::date_formatter dates;
    const bool unicode = store.get_db()->header_version() > 19;
    mailferry::WriterContext context{.dates = &dates, .zone = mailferry::time_zone::gmt(), .newUuid = [] {
                                         return std::string("00000000-0000-4000-8000-000000000000");
                                     }};
    mailferry::VCardWriter plain(mailferry::VCardTarget::Plain, 1252, unicode, context);
    mailferry::VCardWriter apple(mailferry::VCardTarget::Apple, 1252, unicode, context);
    mailferry::VCardWriter archive(mailferry::VCardTarget::Archive, 1252, unicode, context);
    for (auto* writer : {&plain, &apple, &archive}) writer->LookUpNamedProperties(store);
    mailferry::DiscardSink sink;
    pstcore::visit_folders(store.open_root_folder(), [&](pstcore::folder& folder, unsigned) {
        for (auto it = folder.message_begin(); it != folder.message_end(); ++it) {
            try {
                pstcore::message contact = *it;
                auto& bag = contact.get_property_bag();
                bag.set_text_encoding(mailferry::find_text_encoding(1252));
                if (!bag.prop_exists(0x001A) || !bag.read_unistring(0x001A).starts_with(u"IPM.Contact")) continue;
                for (auto* writer : {&plain, &apple, &archive}) writer->WriteContact(sink, contact);
            } catch (const std::exception&) {
            }
        }
    });
}

}  // namespace fuzzing
