// Opens the input as a PST file and walks the whole store as the reader benchmark does: every folder, message,
// property, recipient, attachment and body. The header CRCs are recomputed first so that mutations get past them.
// Any exception is a clean refusal; a crash, hang or runaway allocation is a finding.

#include <cstddef>
#include <cstdint>
#include <exception>
#include <vector>

#include "encoding/code_page_table.h"
#include "fuzz_input.h"
#include "pstcore/messaging/pst.h"
#include "pstcore/ndb/database.h"
#include "store_walk.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto bytes = fuzzing::pst_bytes_with_valid_header_crcs(data, size);
    try {
        const auto db = pstcore::open_database(std::move(bytes));
        // A cache of a few pages, so that pages leaving it and coming back are fuzzed too, not only in huge files.
        db->set_page_cache_limit(4);
        pstcore::pst store(db);
        mailferry::bench::walk_store(store, mailferry::find_text_encoding(1252));
    } catch (const std::exception&) {
    }
    return 0;
}
