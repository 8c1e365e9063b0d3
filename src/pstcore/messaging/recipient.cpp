#include "pstcore/messaging/recipient.h"

#include "pstcore/messaging/messaging_format.h"

namespace pstcore {

std::uint32_t get_recipient_type(const recipient& row) {
    return row.get_value_4(k_prop_recipient_type);
}

std::optional<std::u16string> get_smtp_address(const recipient& row) {
    if (!row.find_prop_type(k_prop_smtp_address)) return std::nullopt;
    return row.read_unistring(k_prop_smtp_address);
}

}  // namespace pstcore
