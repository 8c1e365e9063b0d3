#include "encoding/byte_source.h"

#include <array>

#include <algorithm>
#include <cstring>

#include "encoding/text_conversion.h"

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

void append_all(byte_source& source, std::string& out) {
    std::array<char, 64 * 1024> buffer;
    for (;;) {
        const std::size_t got = source.read(buffer);
        if (got == 0) return;
        out.append(buffer.data(), std::min(got, buffer.size()));
    }
}

chunk_converter code_page_converter(const TextEncodingItem* from, const TextEncodingItem* to) {
    return [from, to](std::string_view chunk, std::string& out) {
        // Four bytes of output for each byte of input hold any conversion between the table's code pages.
        std::string converted(chunk.size() * 4, '\0');
        const std::size_t written =
            ConvertCodePage(chunk.data(), chunk.size(), from, converted.data(), converted.size(), to);
        out.append(converted.data(), std::min(written, converted.size()));
    };
}

}  // namespace mailferry
