#include "store_write.h"

#include <exception>

#include "encoding/code_page_table.h"
#include "encoding/dates.h"
#include "pstcore/messaging/folder_walk.h"
#include "pstcore/messaging/message.h"
#include "writers/mime_mail_writer.h"

namespace mailferry::bench {

write_counts write_store(pstcore::pst& store, std::int32_t code_page, bool mbox, bool eml) {
    date_formatter dates;
    const bool unicode = store.get_db()->is_unicode();
    MIMEMailWriter mboxWriter(true, true, unicode, code_page, WriterContext{.dates = &dates, .zone = time_zone::gmt()});
    MIMEMailWriter emlWriter(false, false, unicode, code_page,
                             WriterContext{.dates = &dates, .zone = time_zone::gmt()});
    mboxWriter.LookUpContentTypeProperty(store);
    emlWriter.LookUpContentTypeProperty(store);
    store.get_property_bag().set_text_encoding(find_text_encoding(code_page));
    DiscardSink sink;
    write_counts counts;
    auto write = [&](pstcore::message& message) {
        try {
            if (mbox) mboxWriter.Write(sink, &message);
            if (eml) emlWriter.Write(sink, &message);
            ++counts.messages;
        } catch (const OutputError&) {
            throw;
        } catch (const std::exception&) {
            ++counts.damaged;
        }
    };
    try {
        pstcore::visit_folders(store.open_root_folder(), [&](pstcore::folder& folder, unsigned) {
            try {
                for (auto it = folder.message_begin(), end = folder.message_end(); it != end; ++it) {
                    try {
                        pstcore::message message = *it;
                        write(message);
                    } catch (const std::exception&) {
                        ++counts.damaged;  // a row whose message cannot be opened
                    }
                }
            } catch (const OutputError&) {
                throw;
            } catch (const std::exception&) {
                ++counts.damaged;
            }
        });
    } catch (const OutputError&) {
        throw;
    } catch (const std::exception&) {
        // A hierarchy table that cannot be read ends the walk below it; what was written stays counted.
        ++counts.damaged;
    }
    counts.bytes = sink.Size();
    return counts;
}

}  // namespace mailferry::bench
