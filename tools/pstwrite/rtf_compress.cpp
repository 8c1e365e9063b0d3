#include "rtf_compress.h"

#include <array>
#include <vector>

#include "pstcore/ndb/crypt.h"

namespace pstwrite {

namespace {
constexpr std::string_view initial_dictionary =
    "{\\rtf1\\ansi\\mac\\deff0\\deftab720{\\fonttbl;}{\\f0\\fnil \\froman \\fswiss \\fmodern \\fscript \\fdecor MS"
    " Sans SerifSymbolArialTimes New RomanCourier{\\colortbl\\red0\\green0\\blue0\r\n\\par "
    "\\pard\\plain\\f0\\fs20\\b\\i\\u\\tab\\tx";
constexpr std::size_t dictionary_size = 4096;
constexpr std::size_t max_match = 17;
constexpr std::size_t max_chain = 256;
constexpr std::uint32_t lzfu_magic = 0x75465A4C;
constexpr std::uint32_t mela_magic = 0x414C454D;

bytes with_header(const bytes& contents, std::size_t raw_size, std::uint32_t magic, std::uint32_t crc) {
    bytes out;
    put_u32(out, static_cast<std::uint32_t>(contents.size() + 12));
    put_u32(out, static_cast<std::uint32_t>(raw_size));
    put_u32(out, magic);
    put_u32(out, crc);
    put_bytes(out, contents);
    return out;
}
}  // namespace

bytes rtf_compress_lzfu(std::string_view rtf) {
    static_assert(initial_dictionary.size() == 207);
    // One linear history: the initial dictionary followed by the input. Linear index i sits at dictionary
    // position i % 4096, so a match source must be at most 4095 bytes back (distance 0 is the end marker).
    std::string buf;
    buf.reserve(initial_dictionary.size() + rtf.size());
    buf.append(initial_dictionary).append(rtf);
    const std::size_t n = buf.size();
    std::vector<std::int64_t> head(65536, -1);
    std::vector<std::int64_t> prev(n, -1);
    auto key = [&](std::size_t i) {
        return static_cast<std::size_t>(static_cast<unsigned char>(buf[i])) |
               (static_cast<std::size_t>(static_cast<unsigned char>(buf[i + 1])) << 8);
    };
    auto insert = [&](std::size_t i) {
        if (i + 1 >= n) return;
        const auto k = key(i);
        prev[i] = head[k];
        head[k] = static_cast<std::int64_t>(i);
    };
    for (std::size_t i = 0; i < initial_dictionary.size(); ++i) insert(i);

    bytes contents;
    std::size_t control_at = 0;
    int bit = 8;
    auto token = [&](bool reference) {
        if (bit == 8) {
            control_at = contents.size();
            contents.push_back(std::byte{0});
            bit = 0;
        }
        if (reference) contents[control_at] |= std::byte(1u << bit);
        ++bit;
    };
    std::size_t pos = initial_dictionary.size();
    while (pos < n) {
        std::size_t best_len = 0, best_src = 0;
        if (pos + 1 < n) {
            std::size_t steps = 0;
            for (std::int64_t s = head[key(pos)]; s >= 0 && steps < max_chain; s = prev[s], ++steps) {
                const auto src = static_cast<std::size_t>(s);
                if (pos - src >= dictionary_size) break;
                std::size_t len = 0;
                while (len < max_match && pos + len < n && buf[src + len] == buf[pos + len]) ++len;
                if (len >= 2 && len >= best_len) {  // walking newest to oldest: >= keeps the oldest on a tie
                    best_len = len;
                    best_src = src;
                }
                if (best_len == max_match && steps >= 16) break;  // good enough; keeps repetitive text fast
            }
        }
        if (best_len >= 2) {
            token(true);
            const auto word = static_cast<std::uint16_t>(((best_src % dictionary_size) << 4) | (best_len - 2));
            contents.push_back(static_cast<std::byte>(word >> 8));
            contents.push_back(static_cast<std::byte>(word & 0xFF));
            for (std::size_t i = 0; i < best_len; ++i) insert(pos + i);
            pos += best_len;
        } else {
            token(false);
            contents.push_back(static_cast<std::byte>(buf[pos]));
            insert(pos);
            ++pos;
        }
    }
    token(true);  // the end marker: a reference to the write position
    const auto end = static_cast<std::uint16_t>((pos % dictionary_size) << 4);
    contents.push_back(static_cast<std::byte>(end >> 8));
    contents.push_back(static_cast<std::byte>(end & 0xFF));
    return with_header(contents, rtf.size(), lzfu_magic, pstcore::compute_crc(contents));
}

bytes rtf_wrap_mela(std::string_view rtf) {
    return with_header(to_bytes(rtf), rtf.size(), mela_magic, 0);
}

namespace {
void append_escaped(std::string& out, std::string_view text, bool breaks) {
    static constexpr char hex[] = "0123456789abcdef";
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '\\' || c == '{' || c == '}') {
            out.push_back('\\');
            out.push_back(ch);
        } else if (c == '\r') {
            continue;
        } else if (c == '\n') {
            out.append(breaks ? "\\par\r\n" : "\\par ");
        } else if (c == '\t') {
            out.append("\\tab ");
        } else if (c >= 0x80) {
            out.append("\\'").push_back(hex[c >> 4]);
            out.push_back(hex[c & 15]);
        } else {
            out.push_back(ch);
        }
    }
}
}  // namespace

std::string rtf_from_text(std::string_view text) {
    std::string out =
        "{\\rtf1\\ansi\\ansicpg1252\\fromtext \\deff0{\\fonttbl\r\n{\\f0\\fswiss\\fcharset0 Arial;}}\r\n"
        "\\uc1\\pard\\plain\\f0\\fs20 ";
    append_escaped(out, text, true);
    out.append("}\r\n");
    return out;
}

std::string rtf_from_html(std::string_view html) {
    std::string out =
        "{\\rtf1\\ansi\\ansicpg1252\\fromhtml1 \\deff0{\\fonttbl\r\n{\\f0\\fswiss\\fcharset0 Arial;}}\r\n"
        "\\uc1\\pard\\plain\\deftab360 \\f0\\fs24 ";
    // Tags go in htmltag groups; the text between them is shared with the RTF rendering.
    std::size_t i = 0;
    while (i < html.size()) {
        if (html[i] == '<') {
            std::size_t close = html.find('>', i);
            if (close == std::string_view::npos) close = html.size() - 1;
            out.append("{\\*\\htmltag64 ");
            append_escaped(out, html.substr(i, close - i + 1), false);
            out.append("}");
            i = close + 1;
        } else {
            std::size_t next = html.find('<', i);
            if (next == std::string_view::npos) next = html.size();
            append_escaped(out, html.substr(i, next - i), false);
            i = next;
        }
    }
    out.append("}\r\n");
    return out;
}

}  // namespace pstwrite
