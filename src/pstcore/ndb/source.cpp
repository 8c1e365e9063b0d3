#include "pstcore/ndb/source.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <utility>

namespace pstcore {

void source::read_at(std::uint64_t offset, std::span<std::byte> buffer) {
    const auto bytes = view(offset, buffer.size());
    if (!buffer.empty()) std::memcpy(buffer.data(), bytes.data(), buffer.size());
}

namespace {

void check_range(std::uint64_t offset, std::size_t size, std::uint64_t total) {
    if (offset > total || size > total - offset) throw std::out_of_range("fread failed");
}

class file_descriptor {
public:
    explicit file_descriptor(int fd) : m_fd(fd) {}
    file_descriptor(file_descriptor&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    file_descriptor& operator=(file_descriptor&&) = delete;
    ~file_descriptor() {
        if (m_fd >= 0) ::close(m_fd);
    }
    int get() const { return m_fd; }

private:
    int m_fd;
};

// Only a regular file can be a PST file, and the check comes before the open: opening a FIFO waits for a writer.
file_descriptor open_regular_file(const std::string& path, std::uint64_t& size) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) throw std::runtime_error("fopen failed");
    if (!S_ISREG(info.st_mode)) throw std::runtime_error("not a regular file");
    // Non-blocking and checked again once open, since the path may have been replaced in between.
    file_descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (fd.get() < 0 || ::fstat(fd.get(), &info) != 0) throw std::runtime_error("fopen failed");
    if (!S_ISREG(info.st_mode)) throw std::runtime_error("not a regular file");
    size = static_cast<std::uint64_t>(info.st_size);
    return fd;
}

// Positioned reads into a few reused buffers, one per stream of reads: a reader that goes on through the file
// (a long attachment, the index pages of a walk) is read ahead, more each time it keeps going, so that it costs few
// calls; scattered reads cost one call each, as before. Short gaps (the allocation maps between runs of blocks) do
// not break a stream.
class read_file_source final : public source {
public:
    explicit read_file_source(file_descriptor fd) : m_fd(std::move(fd)) { m_ends.fill(k_nowhere); }

    std::span<const std::byte> view(std::uint64_t offset, std::size_t size) override {
        if (offset > static_cast<std::uint64_t>(INT64_MAX) - size) throw std::out_of_range("fseek failed");
        const std::uint64_t end = offset + size;
        ++m_clock;
        for (stream& s : m_streams) {
            if (s.start == k_nowhere || offset < s.start) continue;
            if (end <= s.end) {
                s.used = m_clock;
                return std::span<const std::byte>(s.bytes).subspan(static_cast<std::size_t>(offset - s.start), size);
            }
            if (offset - s.end <= k_gap || offset < s.end) {
                s.run = std::clamp(2 * s.run, k_least_ahead, k_most_ahead);
                return fill(s, offset, size, std::max(s.run, size));
            }
        }
        const bool follows = std::find(m_ends.begin(), m_ends.end(), offset) != m_ends.end();
        m_ends[m_clock % m_ends.size()] = end;
        if (!follows) return fill(m_scratch, offset, size, size);
        stream& oldest = *std::min_element(m_streams.begin(), m_streams.end(),
                                           [](const stream& a, const stream& b) { return a.used < b.used; });
        oldest.run = k_least_ahead;
        return fill(oldest, offset, size, std::max(oldest.run, size));
    }

private:
    static constexpr std::uint64_t k_nowhere = UINT64_MAX;
    static constexpr std::size_t k_least_ahead = 16 * 1024;
    static constexpr std::size_t k_most_ahead = 1024 * 1024;
    static constexpr std::uint64_t k_gap = 8192;

    struct stream {
        std::vector<std::byte> bytes;  // the last read: [start, end)
        std::uint64_t start = k_nowhere;
        std::uint64_t end = k_nowhere;
        std::size_t run = 0;  // bytes read ahead last time
        std::uint64_t used = 0;
    };

    // Reads up to `wanted` bytes at `offset` into `s` (fewer only past `needed`, at the end of the file) and returns
    // the first `needed`.
    std::span<const std::byte> fill(stream& s, std::uint64_t offset, std::size_t needed, std::size_t wanted) {
        s.start = s.end = k_nowhere;
        if (s.bytes.size() < wanted) s.bytes.resize(wanted);
        std::size_t done = 0;
        while (done < needed) {
            const ssize_t got =
                ::pread(m_fd.get(), s.bytes.data() + done, wanted - done, static_cast<off_t>(offset + done));
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) throw std::out_of_range("fread failed");
            done += static_cast<std::size_t>(got);
        }
        s.start = offset;
        s.end = offset + done;
        s.used = m_clock;
        return std::span<const std::byte>(s.bytes).first(needed);
    }

