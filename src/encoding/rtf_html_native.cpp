// rtf_html_native.cpp: turns RTF that carries no HTML (plain RTF, encapsulated text) into a small HTML document:
// paragraphs, line breaks, tabs, bold, italic, underline, strike, font size, colours and HYPERLINK fields. Fonts,
// indents and tables are left out; the reader of a mail wants the text and its emphasis.

#include <algorithm>
#include <cstdio>
#include <optional>

#include "encoding/rtf_html_internal.h"

namespace mailferry::rtf_detail {
namespace {

constexpr std::uint8_t k_role_field = 1;
constexpr std::uint8_t k_role_link = 2;
constexpr std::size_t k_max_instruction = 4096;  // a field instruction longer than this is not a link we can use
constexpr std::int32_t k_default_font_size = 24;

bool starts_with_nocase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char c = text[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c != prefix[i]) return false;
    }
    return true;
}

bool is_space(char c) {
    return c == ' ' || c == '\t';
}

// HYPERLINK "url" [\l "anchor"] [\o "tip"] ...: the target of a link field, or nothing for any other field.
std::optional<std::string> hyperlink_target(std::string_view instruction) {
    while (!instruction.empty() && is_space(instruction.front())) instruction.remove_prefix(1);
    if (!starts_with_nocase(instruction, "HYPERLINK")) return std::nullopt;
    instruction.remove_prefix(9);
    std::string url, anchor;
    bool next_is_anchor = false, next_is_ignored = false;
    while (true) {
        while (!instruction.empty() && is_space(instruction.front())) instruction.remove_prefix(1);
        if (instruction.empty()) break;
        if (instruction.front() == '\\' && instruction.size() > 1) {
            const char option = instruction[1];
            next_is_anchor = option == 'l';
            next_is_ignored = option == 'o' || option == 't';  // tooltip and target frame
            instruction.remove_prefix(2);
            continue;
        }
        std::string_view argument;
        if (instruction.front() == '"') {
            const std::size_t close = instruction.find('"', 1);
            argument = instruction.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1);
            instruction.remove_prefix(close == std::string_view::npos ? instruction.size() : close + 1);
        } else {
            std::size_t end = 0;
            while (end < instruction.size() && !is_space(instruction[end])) ++end;
            argument = instruction.substr(0, end);
            instruction.remove_prefix(end);
        }
        if (next_is_anchor) {
            anchor = argument;
        } else if (!next_is_ignored && url.empty()) {
            url = argument;
        }
        next_is_anchor = next_is_ignored = false;
    }
    if (!anchor.empty()) url += "#" + anchor;
    if (url.empty()) return std::nullopt;
    return url;
}

std::string css_color(const rgb_color& c) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", c.red, c.green, c.blue);
    return text;
}

class html_document final : public reader {
public:
    // Appends the body's HTML to `body`.
    html_document(std::string_view rtf, std::string& body) : reader(rtf), m_body(body) {}

    void finish() { close_paragraph(); }

private:
    void on_text(std::string_view utf8) override {
        if (state().dest == destination::field_instruction) {
            if (!m_instructions.empty() && m_instructions.back().size() + utf8.size() <= k_max_instruction)
                m_instructions.back().append(utf8);
            return;
        }
        if (state().dest != destination::content || state().hidden) return;
        open_format();
        append_html_escaped(utf8, m_body);
    }

    bool on_destination(std::string_view word, bool) override {
        group_state& s = state();
        if (word == "field") {
            s.role = k_role_field;
            m_instructions.emplace_back();
            return true;
        }
        if (word == "fldinst") {
            s.dest = m_instructions.empty() ? destination::skip : destination::field_instruction;
            return true;
        }
        if (word == "fldrslt") {
            if (!m_instructions.empty()) {
                if (auto target = hyperlink_target(m_instructions.back())) {
                    open_link(*target);
                    s.role = k_role_link;
                }
            }
            return true;
        }
        // Picture placeholders sit inside the \*\shppict group; show them, not the group's other destinations.
        return word == "shppict";
    }

    void on_group_end(const group_state& closed) override {
        if (closed.role == k_role_link) close_link();
        if (closed.role == k_role_field && !m_instructions.empty()) m_instructions.pop_back();
    }

