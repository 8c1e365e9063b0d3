#pragma once
// ndb_output.h: where the writer's bytes go. Bytes are appended in file order through a large buffer; the few
// places written last (allocation maps, header) are patched over bytes already appended. Not thread-safe.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <vector>

namespace pstwrite {

class output_sink {
public:
    virtual ~output_sink() = default;
    virtual void append(std::span<const std::byte> bytes) = 0;
    virtual void append_zeros(std::uint64_t count) = 0;
    // Overwrites bytes already appended; throws std::out_of_range past the end.
    virtual void patch(std::uint64_t offset, std::span<const std::byte> bytes) = 0;
    virtual void close() = 0;                         // flushes; throws std::runtime_error on a write failure
    virtual std::vector<std::byte> take_bytes() = 0;  // memory sinks only
    std::uint64_t size() const { return m_size; }

protected:
    std::uint64_t m_size = 0;
};

std::unique_ptr<output_sink> make_file_sink(const std::filesystem::path& path);
std::unique_ptr<output_sink> make_memory_sink();

}  // namespace pstwrite
