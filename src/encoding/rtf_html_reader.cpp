// rtf_html_reader.cpp: the group stack, the font and colour tables, and text decoding shared by both converters.

#include <algorithm>
#include <array>

#include "encoding/rtf_html_internal.h"

namespace mailferry::rtf_detail {
namespace {

// Destinations whose text is never shown, even without the \* that newer writers put before them.
constexpr std::array<std::string_view, 27> k_hidden_destinations = {
    "stylesheet",   "info",      "pict",       "header",    "headerl",
    "headerr",      "headerf",   "footer",     "footerl",   "footerr",
    "footerf",      "object",    "nonshppict", "listtable", "listoverridetable",
    "rsidtbl",      "revtbl",    "xmlnstbl",   "themedata", "colorschememapping",
    "latentstyles", "datastore", "filetbl",    "footnote",  "private",
    "template",     "generator"};

// Characters that RTF writes as control words.
struct named_character {
    std::string_view word;
    std::uint32_t code_point;
};
constexpr std::array<named_character, 14> k_named_characters = {{{"emdash", 0x2014},
                                                                 {"endash", 0x2013},
                                                                 {"bullet", 0x2022},
                                                                 {"lquote", 0x2018},
                                                                 {"rquote", 0x2019},
                                                                 {"ldblquote", 0x201C},
                                                                 {"rdblquote", 0x201D},
                                                                 {"emspace", 0x2003},
                                                                 {"enspace", 0x2002},
                                                                 {"qmspace", 0x2005},
                                                                 {"zwj", 0x200D},
                                                                 {"zwnj", 0x200C},
                                                                 {"ltrmark", 0x200E},
                                                                 {"rtlmark", 0x200F}}};

constexpr std::uint32_t k_replacement = 0xFFFD;

void append_utf8(std::uint32_t cp, std::string& out) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

std::uint8_t color_component(std::int32_t value) {
    return static_cast<std::uint8_t>(std::clamp(value, 0, 255));
}

}  // namespace

bool reader::run() {
    std::size_t start = 0;
    while (start < m_rtf.size() && (m_rtf[start] == ' ' || m_rtf[start] == '\t' || m_rtf[start] == '\r' ||
                                    m_rtf[start] == '\n' || m_rtf[start] == '\0'))
        ++start;
    if (m_rtf.substr(start, 5) != "{\\rtf") return false;
    tokenizer tokens(m_rtf.substr(start));
    m_stack.assign(1, group_state{});
    for (token t = tokens.next(); t.kind != token_kind::end; t = tokens.next()) {
        if (!step(t)) break;  // the document's own group has closed; what follows is not part of it
    }
    flush();
    return true;
}

bool reader::step(const token& t) {
    if (m_overflow > 0) {
        // Groups nested deeper than any real document are skipped whole; only their braces are counted.
        if (t.kind == token_kind::group_start) ++m_overflow;
        if (t.kind == token_kind::group_end) --m_overflow;
        return true;
    }
    const bool fresh = m_fresh;
    m_fresh = false;
    switch (t.kind) {
        case token_kind::group_start:
            flush();
            m_fallback = 0;
            if (m_stack.size() > k_max_depth) {
                m_overflow = 1;
                return true;
            }
            m_stack.push_back(m_stack.back());
            m_stack.back().role = 0;
            m_fresh = true;
            m_starred = false;
            return true;
        case token_kind::group_end: {
            flush();
            m_fallback = 0;
            const group_state closed = m_stack.back();
            m_stack.pop_back();
            on_group_end(closed);
            return m_stack.size() > 1;
        }
        case token_kind::control_word:
            if (state().dest != destination::skip) control_word(t, fresh);
            return true;
        case token_kind::control_symbol:
            if (t.symbol == '*' && fresh) {
                m_starred = true;
                m_fresh = true;  // the destination's own word still follows
                return true;
            }
            if (shows_text() && !consume_fallback()) control_symbol(t.symbol);
            return true;
        case token_kind::hex_byte:
            if (shows_text() && !consume_fallback()) emit_byte(t.byte);
            return true;
        case token_kind::text:
            if (state().dest != destination::skip) text(t.text);
            return true;
        case token_kind::binary:
            consume_fallback();
            return true;
        case token_kind::end:
            break;
    }
    return false;
}

bool reader::shows_text() const {
    const destination d = m_stack.back().dest;
    return d == destination::content || d == destination::html_tag || d == destination::field_instruction;
}

bool reader::begin_destination(std::string_view word, bool starred) {
    if (on_destination(word, starred)) return true;
    group_state& s = state();
    if (word == "fonttbl") {
        s.dest = destination::font_table;
    } else if (word == "colortbl") {
        s.dest = destination::color_table;
        m_color = {};
    } else if (starred || std::find(k_hidden_destinations.begin(), k_hidden_destinations.end(), word) !=
                              k_hidden_destinations.end()) {
        s.dest = destination::skip;
    } else {
        return false;
    }
    return true;
}

void reader::control_word(const token& t, bool fresh) {
    if (fresh && begin_destination(t.text, m_starred)) return;
    if (consume_fallback()) return;
    const std::string_view word = t.text;
    group_state& s = state();
    if (s.dest == destination::font_table) {
        if (word == "f") {
            m_defining_font = t.param;
        } else if (word == "fcharset") {
            m_font_code_pages.try_emplace(m_defining_font, code_page_of_charset(t.param));
        } else if (word == "cpg" && t.param > 0) {
            m_font_code_pages[m_defining_font] = t.param;
        }
        return;
    }
    if (s.dest == destination::color_table) {
        if (word == "red" || word == "green" || word == "blue") {
            m_color.automatic = false;
            (word == "red" ? m_color.red : word == "green" ? m_color.green : m_color.blue) = color_component(t.param);
        }
        return;
    }
    if (word == "u") {
        emit_utf16(t.param);
        m_fallback = s.uc;
    } else if (word == "uc") {
        s.uc = static_cast<std::uint8_t>(std::clamp(t.param, 0, 255));
    } else if (word == "f") {
        s.font = t.param;
    } else if (word == "ansicpg") {
        if (t.param > 0) m_ansi_code_page = t.param;
    } else if (word == "ansi") {
        m_ansi_code_page = 1252;
    } else if (word == "mac") {
        m_ansi_code_page = 10000;
    } else if (word == "pc") {
        m_ansi_code_page = 437;
    } else if (word == "pca") {
        m_ansi_code_page = 850;
    } else if (word == "deff") {
        m_default_font = t.param;
    } else if (auto named = std::find_if(k_named_characters.begin(), k_named_characters.end(),
                                         [&](const named_character& n) { return n.word == word; });
               named != k_named_characters.end()) {
        emit_code_point(named->code_point);
    } else {
        flush();
        on_control(t);
    }
}

void reader::control_symbol(char symbol) {
    switch (symbol) {
        case '\\':
        case '{':
        case '}':
            emit_byte(static_cast<unsigned char>(symbol));
            break;
        case '~':
            emit_code_point(0x00A0);
            break;
        case '_':
            emit_code_point(0x2011);
            break;
        case '\n':  // a backslash before a line end is a paragraph mark
            flush();
            on_control(token::of(token_kind::control_word, "par"));
            break;
        default:  // optional hyphens, index marks and unknown symbols show nothing
            break;
    }
}

void reader::text(std::string_view bytes) {
    const group_state& s = state();
    if (s.dest == destination::color_table) {
        for (const char c : bytes) {
            if (c != ';') continue;
            m_colors.push_back(m_color);
            m_color = {};
        }
        return;
    }
    if (!shows_text()) return;
    const std::size_t skipped = std::min(bytes.size(), static_cast<std::size_t>(m_fallback));
    m_fallback -= static_cast<std::int32_t>(skipped);
    const std::string_view shown = bytes.substr(skipped);
    if (shown.empty()) return;
    // A run of text has one code page throughout: its first byte settles it, the others follow it.
    emit_byte(static_cast<unsigned char>(shown.front()));
    m_bytes.append(shown.substr(1));
}

bool reader::consume_fallback() {
    if (m_fallback <= 0) return false;
    --m_fallback;
    return true;
}

int reader::code_page() const {
    const group_state& s = m_stack.back();
    // Inside an encapsulated tag the bytes are in the document's code page, whatever font is current.
    if (s.dest == destination::html_tag) return m_ansi_code_page;
    const auto it = m_font_code_pages.find(s.font >= 0 ? s.font : m_default_font);
    return it != m_font_code_pages.end() && it->second > 0 ? it->second : m_ansi_code_page;
}

void reader::emit_byte(unsigned char b) {
    const int page = code_page();
    if (!m_bytes.empty() && page != m_bytes_code_page) flush_bytes();
    if (m_high_surrogate != 0) {
        m_high_surrogate = 0;
        append_utf8(k_replacement, m_text);
    }
    m_bytes_code_page = page;
    m_bytes.push_back(static_cast<char>(b));
}

void reader::emit_utf16(std::int32_t unit) {
    // \uN is a signed 16-bit value; anything outside that range is damage.
    if (unit < 0) unit += 0x10000;
    if (unit < 0 || unit > 0xFFFF) {
        emit_code_point(k_replacement);
        return;
    }
    const auto u = static_cast<std::uint32_t>(unit);
    if (u >= 0xDC00 && u <= 0xDFFF && m_high_surrogate != 0) {
        const std::uint32_t cp = 0x10000 + ((m_high_surrogate - 0xD800) << 10) + (u - 0xDC00);
        m_high_surrogate = 0;
        append_utf8(cp, m_text);
        return;
    }
    if (u >= 0xD800 && u <= 0xDBFF) {
        flush_bytes();
        if (m_high_surrogate != 0) append_utf8(k_replacement, m_text);
        m_high_surrogate = u;
        return;
    }
    emit_code_point(u >= 0xDC00 && u <= 0xDFFF ? k_replacement : u);
}

void reader::emit_code_point(std::uint32_t code_point) {
    flush_bytes();
    if (m_high_surrogate != 0) {
        m_high_surrogate = 0;
        append_utf8(k_replacement, m_text);
    }
    append_utf8(code_point, m_text);
}

void reader::flush_bytes() {
    if (m_bytes.empty()) return;
    append_code_page_text(m_bytes_code_page, m_bytes, m_text);
    m_bytes.clear();
}

void reader::flush() {
    flush_bytes();
    if (m_high_surrogate != 0) {
        m_high_surrogate = 0;
        append_utf8(k_replacement, m_text);
    }
    if (m_text.empty()) return;
    on_text(m_text);
    m_text.clear();
}

}  // namespace mailferry::rtf_detail
