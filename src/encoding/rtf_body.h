#pragma once
// rtf_body.h: the HTML alternative of a message whose formatted body exists only as compressed RTF
// (PidTagRtfCompressed): decompress, take the pictures out as picture items, convert the rest to HTML.
// The caller skips this road for a message that has PidTagHtml.

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "encoding/rtf_pictures.h"

namespace mailferry {

// What the road fills in for the mail writer. (Its home is the MIME writer once that exists.)
struct rtf_body_fields {
    std::string rtfHtml;               // the UTF-8 HTML document
    std::vector<rtf_image> rtfImages;  // the pictures, attached to the mail
};

// `rtfCompressed` is the message's PidTagRtfCompressed value, nullopt when it has none. Returns false when there
// is none or the HTML conversion fails; otherwise fills `writer.rtfHtml`, adds the pictures to `writer.rtfImages`
// and returns true. Throws compressed_rtf_error on a malformed value; the caller then clears both fields and
// writes the message without an HTML part from RTF.
bool RtfBodyToHtml(const std::optional<std::span<const std::byte>>& rtfCompressed, rtf_body_fields& writer);

}  // namespace mailferry
