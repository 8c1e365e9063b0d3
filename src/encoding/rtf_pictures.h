#pragma once
// rtf_pictures.h: pictures embedded in RTF bodies ({\pict ...} groups, alone or in \shppict/\nonshppict pairs).
// The detector notes where each \pict control word lies while the text is produced; the classifier reads the
// picture groups at those places; ReplacePictures takes them out of the text, leaving a short visible placeholder,
// and keeps their data as picture items that the mail writer attaches. Pure functions over the text.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace mailferry {

// One picture found in the RTF text; positions and lengths are in the text.
struct rtf_picture_info {
    std::string extension;  // "wmf", "png", "jpg", "pict" or "emf"; empty when no type word was found
    std::string tag;        // the parameter of \bliptag, empty when there is none
    std::uint32_t dataStart = 0;
    std::uint32_t dataLength = 0;
    std::uint32_t groupStart = 0;  // the text range that the picture occupies
    std::uint32_t groupLength = 0;
    std::int32_t kind = 0;  // 0 plain picture, 1 "shppict" group, 2 "nonshppict" group
    bool binary = false;    // the data came after \binN as raw bytes, not as hex text
};

// A picture taken out of an RTF body, as the mail writer attaches it.
struct rtf_image {
    std::string name;  // "Image -123.png", "Image 2.wmf"
    std::string data;  // hex text (with line breaks) unless the picture was given as \bin data
    bool dataIsHex = true;
};

// Watches the bytes of the text as they are written and notes the position of the "p" of every "\pict" that is
// followed by a backslash, an opening brace or white space.
class rtf_picture_detector {
public:
    // `position` is where `byte` lies in the text.
    void feed(unsigned char byte, std::size_t position) {
        // Called for every byte of every decompressed body; almost all of them leave the detector idle, so only
        // the rest pay for a call.
        if (m_state == state::idle && byte != '\\') return;
        advance(byte, position);
    }
    const std::vector<std::uint32_t>& positions() const { return m_positions; }

private:
    void advance(unsigned char byte, std::size_t position);

    enum class state : std::uint8_t { idle, backslash, p, i, c, t };
    state m_state = state::idle;
    std::vector<std::uint32_t> m_positions;
};

// Runs the detector over a finished text.
std::vector<std::uint32_t> FindPictPositions(std::string_view text);

// Reads the picture group at each detected position, in order, and returns those that classify as pictures.
// A position whose group is missing or is no picture is skipped; one whose group would start at the start of
// the text ends the search. The work is bounded by a multiple of the text's length; past it the search ends
// with the pictures found so far.
std::vector<rtf_picture_info> ClassifyRtfPictures(std::string_view text, std::span<const std::uint32_t> positions);

// Appends to `out` the text without the pictures, each replaced by the group
// "{\rtfltr\fs16 <<< Attachment : NAME >>>}", and appends to `images` the pictures whose names are not there yet.
// Pictures are numbered from 1 in list order; a \shppict picture also covers the \nonshppict fallback that
// follows it, and \nonshppict pictures are otherwise left in place.
void ReplacePictures(std::string_view text, std::span<const rtf_picture_info> pictures, std::string& out,
                     std::vector<rtf_image>& images);

}  // namespace mailferry
