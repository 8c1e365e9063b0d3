#pragma once
// store_walk.h: reads everything in a PST store that a conversion reads — every folder, every message with all
// its properties, recipients, attachment data and attached messages, and the bodies (compressed RTF
// decompressed) — and counts what it read. Shared by the reader benchmark and the whole-store fuzzer. Damaged
// folders and items are counted and skipped as the converter does; only one message's data is held at a time.
// Not thread-safe.

#include <cstdint>

#include "pstcore/messaging/pst.h"

namespace mailferry {
struct TextEncodingItem;
}

namespace mailferry::bench {

struct walk_counts {
    std::uint64_t folders = 0;
    std::uint64_t messages = 0;  // attached messages included
    std::uint64_t attachments = 0;
    std::uint64_t attachment_bytes = 0;
    std::uint64_t properties = 0;  // values read from bags and table rows
    std::uint64_t recipients = 0;
    std::uint64_t body_bytes = 0;  // plain, HTML and decompressed RTF
    std::uint64_t damaged_items = 0;
    std::uint64_t damaged_folders = 0;
};

// Reads one value of a bag or table row by the reader the converter uses for its type (streams read through).
// Throws what that reader throws.
void read_property(const pstcore::const_property_object& object, pstcore::prop_id id);

// Walks every folder below the root folder. `encoding` decodes 8-bit strings (null: none attached). Errors
// opening the store's root folder propagate; everything below is caught per folder and per item.
walk_counts walk_store(pstcore::pst& store, const mailferry::TextEncodingItem* encoding);

}  // namespace mailferry::bench
