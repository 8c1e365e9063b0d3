#pragma once
// shipped_files.h: files that come with the program (the settings' defaults, the archive package's parts) lie
// beside the executable; the build copies them there.

#include <filesystem>
#include <string_view>

namespace mailferry::platform {

// `name` (a relative path such as "archive-package/Archive.xml") in the folder of the running executable; when
// that folder cannot be found, `name` as it is.
std::filesystem::path shipped_file_path(std::string_view name);

}  // namespace mailferry::platform
