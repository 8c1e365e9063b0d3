#pragma once
// source.h: where the database's bytes come from. The file source reads a PST file opened read-only; the
// memory source serves tests and fuzzing. Reads are absolute (offset from the start) and all-or-nothing.
// A source is used by one thread at a time.

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
    // Fills `buffer` from `offset`; throws std::out_of_range "fread failed" when fewer bytes are there.
    virtual void read_at(std::uint64_t offset, std::span<std::byte> buffer) = 0;
};

// Opens `path` for reading only; throws std::runtime_error "fopen failed".
std::unique_ptr<source> open_file_source(const std::string& path);

std::unique_ptr<source> make_memory_source(std::vector<std::byte> bytes);

}  // namespace pstcore
