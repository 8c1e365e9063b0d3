#pragma once
// path_text.h: file names are bytes on this system, written as UTF-8; the program's texts (folder names,
// subjects, report lines) are UTF-16. These convert between the two. A lone surrogate, or bytes that are no
// UTF-8, become U+FFFD, so every text gives a usable name and every path a printable line.

#include <string>
#include <string_view>

namespace mailferry::platform {

std::string path_of_text(std::u16string_view text);
std::u16string text_of_path(std::string_view path);

}  // namespace mailferry::platform
