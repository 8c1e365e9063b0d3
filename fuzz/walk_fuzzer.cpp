// Opens the input as a PST file and walks the whole store as the reader benchmark does: every folder, message,
// property, recipient, attachment and body. The header CRCs are recomputed first so that mutations get past them.
// Any exception is a clean refusal; a crash, hang or runaway allocation is a finding.

#include <cstddef>
#include <cstdint>
#include <exception>
#include <vector>

#include "encoding/code_page_table.h"
#include "pstcore/messaging/pst.h"
#include "pstcore/ndb/crypt.h"
#include "pstcore/ndb/database.h"
#include "store_walk.h"

namespace {

// As in ndb_fuzzer.cpp: the partial CRC covers bytes 8..479, the full one (Unicode) bytes 8..524.
void fix_header_crcs(std::vector<std::byte>& bytes) {
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::byte>(v >> (8 * i));
    };
    if (bytes.size() >= 512) put32(4, pstcore::compute_crc(std::span(bytes).subspan(8, 471)));
    if (bytes.size() >= 568) put32(524, pstcore::compute_crc(std::span(bytes).subspan(8, 516)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::byte> bytes(reinterpret_cast<const std::byte*>(data),
                                 reinterpret_cast<const std::byte*>(data) + size);
    fix_header_crcs(bytes);
    try {
        pstcore::pst store(pstcore::open_database(std::move(bytes)));
        mailferry::bench::walk_store(store, mailferry::find_text_encoding(1252));
    } catch (const std::exception&) {
    }
    return 0;
}
