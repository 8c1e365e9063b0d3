#include "platform/shipped_files.h"

#include <system_error>

namespace mailferry::platform {

namespace {

// The installed layout wins when it is there: a build folder has no share/mailferry beside its executables.
std::filesystem::path shipped_folder(const std::filesystem::path& program_folder) {
    std::error_code ec;
    const auto installed = (program_folder / ".." / "share" / "mailferry").lexically_normal();
    if (std::filesystem::is_directory(installed, ec)) return installed;
    return program_folder;
}

}  // namespace

std::filesystem::path shipped_file_path(std::string_view name) {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return std::filesystem::path(name);
    return shipped_folder(exe.parent_path()) / name;
}

}  // namespace mailferry::platform
