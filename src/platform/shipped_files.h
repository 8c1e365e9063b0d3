#pragma once
// shipped_files.h: files that come with the program (the settings' defaults, the archive package's parts, the
// desktop front end's images and guides). Installed, they lie in share/mailferry beside the bin folder that
// holds the program, wherever that tree was put (/usr, /usr/local, a staging folder); in a build folder the
// build copies them beside each executable. Both programs find them the same way.

#include <filesystem>
#include <string_view>

namespace mailferry::platform {

// `name` (a relative path such as "archive-package/Archive.xml") in the shipped files of the running executable;
// when the executable's folder cannot be found, `name` as it is.
std::filesystem::path shipped_file_path(std::string_view name);

}  // namespace mailferry::platform
