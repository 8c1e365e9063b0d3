// Opens the input as a PST file and walks the whole store as the reader benchmark does: every folder, message,
// property, recipient, attachment and body; then writes every message as EML and as MBOX text into a sink that
// only counts, as a conversion would, every contact as a vCard and every appointment as a calendar. Each stage
// runs even when an earlier one refused the store. The header CRCs are recomputed first so that mutations get
// past them.
// Any exception is a clean refusal; a crash, hang or runaway allocation is a finding.

#include <cstddef>
#include <cstdint>
#include <exception>
#include <vector>

#include "appointment_walk.h"
#include "contact_writes.h"
#include "encoding/code_page_table.h"
#include "fuzz_input.h"
#include "pstcore/messaging/pst.h"
#include "pstcore/ndb/database.h"
#include "store_walk.h"
#include "store_write.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto bytes = fuzzing::pst_bytes_with_valid_header_crcs(data, size);
    try {
        const auto db = pstcore::open_database(std::move(bytes));
        // A cache of a few pages, so that pages leaving it and coming back are fuzzed too, not only in huge files.
        db->set_page_cache_limit(4);
        pstcore::pst store(db);
        try {
            mailferry::bench::walk_store(store, mailferry::find_text_encoding(1252));
        } catch (const std::exception&) {
        }
        try {
            mailferry::bench::write_store(store, 1252, true, true);
        } catch (const std::exception&) {
        }
        fuzzing::write_every_contact(store);
        fuzzing::write_every_appointment(store);
    } catch (const std::exception&) {
    }
    return 0;
}
