#pragma once
// escaping.h: the text escaping of vCard and iCalendar values: a line break becomes "\n", and ",", ";" and "\"
// get a backslash before them. Long text is also folded: CR LF and a space after every 75 input bytes, moved to
// just before a character whose UTF-8 bytes straddle that place.
// Pure functions; output is appended to the caller's string.
//
//   AppendEscapedProperty(out, u"Room 1; floor 2", true);   // "Room 1\\; floor 2"

#include <string>
#include <string_view>

#include "encoding/byte_source.h"

namespace mailferry {

// The escapes of vCard and iCalendar values, with its state carried across calls: every line break (CR LF, a lone
// LF or a lone CR) becomes the two characters backslash and "n", also when CR and LF arrive in two calls; ",", ";"
// and the backslash get a backslash before them. With `fold`, CR LF and a space are written before an input
// character once 75 input bytes went since the last fold, never inside a UTF-8 sequence: a character straddling
// that place moves whole to the next line, since readers that decode before they unfold reject a split one.
class value_escaper {
public:
    explicit value_escaper(bool fold) : m_fold(fold) {}
    // Appends `text` (UTF-8) escaped, and folded when asked for.
    void append(std::string_view text, std::string& out);

private:
    void append_byte(char c, std::string& out);

    bool m_fold;
    std::size_t m_column = 0;
    bool m_after_cr = false;
};

// Appends a single property value (empty when the property is absent) as UTF-8, whole however long; with `escape`
// set, LF becomes "n" and CR a backslash (so CR LF becomes "\n"), and ",", ";"
// and "\" are preceded by a backslash. Not folded. Text with an unpaired surrogate appends nothing.
void AppendEscapedProperty(std::string& out, std::u16string_view value, bool escape);

// Appends a long text stream escaped and folded: chunks of 512 bytes, each converted to UTF-8 by `convert`
// (ConvertCodePage from the stream's encoding), with CR LF and a space before the output of an input character
// whenever 75 or more input bytes have been written since the last fold. Returns false, appending nothing, when the
// stream is empty or holds fewer than 9 bytes that are all NUL, CR or LF. Exceptions of `convert` pass to the caller.
bool WriteEscapedTextStream(byte_source& stream, const chunk_converter& convert, std::string& out);

// The same, converting from the stream's code page to UTF-8.
bool WriteEscapedTextStream(byte_source& stream, const TextEncodingItem* streamEncoding, std::string& out);

// Appends `text` (up to its first NUL) escaped and folded as above; the fold counter starts at 0.
void AppendEscapedText(std::string_view text, std::string& out);

}  // namespace mailferry
