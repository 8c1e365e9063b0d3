#pragma once
// escaping.h: the text escaping of vCard and iCalendar values: a line break becomes "\n", and ",", ";" and "\"
// get a backslash before them. Long iCalendar text is also folded: CR LF and a space after every 75 input bytes.
// Pure functions; output is appended to the caller's string.
//
//   AppendEscapedProperty(out, u"Room 1; floor 2", true);   // "Room 1\\; floor 2"

#include <string>
#include <string_view>

#include "encoding/byte_source.h"

namespace mailferry {

// Appends a single property value (empty when the property is absent) as UTF-8, cut to at most 1032 bytes at a
// character boundary; with `escape` set, LF becomes "n" and CR a backslash (so CR LF becomes "\n"), and ",", ";"
// and "\" are preceded by a backslash. Not folded. Text with an unpaired surrogate appends nothing.
void AppendEscapedProperty(std::string& out, std::u16string_view value, bool escape);

// Appends a long text stream escaped and folded: chunks of 512 bytes, each converted to UTF-8 by `convert`
// (ConvertCodePage from the stream's encoding), with CR LF and a space before the output of an input byte whenever
// 75 input bytes have been written since the last fold. Returns false, appending nothing, when the stream is empty
// or holds fewer than 9 bytes that are all NUL, CR or LF. Exceptions of `convert` pass to the caller.
bool WriteEscapedTextStream(byte_source& stream, const chunk_converter& convert, std::string& out);

// The same, converting from the stream's code page to UTF-8.
bool WriteEscapedTextStream(byte_source& stream, const TextEncodingItem* streamEncoding, std::string& out);

// Appends `text` (up to its first NUL) escaped and folded as above; the fold counter starts at 0.
void AppendEscapedText(std::string_view text, std::string& out);

}  // namespace mailferry
