#pragma once
// rtf_to_html.h: turns RTF text into an HTML document for mail bodies that exist only as RTF.

#include <string>
#include <string_view>

namespace mailferry {
// Converts an RTF document to a complete UTF-8 HTML document. Recovers the original HTML of
// encapsulated-HTML RTF. Never throws on malformed RTF: returns false, or true with the best document it could make.
bool ConvertRtfToHtml(std::string_view rtf, std::string& html);
}  // namespace mailferry
