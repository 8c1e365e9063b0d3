#pragma once
// recipient.h: a recipient is one row of the message's recipient table, read like a bag (const_table_row);
// it has no subnode. These helpers read the values that every caller needs with their absence rules. A row
// starts with no text encoding; attach one before reading 8-bit strings.

#include <cstdint>
#include <optional>
#include <string>

#include "pstcore/tables/table.h"

namespace pstcore {

using recipient = const_table_row;

// Property 0x0C15 (1 To, 2 Cc, 3 Bcc); key_not_found<prop_id> when the row has no value.
std::uint32_t get_recipient_type(const recipient& row);
// Property 0x39FE when the row has it (older files have no such column).
std::optional<std::u16string> get_smtp_address(const recipient& row);

}  // namespace pstcore
