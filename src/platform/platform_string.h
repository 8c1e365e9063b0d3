#pragma once
// platform_string.h: the front end's strings and the wide strings read from a PST. The platform string is UTF-16;
// wide strings hold one UTF-32 character per wchar_t. Characters above U+FFFF travel as surrogate pairs, so a
// folder or sender name with an emoji keeps it in output names. Values that are no character (lone surrogates,
// numbers past U+10FFFF) become U+FFFD in either direction.

#include <cstddef>
#include <string>
#include <string_view>

namespace mailferry::platform {

static_assert(sizeof(wchar_t) == 4, "wide strings must hold one UTF-32 character per wchar_t");

using platform_string = std::u16string;

// The wide string as UTF-16.
platform_string stringWithWString(std::wstring_view text);

// Writes the string as wide characters and a terminating L'\0' into `buffer`, whose size is `length` bytes.
// When it does not fit (or `buffer` is null) the diagnostic log receives "getCString failed.", the result is
// false and the buffer's content is unspecified.
bool convertToWCharBuffer(std::u16string_view text, wchar_t* buffer, std::size_t length);

}  // namespace mailferry::platform
