#pragma once
// output_naming.h: how folder names and subjects become file names, and how a new name is found beside
// existing ones. A name made here never holds "/" or a control character and, as a path component, is never
// empty, "." or "..", so no PST content can reach outside its output folder or onto a folder's own name.
//
//   SafeName(u"a/b: c");                 // u"a∕b- c" (U+2215 for the slash)
//   SafeName(u"..");                     // u"_.."
//   UniquePath(files, "/out", "Mails");  // "/out/Mails (2)" when Mails and Mails (1) exist

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

namespace mailferry {

namespace platform {
class file_system;
}

// A text of 65 UTF-16 code units or more keeps its first 60 (59 when the 60th would split a surrogate pair)
// and gets "..."; then ":" becomes "-", "/" becomes U+2215, and NUL, the other C0 controls and DEL become "_".
std::u16string SafeText(std::u16string_view text);
// SafeText for a whole path component: an empty, "." or ".." result gets "_" in front.
std::u16string SafeName(std::u16string_view text);

// `folder` + "/" + `name`.
std::string JoinPath(std::string_view folder, std::string_view name);

// folder/base[.extension], or the first of "base (1)", "base (2)", ... (extension after the number) that no
// entry has. Nothing is created.
std::string UniquePath(platform::file_system& files, const std::string& folder, std::string_view base,
                       std::string_view extension = {});

// -1 when no entry has the name `path`; otherwise the smallest n from 1 for which "path (n)" is free.
std::int32_t CollisionSuffix(platform::file_system& files, const std::string& path);
// `path`, or "path (n)" for a suffix n other than -1.
std::string WithSuffix(std::string_view path, std::int32_t suffix);

// A new "Detailed Log Report <time>.txt" in `folder`, the time being `now` in local time as "03.25 PM-05 Dec 2026".
std::string ExtendedLogFileName(platform::file_system& files, const std::string& folder, std::time_t now);

}  // namespace mailferry
