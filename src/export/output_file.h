#pragma once
// output_file.h: an output file of a conversion as the item writers see it — an OutputSink that buffers,
// appends at the end and can be cut back to the length it had before a failed item, so that a message streams
// straight into its mailbox and still leaves nothing behind when reading it fails halfway. A file that could
// not be opened fails at its first Append (OutputError); unwritten, it closes without complaint. Not thread-safe.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/file_system.h"
#include "writers/output_sink.h"

namespace mailferry {

class OutputFile final : public OutputSink {
public:
    // `file` null stands for a file that could not be opened.
    OutputFile(std::string path, std::unique_ptr<platform::writable_file> file);
    // Writes what is still held; a failure then is lost (call Close to learn of it).
    ~OutputFile() override;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Throws OutputError when the bytes cannot be written (or the file failed earlier, or is closed).
    void Append(std::string_view bytes) override;
    // Everything appended so far, held or written.
    std::uint64_t Length() const;
    // Forgets everything appended after the first `length` bytes; best effort, for cleaning up after a failure.
    void TruncateTo(std::uint64_t length) noexcept;
    // Writes what is held; throws OutputError when that fails.
    void Flush();
    // Writes what is held and closes the file; throws OutputError when that or an earlier write failed.
    void Close();

    bool Failed() const { return _failed; }
    const std::string& Path() const { return _path; }

private:
    void WriteHeld();

    std::string _path;
    std::unique_ptr<platform::writable_file> _file;
    std::string _held;
    bool _failed = false;  // a write failed
};

}  // namespace mailferry
