#include "export/extended_log_file.h"

#include "platform/diagnostic_log.h"
#include "platform/file_system.h"

namespace mailferry {

void ExtendedLogFile::Open(platform::file_system& files, const std::string& path) {
    _file.reset();
    if (path.empty()) return;
    std::error_code error;
    auto file = files.open_append(path, error);
    if (!file) {
        platform::log_diagnostic("Log file cannot be opened: " + path);
        return;
    }
    _file = std::make_unique<OutputFile>(path, std::move(file));
}

void ExtendedLogFile::Write(std::u16string_view text) {
    if (!_file) return;
    _piece.assign("\xFF\xFE");
    for (const char16_t unit : text) {
        _piece.push_back(static_cast<char>(unit & 0xFF));
        _piece.push_back(static_cast<char>(unit >> 8));
    }
    try {
        _file->Append(_piece);
    } catch (const OutputError&) {
        Drop();
    }
}

void ExtendedLogFile::Close() {
    if (!_file) return;
    try {
        _file->Close();
    } catch (const OutputError&) {
        Drop();
    }
    _file.reset();
}

void ExtendedLogFile::Drop() {
    platform::log_diagnostic("Log file cannot be written: " + _file->Path());
    _file.reset();
}

}  // namespace mailferry
