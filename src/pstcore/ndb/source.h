#pragma once
// source.h: where the database's bytes come from. The file source maps a PST file read-only (or reads it with
// positioned reads when it cannot be mapped); the memory source serves tests and fuzzing. Access is absolute
// (offset from the start) and all-or-nothing; the file is never written. A source is used by one thread at a time.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace pstcore {

class source {
public:
    virtual ~source() = default;
    // The `size` bytes at `offset`: a view of the mapped file or of memory, or a buffer of the source's own filled
    // by a read. Valid until the next call on this source. Throws std::out_of_range "fread failed" when fewer
    // bytes are there.
    virtual std::span<const std::byte> view(std::uint64_t offset, std::size_t size) = 0;

    // Fills `buffer` from `offset`, with the same checks.
    void read_at(std::uint64_t offset, std::span<std::byte> buffer);
};

enum class file_access {
    read,  // positioned reads into reused buffers, reading ahead while the reader goes straight on
    map,   // a read-only memory map, or positioned reads when the file cannot be mapped
};

// Opens `path` for reading only. Throws std::runtime_error "not a regular file" for a folder, a FIFO, a device
// and the like, before anything is opened (opening a FIFO would wait for a writer), and "fopen failed" when the
// file cannot be opened.
std::unique_ptr<source> open_file_source(const std::string& path, file_access access = file_access::read);

std::unique_ptr<source> make_memory_source(std::vector<std::byte> bytes);

}  // namespace pstcore
