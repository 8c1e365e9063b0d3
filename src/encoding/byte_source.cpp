#include "encoding/byte_source.h"

#include <algorithm>
#include <cstring>

namespace mailferry {

std::size_t memory_source::read(std::span<char> buffer) {
    std::size_t count = std::min(buffer.size(), m_bytes.size());
    if (m_piece != 0) count = std::min(count, m_piece);
    if (count != 0) std::memcpy(buffer.data(), m_bytes.data(), count);
    m_bytes.remove_prefix(count);
    return count;
}

std::size_t read_full(byte_source& source, std::span<char> buffer) {
    std::size_t filled = 0;
    while (filled < buffer.size()) {
        const std::size_t got = source.read(buffer.subspan(filled));
        if (got == 0) break;
        filled += std::min(got, buffer.size() - filled);
    }
    return filled;
}

}  // namespace mailferry
