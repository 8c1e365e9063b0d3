#pragma once
// utf16_internal.h: UTF-16 to UTF-8 for the encoders of this module only (header text, escaped values).
// Other modules convert through the code-page routines.

#include <string>
#include <string_view>

namespace mailferry::detail {

// Appends the UTF-8 form of `text`. Returns false, appending nothing, when `text` holds an unpaired surrogate.
bool append_utf8(std::u16string_view text, std::string& out);

}  // namespace mailferry::detail
