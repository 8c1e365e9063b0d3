#pragma once
// output_sink.h: where the item writers put their bytes. A writer only appends; it never opens, seeks or truncates.
// The exporters hand it their output file (which cuts a failed item back out), the command line and the tests a
// string or standard output, the benchmark and the fuzzers a sink that only counts. Not thread-safe.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace mailferry {

// A write that did not reach its destination (a full disk, a closed file). Fatal to a conversion run, unlike a
// damaged item: exporters let it pass their per-item catch.
class OutputError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class OutputSink {
public:
    virtual ~OutputSink() = default;
    // Appends the bytes; throws OutputError when they cannot be written.
    virtual void Append(std::string_view bytes) = 0;
};

// Appends to a string the caller owns and keeps alive.
class StringSink final : public OutputSink {
public:
    explicit StringSink(std::string& out) : _out(out) {}
    void Append(std::string_view bytes) override { _out.append(bytes); }

private:
    std::string& _out;
};

// Keeps nothing, counts the bytes.
class DiscardSink final : public OutputSink {
public:
    void Append(std::string_view bytes) override { _size += bytes.size(); }
    std::uint64_t Size() const { return _size; }

private:
    std::uint64_t _size = 0;
};

}  // namespace mailferry
