#pragma once
// rtf_compress.h: compressed-RTF values (PidTagRtfCompressed) made from RTF text: LZFu compression or the
// uncompressed MELA form, each with its 16-byte header; and small helpers that wrap plain text or HTML in RTF.

#include <cstdint>
#include <string>
#include <string_view>

#include "ltp_format.h"

namespace pstwrite {

// LZFu: the longest dictionary match (2..17 bytes) at each position, the oldest one on a tie; the header CRC is
// over the compressed contents.
bytes rtf_compress_lzfu(std::string_view rtf);
// MELA: the RTF stored as it is after the header (CRC 0).
bytes rtf_wrap_mela(std::string_view rtf);

// RTF that carries plain text (\fromtext) or HTML (\fromhtml1) the way Outlook encapsulates them. Text is Latin-1.
std::string rtf_from_text(std::string_view text);
std::string rtf_from_html(std::string_view html);

}  // namespace pstwrite
