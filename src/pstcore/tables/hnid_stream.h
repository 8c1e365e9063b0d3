#pragma once
// hnid_stream.h: a seekable input device over a property's value — a heap item, or a subnode's whole data
// stream — for Boost.Iostreams (wrap it in `prop_stream`). Copies of a device keep their own position and share
// the heap or node, which they keep alive. A read returns at most what remains and reports end of stream (-1) at
// the end; heap id 0 is an empty stream.

#include <cstdint>
#include <ios>
#include <optional>
#include <span>

#include <boost/iostreams/categories.hpp>
#include <boost/iostreams/positioning.hpp>
#include <boost/iostreams/stream.hpp>

#include "pstcore/ndb/node.h"
#include "pstcore/tables/heap.h"

namespace pstcore {

class hnid_stream_device {
public:
    using char_type = char;
    struct category : boost::iostreams::input_seekable, boost::iostreams::device_tag {};

    // Over item `id` of `h` (empty for id 0).
    hnid_stream_device(heap h, heap_id id);
    // Over the whole data stream of `n`.
    explicit hnid_stream_device(node n);

    std::streamsize read(char* s, std::streamsize n);
    // Throws std::ios_base::failure for a position before the start; a position past the end reads as the end.
    std::streampos seek(boost::iostreams::stream_offset off, std::ios_base::seekdir way);

    std::uint64_t size() const { return m_size; }

private:
    heap m_heap;                        // set for a heap item
    std::span<const std::byte> m_item;  // the heap item's bytes, owned by m_heap's node
    std::optional<node> m_node;         // set for a subnode stream
    std::uint64_t m_size = 0;
    std::uint64_t m_pos = 0;
};

using prop_stream = boost::iostreams::stream<hnid_stream_device>;

}  // namespace pstcore
