#pragma once
// store_write.h: writes every message of a PST store with the mail writer into sinks that only count, as the MBOX
// and EML exporters would. Shared by the writer benchmark and the whole-store fuzzer. A message that fails is
// counted and skipped, as the exporters do; only one message is written at a time. Not thread-safe.

#include <cstdint>

#include "pstcore/messaging/pst.h"

namespace mailferry::bench {

struct write_counts {
    std::uint64_t messages = 0;  // written whole (attached messages inside them not counted)
    std::uint64_t damaged = 0;   // messages and folders that failed
    std::uint64_t bytes = 0;     // of all the text written
};

// Writes each message of each folder as an MBOX entry when `mbox` is set, and as EML when `eml` is set. Errors
// opening the store's root folder propagate.
write_counts write_store(pstcore::pst& store, std::int32_t code_page, bool mbox, bool eml);

}  // namespace mailferry::bench
