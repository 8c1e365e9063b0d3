#pragma once
// file_system.h: the only door through which a conversion touches the disk. Everything it writes lies below one
// folder the user chose (the root). Paths below the root are walked one component at a time and never through a
// symbolic link, and files are opened with O_NOFOLLOW, so a link planted in the output (by another program or by
// an earlier run's odd names) cannot lead a write anywhere else; a path outside the root is refused. Output files
// are append-only handles that can be cut back to an earlier length. Failures come back as error codes: the
// caller decides whether a failed open is a log line or a failed write ends the run. Tests substitute a file
// system that fails on purpose. Not thread-safe.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>

namespace mailferry::platform {

// An open output file. Writes always go to its end. Closed when destroyed.
class writable_file {
public:
    virtual ~writable_file() = default;
    // Writes all of `bytes`; on failure some of them may have reached the file (size() tells how many).
    virtual std::error_code write(std::string_view bytes) = 0;
    // Cuts the file to `length` bytes (not longer than size()).
    virtual std::error_code truncate(std::uint64_t length) = 0;
    // The file's length: what it held when opened plus what was written since.
    virtual std::uint64_t size() const = 0;
};

class file_system {
public:
    virtual ~file_system() = default;

    // Opens a regular file for appending, creating it when absent; an existing file keeps its content.
    virtual std::unique_ptr<writable_file> open_append(const std::string& path, std::error_code& error) = 0;
    // Creates a new regular file; fails with std::errc::file_exists when any entry of that name exists.
    virtual std::unique_ptr<writable_file> create_exclusive(const std::string& path, std::error_code& error) = 0;
    // True when an entry of any kind (a dangling link included) has that name.
    virtual bool exists(const std::string& path) = 0;
    // Creates one folder; an existing folder is no error.
    virtual std::error_code create_directory(const std::string& path) = 0;
    // Creates the folder and any missing folders above it (below the root).
    virtual std::error_code create_directories(const std::string& path) = 0;
    // Renames a file; never replaces an existing entry (std::errc::file_exists).
    virtual std::error_code rename(const std::string& from, const std::string& to) = 0;
    // Removes a file (not a folder).
    virtual std::error_code remove(const std::string& path) = 0;
    // Copies a file from anywhere (a resource shipped with the program) to a new file below the root.
    virtual std::error_code copy_in(const std::string& source, const std::string& destination) = 0;
};

// The real file system below `root`, an absolute path. The root itself is opened as it is (a link the user chose
// is followed); when it cannot be opened every operation fails with that error.
std::unique_ptr<file_system> open_output_root(const std::string& root);

}  // namespace mailferry::platform
