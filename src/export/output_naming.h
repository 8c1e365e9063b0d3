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
#include <optional>
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

// The name of the run-shared file or folder `base` + `extension` in `folder` (extension with its dot, or empty):
// the first call of a run (`suffix` -1) takes that name, or "base (n)extension" with the first n from 1 that no
// entry has, and keeps the choice in `suffix` (0 for the plain name); later calls of the run get the same name.
std::string RunSharedPath(platform::file_system& files, const std::string& folder, std::string_view base,
                          std::string_view extension, std::int32_t& suffix);

// The Outlook archive's name of item file number `sequence`: `prefix` and eight characters "00000000" whose
// last ones are overwritten by the number's decimal digits, each as a letter from 'A' (0) to 'J' (9) — 12 gives
// "...000000BC". Nothing for a number of more than eight digits (or a negative one).
std::optional<std::string> ArchiveSequenceName(std::string_view prefix, std::int64_t sequence);

// A new "Detailed Log Report <time>.txt" in `folder`, the time being `now` in local time as "03.25 PM-05 Dec 2026".
std::string ExtendedLogFileName(platform::file_system& files, const std::string& folder, std::time_t now);

}  // namespace mailferry
