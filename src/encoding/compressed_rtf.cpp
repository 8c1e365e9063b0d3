#include "encoding/compressed_rtf.h"

#include <array>
#include <cstring>

#include "encoding/compressed_rtf_format.h"

namespace mailferry {

namespace format = compressed_rtf_format;

namespace {

std::uint32_t read_u32(std::span<const std::byte> bytes, std::size_t offset) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i)
        value |= static_cast<std::uint32_t>(std::to_integer<unsigned>(bytes[offset + i])) << (8 * i);
    return value;
}

// The reflected CRC-32 table, but started at 0 and not inverted at the end, as compressed RTF has it.
std::uint32_t rtf_crc(std::span<const std::byte> bytes) {
    static const auto table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    std::uint32_t crc = 0;
    for (const std::byte b : bytes) crc = table[(crc ^ std::to_integer<unsigned>(b)) & 0xFF] ^ (crc >> 8);
    return crc;
}

// The output buffer doubles as the dictionary: a reference reads the 4096 bytes before the write position,
// which start out as the initial dictionary.
void decompress_lzfu(std::span<const std::byte> value, std::uint32_t raw_size, std::string& text,
                     rtf_picture_detector& detector) {
    const std::size_t dictionary = format::initial_dictionary.size();
    std::string out(dictionary + raw_size, '\0');
    std::memcpy(out.data(), format::initial_dictionary.data(), dictionary);
    const std::size_t end = out.size();
    std::size_t write = dictionary;
    std::size_t read = format::header_size;
    const auto put = [&](char byte) {
        out[write] = byte;
        detector.feed(static_cast<unsigned char>(byte), write - dictionary);
        ++write;
    };
    while (write < end && read < value.size()) {
        const unsigned control = std::to_integer<unsigned>(value[read++]);
        for (unsigned bit = 0; bit < 8 && write < end && read < value.size(); ++bit) {
            if ((control & (1u << bit)) == 0) {
                put(static_cast<char>(value[read++]));
                continue;
            }
            if (value.size() - read < 2) {
                read = value.size();
                break;
            }
            const unsigned reference =
                (std::to_integer<unsigned>(value[read]) << 8) | std::to_integer<unsigned>(value[read + 1]);
            read += 2;
            const std::size_t offset = reference >> 4;
            const std::size_t length = (reference & 0x0F) + 2;
            std::size_t source = (write & ~(format::window_size - 1)) | offset;
            if (source >= write) {
                if (source < format::window_size) continue;  // would lie before the start of the output
                source -= format::window_size;
            }
            for (std::size_t k = 0; k < length && write < end; ++k) put(out[source++]);
        }
    }
    out.erase(0, dictionary);
    text = std::move(out);
}

}  // namespace

void DecompressRtf(std::span<const std::byte> value, std::string& text, std::vector<rtf_picture_info>& pictures) {
    text.clear();
    pictures.clear();
    if (value.size() < format::header_size) throw compressed_rtf_error("Invalid compressed-RTF header");
    const std::uint64_t compressed_size = read_u32(value, format::compressed_size_offset);
    if (compressed_size != value.size() - format::compressed_size_bias)
        throw compressed_rtf_error("compressed-RTF data size mismatch");
    const std::uint32_t raw_size = read_u32(value, format::raw_size_offset);
    const std::uint32_t type = read_u32(value, format::type_offset);

    if (type == format::type_stored) {
        // Some writers declare a raw size 12 bytes larger than the text they store, so it is not trusted here.
        const auto stored = value.subspan(format::header_size);
        text.assign(reinterpret_cast<const char*>(stored.data()), stored.size());
        return;
    }
    if (type != format::type_compressed) return;

    if (raw_size > format::max_expansion * compressed_size + format::max_expansion_slack)
        throw compressed_rtf_error("compressed-RTF data size mismatch");
    if (rtf_crc(value.subspan(format::header_size)) != read_u32(value, format::crc_offset))
        throw compressed_rtf_error("compressed-RTF CRC32 failed");

    rtf_picture_detector detector;
    decompress_lzfu(value, raw_size, text, detector);
    pictures = ClassifyRtfPictures(text, detector.positions());
}

}  // namespace mailferry
