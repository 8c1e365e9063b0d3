#include "ltp_node.h"

namespace pstwrite {

nid_counter::nid_counter() {
    m_last.fill(0x400);
    m_last[0x03] = 0x4000;   // search folders
    m_last[0x04] = 0x10000;  // messages
    m_last[0x08] = 0x8000;   // associated messages
}

std::uint32_t nid_counter::next(std::uint32_t nid_type) {
    return make_nid(nid_type & 0x1F, ++m_last[nid_type & 0x1F]);
}

}  // namespace pstwrite
