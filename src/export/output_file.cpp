#include "export/output_file.h"

#include <utility>

namespace mailferry {

namespace {
// Large enough that a mailbox is written in few system calls, small enough that memory stays flat.
constexpr std::size_t kHeldBytes = 256 * 1024;
constexpr const char* kWriteFailed = "output file cannot be written";
}  // namespace

OutputFile::OutputFile(std::string path, std::unique_ptr<platform::writable_file> file)
    : _path(std::move(path)), _file(std::move(file)) {}

OutputFile::~OutputFile() {
    try {
        Close();
    } catch (const OutputError&) {
    }
}

void OutputFile::Append(std::string_view bytes) {
    if (_failed || !_file) {
        _failed = true;
        throw OutputError(kWriteFailed);
    }
    if (_held.size() + bytes.size() <= kHeldBytes) {
        if (_held.capacity() < kHeldBytes) _held.reserve(kHeldBytes);
        _held.append(bytes);
        return;
    }
    WriteHeld();
    if (bytes.size() < kHeldBytes) {
        _held.append(bytes);
        return;
    }
    if (_file->write(bytes)) {
        _failed = true;
        throw OutputError(kWriteFailed);
    }
}

void OutputFile::WriteHeld() {
    if (_held.empty()) return;
    const std::error_code error = _file->write(_held);
    _held.clear();
    if (error) {
        _failed = true;
        throw OutputError(kWriteFailed);
    }
}

void OutputFile::Flush() {
    if (_failed || !_file) {
        if (_failed || !_held.empty()) throw OutputError(kWriteFailed);
        return;
    }
    WriteHeld();
}

std::uint64_t OutputFile::Length() const {
    return (_file ? _file->size() : 0) + _held.size();
}

void OutputFile::TruncateTo(std::uint64_t length) noexcept {
    if (!_file) return;
    const std::uint64_t written = _file->size();
    if (length >= written) {
        if (length - written < _held.size()) _held.resize(static_cast<std::size_t>(length - written));
        return;
    }
    _held.clear();
    (void)_file->truncate(length);
}

void OutputFile::Close() {
    if (!_file) {
        if (_failed) throw OutputError(kWriteFailed);
        return;
    }
    if (!_failed) WriteHeld();
    _file.reset();
    if (_failed) throw OutputError(kWriteFailed);
}

}  // namespace mailferry
