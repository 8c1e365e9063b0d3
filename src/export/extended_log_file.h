#pragma once
// extended_log_file.h: the detailed log file beside the output — the report's lines and more, as UTF-16
// little-endian text in which every piece written is preceded by its own byte-order mark (readers that expect
// one mark per file show the later ones as invisible characters). Writing is best effort: a log file that
// cannot be written is dropped with one diagnostic line and the run goes on. Not thread-safe.

#include <memory>
#include <string>
#include <string_view>

#include "export/output_file.h"

namespace mailferry {

namespace platform {
class file_system;
}

class ExtendedLogFile {
public:
    // Opens `path` for appending (created when absent); an empty path means no log file.
    void Open(platform::file_system& files, const std::string& path);
    // Appends a byte-order mark and the text; skipped when no file is open.
    void Write(std::u16string_view text);
    void Close();

private:
    void Drop();

    std::unique_ptr<OutputFile> _file;
    std::string _piece;
};

}  // namespace mailferry
