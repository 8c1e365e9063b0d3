#pragma once
// header_text.h: header values (display names, subjects, file names, message ids) as plain text when they are
// ASCII, or else as one RFC 2047 "B" encoded word over the whole value, however long: readers take long words,
// and splitting would need to keep characters whole. Pure functions.
//
//   EncodeHeaderText(u"Anna", true, out);       // appends "\"Anna\"", returns true
//   EncodeHeaderText(u"Ren\u00e9", true, out);  // appends "=?utf-8?B?UmVuw6k=?=", returns false

#include <string>
#include <string_view>

namespace mailferry {

// Empty `text` empties `out` and returns true. Otherwise appends the UTF-8 text, between double quotes when
// `quote` is set (inner quotes are left as they are), and returns true; or, when the text holds a character
// outside ASCII, appends "=?utf-8?B?", its base64 and "?=" without quotes and returns false. Text that cannot be
// converted (an unpaired surrogate) logs "Conversion Error." and appends nothing, or two double quotes.
bool EncodeHeaderText(std::u16string_view text, bool quote, std::string& out);

// The same for text already encoded in `charset` (its MIME name, e.g. "iso-2022-jp"): bytes with the high bit
// set, or an escape byte, make it one encoded word labelled with that charset.
bool EncodeHeaderText(std::string_view bytes, std::string_view charset, bool quote, std::string& out);

}  // namespace mailferry
