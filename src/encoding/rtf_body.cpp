#include "encoding/rtf_body.h"

#include "encoding/compressed_rtf.h"
#include "encoding/rtf_to_html.h"

namespace mailferry {

bool RtfBodyToHtml(const std::optional<std::span<const std::byte>>& rtfCompressed, rtf_body_fields& writer) {
    if (!rtfCompressed) return false;
    std::string text;
    std::vector<rtf_picture_info> pictures;
    DecompressRtf(*rtfCompressed, text, pictures);
    std::string without_pictures;
    ReplacePictures(text, pictures, without_pictures, writer.rtfImages);
    return ConvertRtfToHtml(without_pictures, writer.rtfHtml);
}

}  // namespace mailferry
