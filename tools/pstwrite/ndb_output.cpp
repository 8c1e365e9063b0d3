#include "ndb_output.h"

#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace pstwrite {

namespace {

constexpr std::size_t file_buffer = 4 << 20;

class file_sink final : public output_sink {
public:
    explicit file_sink(const std::filesystem::path& path) : m_file(std::fopen(path.c_str(), "wb")) {
        if (!m_file) throw std::runtime_error("cannot create output file");
        m_buffer.reserve(file_buffer);
    }
    ~file_sink() override {
        if (m_file) std::fclose(m_file);
    }
    void append(std::span<const std::byte> bytes) override {
        if (m_buffer.size() + bytes.size() > file_buffer) flush();
        if (bytes.size() >= file_buffer)
            write_raw(bytes);
        else
            m_buffer.insert(m_buffer.end(), bytes.begin(), bytes.end());
        m_size += bytes.size();
    }
    void append_zeros(std::uint64_t count) override {
        static const std::byte zeros[4096] = {};
        while (count > 0) {
            const std::size_t n = count < sizeof zeros ? static_cast<std::size_t>(count) : sizeof zeros;
            append(std::span(zeros, n));
            count -= n;
        }
    }
    void patch(std::uint64_t offset, std::span<const std::byte> bytes) override {
        if (offset > m_size || bytes.size() > m_size - offset) throw std::out_of_range("patch past end of output");
        flush();
        if (fseeko(m_file, static_cast<off_t>(offset), SEEK_SET) != 0)
            throw std::runtime_error("cannot seek in output file");
        write_raw(bytes);
        if (fseeko(m_file, 0, SEEK_END) != 0) throw std::runtime_error("cannot seek in output file");
    }
    void close() override {
        flush();
        const int rc = std::fclose(m_file);
        m_file = nullptr;
        if (rc != 0) throw std::runtime_error("cannot write output file");
    }
    std::vector<std::byte> take_bytes() override { throw std::logic_error("file output holds no bytes"); }

private:
    void flush() {
        write_raw(m_buffer);
        m_buffer.clear();
    }
    void write_raw(std::span<const std::byte> bytes) {
        if (!m_file) throw std::logic_error("output file closed");
        if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), m_file) != bytes.size())
            throw std::runtime_error("cannot write output file");
    }
    std::FILE* m_file;
    std::vector<std::byte> m_buffer;
};

class memory_sink final : public output_sink {
public:
    void append(std::span<const std::byte> bytes) override {
        m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
        m_size += bytes.size();
    }
    void append_zeros(std::uint64_t count) override {
        m_bytes.resize(m_bytes.size() + count);
        m_size += count;
    }
    void patch(std::uint64_t offset, std::span<const std::byte> bytes) override {
        if (offset > m_size || bytes.size() > m_size - offset) throw std::out_of_range("patch past end of output");
        std::memcpy(m_bytes.data() + offset, bytes.data(), bytes.size());
    }
    void close() override {}
    std::vector<std::byte> take_bytes() override { return std::move(m_bytes); }

private:
    std::vector<std::byte> m_bytes;
};

}  // namespace

std::unique_ptr<output_sink> make_file_sink(const std::filesystem::path& path) {
    return std::make_unique<file_sink>(path);
}
std::unique_ptr<output_sink> make_memory_sink() {
    return std::make_unique<memory_sink>();
}

}  // namespace pstwrite
