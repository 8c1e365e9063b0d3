#include "pstcore/tables/hnid_stream.h"

#include <algorithm>
#include <limits>

namespace pstcore {

hnid_stream_device::hnid_stream_device(heap h, heap_id id)
    : m_heap(std::move(h)), m_item(m_heap->item(id)), m_size(m_item.size()) {}

hnid_stream_device::hnid_stream_device(node n) : m_node(std::move(n)), m_size(m_node->size()) {}

std::streamsize hnid_stream_device::read(char* s, std::streamsize n) {
    if (n <= 0) return 0;
    if (m_pos >= m_size) return -1;
    const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(static_cast<std::uint64_t>(n), m_size - m_pos));
    std::span<std::byte> out(reinterpret_cast<std::byte*>(s), count);
    if (m_node) {
        const std::size_t got = m_node->read(out, m_pos);
        if (got == 0) return -1;
        m_pos += got;
        return static_cast<std::streamsize>(got);
    }
    std::copy_n(m_item.begin() + static_cast<std::ptrdiff_t>(m_pos), count, out.begin());
    m_pos += count;
    return static_cast<std::streamsize>(count);
}

std::streampos hnid_stream_device::seek(boost::iostreams::stream_offset off, std::ios_base::seekdir way) {
    boost::iostreams::stream_offset base = 0;
    if (way == std::ios_base::cur)
        base = static_cast<boost::iostreams::stream_offset>(m_pos);
    else if (way == std::ios_base::end)
        base = static_cast<boost::iostreams::stream_offset>(m_size);
    if ((off < 0 && off < -base) ||
        (off > 0 && off > std::numeric_limits<boost::iostreams::stream_offset>::max() - base))
        throw std::ios_base::failure("bad seek offset");
    m_pos = static_cast<std::uint64_t>(base + off);
    return boost::iostreams::offset_to_position(static_cast<boost::iostreams::stream_offset>(m_pos));
}

}  // namespace pstcore
