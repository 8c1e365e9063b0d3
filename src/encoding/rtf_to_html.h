#pragma once
// rtf_to_html.h: turns an RTF document into a complete UTF-8 HTML document, the way a mail client shows it.
// RTF that encapsulates HTML (\fromhtml1, as Outlook stores most HTML mail) gives back the original HTML, re-encoded
// to UTF-8; any other RTF (encapsulated text included) becomes a simple HTML document of its text and formatting.
// Stateless and thread-safe; never throws on malformed input.

#include <string>
#include <string_view>

namespace mailferry {

// Converts an RTF document to a complete UTF-8 HTML document. Recovers the original HTML of
// encapsulated-HTML RTF. Never throws on malformed RTF: returns false, or true with the best document it could make.
// Returns false (and leaves `html` unchanged) when `rtf` does not begin with "{\rtf"; on true, `html` is replaced.
bool ConvertRtfToHtml(std::string_view rtf, std::string& html);

}  // namespace mailferry
