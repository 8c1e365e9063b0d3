#include "encoding/rtf_pictures.h"

#include <algorithm>
#include <cstddef>
#include <memory>
#include <optional>
#include <unordered_set>

#include "platform/diagnostic_log.h"

namespace mailferry {

namespace {

// Deeper groups are stepped over without being kept: picture groups are shallow, and the stack must stay small.
constexpr std::size_t max_group_depth = 64;

// The search may look at each character of the text this many times (plus a fixed allowance); a text built to
// make every picture re-read the whole document stops there instead of running for hours.
constexpr std::size_t work_per_character = 16;
constexpr std::size_t work_allowance = std::size_t{1} << 20;

bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool starts_with_nocase(std::string_view text, std::size_t at, std::string_view prefix) {
    if (at > text.size() || text.size() - at < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (lower(text[at + i]) != lower(prefix[i])) return false;
    return true;
}

// One group of the text, reduced to what telling a picture needs: later sub-groups are parsed (to find where the
// group ends) but not kept, and the control words are kept as the first one plus what the type and tag words say,
// so a hostile group of a million sub-groups or words costs no memory.
struct group_node {
    std::unique_ptr<group_node> first_child;
    bool has_words = false;
    std::string first_word;  // letters and numeric parameter, e.g. "picw1234"; the star is dropped
    std::string extension;   // from the last type word
    std::string tag;         // from the last \bliptag word
    std::uint32_t dataStart = 0;
    std::uint32_t dataLength = 0;
    std::uint32_t groupStart = 0;
    std::uint32_t groupLength = 0;
    bool binary = false;

    void add_word(std::string_view word) {
        static constexpr std::pair<std::string_view, std::string_view> extensions[] = {
            {"wmetafile", "wmf"}, {"pngblip", "png"},    {"jpegblip", "jpg"}, {"macpict", "pict"},
            {"emfblip", "emf"},   {"pmmetafile", "emf"}, {"dibitmap", "emf"},
        };
        constexpr std::string_view tag_word = "bliptag";
        if (!has_words) {
            has_words = true;
            first_word = word;
        }
        for (const auto& [prefix, type] : extensions)
            if (word.starts_with(prefix)) extension = type;
        if (word.starts_with(tag_word)) tag = word.substr(tag_word.size());
    }
};

struct work_exhausted {};

class group_parser {
public:
    explicit group_parser(std::string_view text)
        : m_text(text), m_budget(text.size() * work_per_character + work_allowance) {}

    void tick() {
        if (m_budget == 0) throw work_exhausted{};
        --m_budget;
    }

    // `pos` is just after the group's opening brace; on return it is just after the closing one (or at the end
    // of the text for a group that is never closed). With `first_child_only`, parsing stops once the first
    // sub-group is complete.
    std::unique_ptr<group_node> parse(std::size_t& pos, std::size_t depth, bool first_child_only) {
        auto node = std::make_unique<group_node>();
        node->groupStart = static_cast<std::uint32_t>(pos - 1);
        const std::size_t n = m_text.size();
        for (;;) {
            skip_space(pos);
            if (pos >= n) {
                node->groupLength = static_cast<std::uint32_t>(n - node->groupStart);
                return node;
            }
            const char c = m_text[pos];
            if (c == '\\') {
                read_control_word(pos, *node);
            } else if (c == '}') {
                ++pos;
                node->groupLength = static_cast<std::uint32_t>(pos - node->groupStart);
                return node;
            } else if (c == '{') {
                ++pos;
                if (depth + 1 >= max_group_depth) {
                    skip_group(pos);
                } else {
                    auto child = parse(pos, depth + 1, false);
                    if (!node->first_child) node->first_child = std::move(child);
                    if (first_child_only) return node;
                }
            } else {
                read_text_run(pos, *node);
            }
        }
    }

private:
    void skip_space(std::size_t& pos) {
        while (pos < m_text.size() && is_space(m_text[pos])) {
            tick();
            ++pos;
        }
    }

    void read_control_word(std::size_t& pos, group_node& node) {
        const std::size_t n = m_text.size();
        ++pos;  // the backslash
        if (pos < n && m_text[pos] == '*') {
            ++pos;
            skip_space(pos);
            if (pos < n && m_text[pos] == '\\') ++pos;
            skip_space(pos);
        }
        const std::size_t start = pos;
        while (pos < n && m_text[pos] != '\\' && m_text[pos] != '{' && m_text[pos] != '}' && !is_space(m_text[pos])) {
            tick();
            ++pos;
        }
        const std::string_view word = m_text.substr(start, pos - start);
        if (pos < n && is_space(m_text[pos])) ++pos;
        if (word.starts_with("bin")) {
            // The data that follows is raw bytes, braces included, so it is stepped over whole.
            const std::size_t length = std::min(decimal_after(word, 3), n - pos);
            node.binary = true;
            node.dataStart = static_cast<std::uint32_t>(pos);
            node.dataLength = static_cast<std::uint32_t>(length);
            pos += length;
        } else if (!word.empty()) {
            node.add_word(word);
        }
    }

    void read_text_run(std::size_t& pos, group_node& node) {
        const std::size_t n = m_text.size();
        const std::size_t start = pos;
        while (pos < n) {
            tick();
            const char c = m_text[pos];
            if (c == '{' || c == '}') break;
            if (c == '\\') {
                if (pos + 1 < n && (m_text[pos + 1] == '\\' || m_text[pos + 1] == '{' || m_text[pos + 1] == '}')) {
                    pos += 2;
                    continue;
                }
                break;
            }
            ++pos;
        }
        node.binary = false;
        node.dataStart = static_cast<std::uint32_t>(start);
        node.dataLength = static_cast<std::uint32_t>(pos - start);
    }

    // Steps over a group too deep to keep; `pos` is just after its opening brace.
    void skip_group(std::size_t& pos) {
        std::size_t open = 1;
        while (pos < m_text.size() && open > 0) {
            tick();
            const char c = m_text[pos++];
            if (c == '\\')
                ++pos;
            else if (c == '{')
                ++open;
            else if (c == '}')
                --open;
        }
        pos = std::min(pos, m_text.size());
    }

    static std::size_t decimal_after(std::string_view word, std::size_t from) {
        std::size_t value = 0;
        for (std::size_t i = from; i < word.size() && word[i] >= '0' && word[i] <= '9'; ++i) {
            value = value * 10 + static_cast<std::size_t>(word[i] - '0');
            if (value > UINT32_MAX) return UINT32_MAX;
        }
        return value;
    }

    std::string_view m_text;
    std::size_t m_budget;
};

std::optional<rtf_picture_info> classify(const group_node* group) {
    if (group == nullptr || !group->has_words) return std::nullopt;
    const std::string& first = group->first_word;
    rtf_picture_info info;
    const group_node* picture = nullptr;
    const group_node* range = group;
    if (first == "shppict") {
        info.kind = 1;
        picture = group->first_child.get();
    } else if (first == "nonshppict") {
        info.kind = 2;
        picture = group->first_child.get();
    } else if (first == "pict") {
        picture = group;
    } else {
        picture = group->first_child.get();
        range = picture;
    }
    if (picture == nullptr) return std::nullopt;
    if (picture->has_words && picture->first_word != "pict") return std::nullopt;
    info.groupStart = range->groupStart;
    info.groupLength = range->groupLength;
    info.dataStart = picture->dataStart;
    info.dataLength = picture->dataLength;
    info.binary = picture->binary;
    info.extension = picture->extension;
    info.tag = picture->tag;
    return info;
}

enum class search_step { parse, skip, stop };

// Where the group around the \pict at `p` begins: just after the brace of an enclosing \*\shppict or
// \*\nonshppict group, or else at the brace just before \pict.
search_step find_parse_start(std::string_view text, std::size_t p, group_parser& work, std::ptrdiff_t& start) {
    std::ptrdiff_t met = -1;
    for (auto i = static_cast<std::ptrdiff_t>(p) - 3; i >= 0; --i) {
        work.tick();
        const char c = text[static_cast<std::size_t>(i)];
        if (c == '{' || c == '\\' || c == '}') {
            met = i;
            break;
        }
    }
    const bool in_pair = met >= 1 && text[static_cast<std::size_t>(met)] == '\\' &&
                         (starts_with_nocase(text, static_cast<std::size_t>(met - 1), "*\\shppict") ||
                          starts_with_nocase(text, static_cast<std::size_t>(met - 1), "*\\nonshppict"));
    if (!in_pair) {
        start = static_cast<std::ptrdiff_t>(p) - 2;
        return search_step::parse;
    }
    for (auto i = static_cast<std::ptrdiff_t>(p) - 3; i >= 0; --i) {
        work.tick();
        const char c = text[static_cast<std::size_t>(i)];
        if (c == '}') return search_step::skip;
        if (c == '{') {
            start = i + 1;
            return search_step::parse;
        }
    }
    return search_step::stop;
}

void append_decimal(std::size_t number, std::string& out) {
    out.append(std::to_string(number));
}

}  // namespace

void rtf_picture_detector::advance(unsigned char byte, std::size_t position) {
    switch (m_state) {
        case state::idle:
            m_state = byte == '\\' ? state::backslash : state::idle;
            break;
        case state::backslash:
            m_state = byte == 'p' ? state::p : state::idle;
            break;
        case state::p:
            m_state = byte == 'i' ? state::i : state::idle;
            break;
        case state::i:
            m_state = byte == 'c' ? state::c : state::idle;
            break;
        case state::c:
            m_state = byte == 't' ? state::t : state::idle;
            break;
        case state::t:
            if ((byte == '\\' || byte == '{' || is_space(static_cast<char>(byte))) && position >= 4)
                m_positions.push_back(static_cast<std::uint32_t>(position - 4));
            m_state = state::idle;
            break;
    }
}

std::vector<std::uint32_t> FindPictPositions(std::string_view text) {
    rtf_picture_detector detector;
    for (std::size_t i = 0; i < text.size(); ++i) detector.feed(static_cast<unsigned char>(text[i]), i);
    return detector.positions();
}

std::vector<rtf_picture_info> ClassifyRtfPictures(std::string_view text, std::span<const std::uint32_t> positions) {
    std::vector<rtf_picture_info> pictures;
    group_parser parser(text);
    try {
        for (const std::uint32_t p : positions) {
            if (p >= text.size()) continue;
            std::ptrdiff_t start = 0;
            const search_step step = find_parse_start(text, p, parser, start);
            if (step == search_step::skip) continue;
            if (step == search_step::stop || start <= 0) break;
            std::size_t pos = static_cast<std::size_t>(start);
            const auto group = parser.parse(pos, 0, true);
            if (auto info = classify(group->first_child.get())) pictures.push_back(std::move(*info));
        }
    } catch (const work_exhausted&) {
        platform::log_diagnostic("RTF picture search stopped: too much work for the text.");
    }
    return pictures;
}

void ReplacePictures(std::string_view text, std::span<const rtf_picture_info> pictures, std::string& out,
                     std::vector<rtf_image>& images) {
    std::unordered_set<std::string> names;
    for (const rtf_image& image : images) names.insert(image.name);
    std::size_t copied = 0;
    for (std::size_t index = 0; index < pictures.size(); ++index) {
        const rtf_picture_info& picture = pictures[index];
        if (picture.kind == 2) continue;
        std::string name = "Image ";
        if (!picture.tag.empty())
            name.append(picture.tag);
        else
            append_decimal(index + 1, name);
        name.append(".").append(picture.extension);

        std::optional<rtf_image> item;
        if (names.insert(name).second) {
            const std::size_t start = std::min<std::size_t>(picture.dataStart, text.size());
            item = rtf_image{name, std::string(text.substr(start, picture.dataLength)), !picture.binary};
        }
        std::size_t length = picture.groupLength;
        if (picture.kind == 1 && index + 1 < pictures.size()) length += pictures[index + 1].groupLength;
        const std::size_t range_start = std::min<std::size_t>(picture.groupStart, text.size());
        const std::size_t range_end = std::min(text.size(), range_start + length);
        if (range_start < copied)
            platform::log_diagnostic("Hey ! Be careful.");
        else
            out.append(text.substr(copied, range_start - copied));
        out.append("{\\rtfltr\\fs16 <<< Attachment : ").append(name).append(" >>>}");
        if (item) images.push_back(std::move(*item));
        copied = range_end;
    }
    if (copied < text.size()) out.append(text.substr(copied));
}

}  // namespace mailferry