    file_descriptor m_fd;
    std::array<stream, 4> m_streams;
    stream m_scratch;                     // for reads that follow no other
    std::array<std::uint64_t, 8> m_ends;  // where the last reads ended, to see the next one follow
    std::uint64_t m_clock = 0;
};

// Touched pages of a mapped file count as the process's memory, so a walk through a large file would seem to hold
// all of it. Only the stretches touched most recently stay mapped in; older ones go back to the kernel, which keeps
// them in its page cache, so touching one again costs page faults but no reading.
class resident_stretches {
public:
    resident_stretches(const std::byte* base, std::uint64_t size) : m_base(base), m_size(size) {}

    void touch(std::uint64_t offset, std::size_t size) {
        if (size == 0) return;
        const std::uint64_t last = (offset + size - 1) >> k_shift;
        for (std::uint64_t stretch = offset >> k_shift; stretch <= last; ++stretch) note(stretch);
    }

private:
    static constexpr unsigned k_shift = 20;  // 1 MB stretches
    static constexpr std::size_t k_kept = 16;

    // Moves `stretch` to the front of the most recent ones, releasing the oldest when it is new and all are taken.
    void note(std::uint64_t stretch) {
        if (m_count > 0 && m_recent[0] == stretch) return;
        std::uint64_t* const first = m_recent.data();
        std::uint64_t* end = first + m_count;
        std::uint64_t* found = std::find(first, end, stretch);
        if (found == end) {
            if (m_count == k_kept) {
                release(m_recent[--m_count]);
                --end;
            }
            *end = stretch;
            found = end;
            ++m_count;
        }
        std::rotate(first, found, found + 1);
    }

    void release(std::uint64_t stretch) const {
        const std::uint64_t start = stretch << k_shift;
        // Only advice: should it fail, the pages just stay resident.
        ::madvise(const_cast<std::byte*>(m_base) + start,
                  std::min<std::uint64_t>(std::uint64_t{1} << k_shift, m_size - start), MADV_DONTNEED);
    }

    const std::byte* m_base;
    std::uint64_t m_size;
    std::array<std::uint64_t, k_kept> m_recent{};
    std::size_t m_count = 0;
};

// The whole file mapped read-only. Every view is checked against the size the file had when it was opened; a file
// that another program cuts short while it is being converted is beyond what a reader can guard against.
class mapped_file_source final : public source {
public:
    mapped_file_source(const void* base, std::uint64_t size)
        : m_base(static_cast<const std::byte*>(base)), m_size(size), m_resident(m_base, size) {}
    ~mapped_file_source() override { ::munmap(const_cast<std::byte*>(m_base), m_size); }
    mapped_file_source(const mapped_file_source&) = delete;
    mapped_file_source& operator=(const mapped_file_source&) = delete;

    std::span<const std::byte> view(std::uint64_t offset, std::size_t size) override {
        check_range(offset, size, m_size);
        m_resident.touch(offset, size);
        return {m_base + offset, size};
    }

private:
    const std::byte* m_base;
    std::uint64_t m_size;
    resident_stretches m_resident;
};

class memory_source final : public source {
public:
    explicit memory_source(std::vector<std::byte> bytes) : m_bytes(std::move(bytes)) {}

    std::span<const std::byte> view(std::uint64_t offset, std::size_t size) override {
        check_range(offset, size, m_bytes.size());
        return std::span<const std::byte>(m_bytes).subspan(static_cast<std::size_t>(offset), size);
    }

private:
    std::vector<std::byte> m_bytes;
};

}  // namespace

std::unique_ptr<source> open_file_source(const std::string& path, file_access access) {
    std::uint64_t size = 0;
    file_descriptor fd = open_regular_file(path, size);
    if (access == file_access::map && size > 0 && size <= SIZE_MAX) {
        void* base = ::mmap(nullptr, static_cast<std::size_t>(size), PROT_READ, MAP_SHARED, fd.get(), 0);
        // The map keeps the file open by itself. Some file systems cannot map files; reads work everywhere.
        if (base != MAP_FAILED) return std::make_unique<mapped_file_source>(base, size);
    }
    return std::make_unique<read_file_source>(std::move(fd));
}

std::unique_ptr<source> make_memory_source(std::vector<std::byte> bytes) {
    return std::make_unique<memory_source>(std::move(bytes));
}

}  // namespace pstcore
