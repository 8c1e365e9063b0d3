// Decompresses the input as a compressed-RTF value and takes its pictures out, as the mail writer does for a
// body that exists only as RTF. A compressed_rtf_error is a clean refusal; a crash, hang or runaway allocation is
// a finding.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "encoding/compressed_rtf.h"
#include "encoding/rtf_pictures.h"
// Compressed RTF checks its data with the same CRC as the PST format.
#include "pstcore/ndb/crypt.h"

namespace {

void put32(std::vector<std::byte>& bytes, std::size_t at, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::byte>((value >> (8 * i)) & 0xFF);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::byte> value(reinterpret_cast<const std::byte*>(data),
                                 reinterpret_cast<const std::byte*>(data) + size);
    // Nearly every mutation would die at the size or CRC check; an odd first byte makes both right so the
    // fuzzer reaches the tokens and the picture search.
    if (size >= 16 && (data[0] & 1)) {
        put32(value, 0, static_cast<std::uint32_t>(size - 4));
        put32(value, 8, 0x75465A4C);
        put32(value, 12, pstcore::compute_crc(std::span(value).subspan(16)));
    }
    std::string text;
    std::vector<mailferry::rtf_picture_info> pictures;
    try {
        mailferry::DecompressRtf(value, text, pictures);
    } catch (const mailferry::compressed_rtf_error&) {
        return 0;
    }
    std::string out;
    std::vector<mailferry::rtf_image> images;
    mailferry::ReplacePictures(text, pictures, out, images);
    return 0;
}
