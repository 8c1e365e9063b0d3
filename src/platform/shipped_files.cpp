#include "platform/shipped_files.h"

#include <system_error>

namespace mailferry::platform {

std::filesystem::path shipped_file_path(std::string_view name) {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return std::filesystem::path(name);
    return exe.parent_path() / name;
}

}  // namespace mailferry::platform
