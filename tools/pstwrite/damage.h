#pragma once
// damage.h: variants of a good file with exactly one fault in its node database, for tests that check the
// reader fails cleanly. Where a fault aims past a checksum at a deeper check, the checksum is made right again.
// Which structure is hit is fixed per fault (see below), so a test knows what to read to meet the fault.

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

#include "pstwrite/ndb_writer.h"

namespace pstwrite {

enum class fault {
    header_crc_partial,  // dwCRCPartial wrong
    header_crc_full,     // dwCRCFull wrong (Unicode only)
    page_signature,      // NBT root page: wSig wrong, page CRC right
    block_signature,     // data block of the lowest node: wSig wrong, block CRC right
    page_type,           // NBT root page marked as a BBT page (both ptype bytes), CRC right
    truncated,           // file cut where the first B-tree page starts
    page_past_eof,       // header points the NBT root at the end of the file (header CRCs right)
    block_past_eof,      // BBT entry of the lowest node's data block points at the end of the file
    btree_loop,          // first entry of a branch root (NBT, else BBT) points back at the root itself
    cent_too_large,      // NBT root page: cEnt 255, more than the page holds
    xblock_lcb_total,    // last XBLOCK of the lowest node that has one (else of a subnode): lcbTotal one
                         // block too large
};

// Throws std::invalid_argument when the file lacks what the fault needs (a Unicode header, a branch page, an
// XBLOCK, a node) or when the layout does not fit the bytes.
std::vector<std::byte> damage(std::vector<std::byte> good, const layout& where, fault f);

// "header-crc-partial", "page-signature", ... (the enumerator with '-' for '_').
std::optional<fault> fault_from_name(std::string_view name);
std::vector<std::string_view> fault_names();

}  // namespace pstwrite