    void on_control(const token& t) override {
        group_state& s = state();
        if (s.dest != destination::content) return;
        const std::string_view w = t.text;
        const bool on = !(t.has_param && t.param == 0);
        if (w == "par" || w == "page" || w == "sect" || w == "row") {
            end_paragraph();
        } else if (w == "line") {
            if (s.hidden) return;
            open_format();
            m_body.append("<br>");
        } else if (w == "tab" || w == "cell") {
            if (s.hidden) return;
            open_format();
            m_body.push_back('\t');
        } else if (w == "plain") {
            s.bold = s.italic = s.underline = s.strike = s.hidden = false;
            s.font_size = k_default_font_size;
            s.color = s.highlight = 0;
        } else if (w == "pard") {
            s.align = 0;
        } else if (w == "ql" || w == "qc" || w == "qr" || w == "qj") {
            s.align = w == "ql" ? 0 : w == "qc" ? 1 : w == "qr" ? 2 : 3;
        } else if (w == "v") {
            s.hidden = on;
        } else if (w == "b") {
            s.bold = on;
        } else if (w == "i") {
            s.italic = on;
        } else if (w == "strike" || w == "striked") {
            s.strike = on;
        } else if (w == "ulnone") {
            s.underline = false;
        } else if (w.starts_with("ul") && w != "ulc") {
            s.underline = on;
        } else if (w == "fs") {
            s.font_size = t.has_param ? std::clamp(t.param, 2, 3276) : k_default_font_size;
        } else if (w == "cf") {
            s.color = std::max(t.param, 0);
        } else if (w == "highlight" || w == "cb" || w == "chcbpat") {
            s.highlight = std::max(t.param, 0);
        }
    }

    const rgb_color* color(std::int32_t index) const {
        if (index <= 0 || static_cast<std::size_t>(index) >= colors().size()) return nullptr;
        const rgb_color& c = colors()[static_cast<std::size_t>(index)];
        return c.automatic ? nullptr : &c;
    }

    // The tags that show the current character format, opening and closing.
    std::pair<std::string, std::string> format_tags() {
        const group_state& s = state();
        std::string style;
        if (s.font_size != k_default_font_size) {
            style += "font-size:" + std::to_string(s.font_size / 2) + (s.font_size % 2 ? ".5pt" : "pt");
        }
        if (const rgb_color* c = color(s.color)) style += (style.empty() ? "" : ";") + ("color:" + css_color(*c));
        if (const rgb_color* c = color(s.highlight))
            style += (style.empty() ? "" : ";") + ("background-color:" + css_color(*c));
        std::string open, close;
        if (!style.empty()) {
            open = "<span style=\"" + style + "\">";
            close = "</span>";
        }
        const std::pair<bool, std::string_view> tags[] = {
            {s.bold, "b"}, {s.italic, "i"}, {s.underline, "u"}, {s.strike, "s"}};
        for (const auto& [set, name] : tags) {
            if (!set) continue;
            open.append("<").append(name).append(">");
            close.insert(0, "</" + std::string(name) + ">");
        }
        return {open, close};
    }

    void open_paragraph() {
        if (m_in_paragraph) return;
        static constexpr std::string_view aligns[] = {"", "center", "right", "justify"};
        const std::uint8_t align = std::min<std::uint8_t>(state().align, 3);
        m_body.append(align == 0 ? "<p>" : "<p style=\"text-align:" + std::string(aligns[align]) + "\">");
        m_in_paragraph = true;
    }

    void open_format() {
        open_paragraph();
        auto [open, close] = format_tags();
        if (open == m_open_tags) return;
        close_format();
        m_body.append(open);
        m_open_tags = std::move(open);
        m_close_tags = std::move(close);
    }

    void close_format() {
        m_body.append(m_close_tags);
        m_open_tags.clear();
        m_close_tags.clear();
    }

    void open_link(const std::string& target) {
        close_link();
        open_paragraph();
        close_format();
        m_body.append("<a href=\"");
        append_html_escaped(target, m_body);
        m_body.append("\">");
        m_link_open = true;
    }

    void close_link() {
        if (!m_link_open) return;
        close_format();
        m_body.append("</a>");
        m_link_open = false;
    }

    void close_paragraph() {
        if (!m_in_paragraph) return;
        close_format();
        close_link();
        m_body.append("</p>\n");
        m_in_paragraph = false;
    }

    void end_paragraph() {
        // An empty paragraph still takes a line, as it does in the RTF.
        if (!m_in_paragraph) {
            open_paragraph();
            m_body.append("<br>");
        }
        close_paragraph();
    }

    std::string& m_body;
    bool m_in_paragraph = false;
    bool m_link_open = false;
    std::string m_open_tags, m_close_tags;
    std::vector<std::string> m_instructions;  // one per open \field group
};

}  // namespace

bool convert_to_html_document(std::string_view rtf, std::string& html) {
    std::string document_text(
        "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n"
        "<style>p{margin:0;white-space:pre-wrap}</style>\n</head>\n<body>\n");
    html_document document(rtf, document_text);
    if (!document.run()) return false;
    document.finish();
    document_text.append("</body>\n</html>\n");
    html = std::move(document_text);
    return true;
}

}  // namespace mailferry::rtf_detail
