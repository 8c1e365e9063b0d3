#include "pstcore/ndb/source.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <stdexcept>

namespace pstcore {

namespace {

class file_source final : public source {
public:
    explicit file_source(const std::string& path) : m_file(std::fopen(path.c_str(), "rb")) {
        if (!m_file) throw std::runtime_error("fopen failed");
    }
    ~file_source() override { std::fclose(m_file); }
    file_source(const file_source&) = delete;
    file_source& operator=(const file_source&) = delete;

    void read_at(std::uint64_t offset, std::span<std::byte> buffer) override {
        // Positioned reads: one system call per block and no shared file position to keep in step.
        if (offset > static_cast<std::uint64_t>(INT64_MAX)) throw std::out_of_range("fseek failed");
        const int fd = fileno(m_file);
        std::size_t done = 0;
        while (done < buffer.size()) {
            const ssize_t got =
                ::pread(fd, buffer.data() + done, buffer.size() - done, static_cast<off_t>(offset + done));
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) throw std::out_of_range("fread failed");
            done += static_cast<std::size_t>(got);
        }
    }

private:
    std::FILE* m_file;
};

class memory_source final : public source {
public:
    explicit memory_source(std::vector<std::byte> bytes) : m_bytes(std::move(bytes)) {}

    void read_at(std::uint64_t offset, std::span<std::byte> buffer) override {
        if (offset > m_bytes.size() || buffer.size() > m_bytes.size() - offset) throw std::out_of_range("fread failed");
        std::copy_n(m_bytes.begin() + static_cast<std::ptrdiff_t>(offset), buffer.size(), buffer.begin());
    }

private:
    std::vector<std::byte> m_bytes;
};

}  // namespace

std::unique_ptr<source> open_file_source(const std::string& path) {
    return std::make_unique<file_source>(path);
}

std::unique_ptr<source> make_memory_source(std::vector<std::byte> bytes) {
    return std::make_unique<memory_source>(std::move(bytes));
}

}  // namespace pstcore
