#pragma once
// compressed_rtf.h: decompression of compressed-RTF values (PidTagRtfCompressed): LZFu-compressed or stored
// ("MELA") RTF text. While decompressing it also finds the embedded pictures (see rtf_pictures.h), so the body
// writer can take them out. Pure function; throws compressed_rtf_error on a malformed value.

#include <cstddef>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "encoding/rtf_pictures.h"

namespace mailferry {

// Carries one of the fixed texts "Invalid compressed-RTF header", "compressed-RTF data size mismatch" and
// "compressed-RTF CRC32 failed".
class compressed_rtf_error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Replaces `text` with the RTF text of `value` and `pictures` with the pictures found in it.
// LZFu: the text has the header's raw size; an input that ends early leaves zero bytes at the end.
// MELA: the text is the bytes after the header, whatever the raw size says; no pictures are searched.
// Any other type: empty text and no pictures, without an error.
// Throws when the value is shorter than a header, when its size field is not its length minus 4 or (LZFu) its
// raw size is more than LZFu can expand to, and when the LZFu CRC does not match.
void DecompressRtf(std::span<const std::byte> value, std::string& text, std::vector<rtf_picture_info>& pictures);

}  // namespace mailferry
