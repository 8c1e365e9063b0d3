#pragma once
// rtf_html_internal.h: the pieces behind ConvertRtfToHtml: a tokenizer, a reader that keeps the group state, the font
// and colour tables and decodes text to UTF-8, and the two converters built on it (encapsulated HTML, plain RTF).
// Only rtf_to_html.cpp and the rtf_html_*.cpp files include this; nothing here throws on malformed input.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace mailferry::rtf_detail {

// Appends `bytes`, text in Windows code page `code_page`, to `out` as UTF-8. Unknown code pages read as 1252;
// undecodable bytes become U+FFFD. The only place that knows how code pages are converted.
void append_code_page_text(int code_page, std::string_view bytes, std::string& out);

// The code page of an RTF \fcharsetN value; 0 when the charset means "the document's default".
int code_page_of_charset(int charset);

// Appends `utf8` with &, <, > and " escaped and control characters other than TAB, CR and LF dropped.
void append_html_escaped(std::string_view utf8, std::string& out);

// Rewrites the charset named by every <meta ... charset=...> tag of `html` to utf-8.
void rewrite_meta_charset(std::string& html);

enum class token_kind : std::uint8_t {
    end,
    group_start,
    group_end,
    control_word,
    control_symbol,
    hex_byte,
    text,
    binary
};

struct token {
    token_kind kind = token_kind::end;
    std::string_view text;  // the letters of a control word, a run of text, or the bytes after \binN
    bool has_param = false;
    std::int32_t param = 0;  // clamped to the int32 range, whatever the digits say
    char symbol = 0;         // control symbol; '\n' for a backslash before a line end
    unsigned char byte = 0;  // \'hh

    static token of(token_kind kind, std::string_view text = {}) {
        token t;
        t.kind = kind;
        t.text = text;
        return t;
    }
    static token of_symbol(char symbol) {
        token t = of(token_kind::control_symbol);
        t.symbol = symbol;
        return t;
    }
    static token of_byte(unsigned char byte) {
        token t = of(token_kind::hex_byte);
        t.byte = byte;
        return t;
    }
};

// Splits RTF into tokens. Raw CR, LF and NUL bytes are not content and are dropped; a control word's one delimiting
// space is consumed. \binN data is returned as one token, cut at the end of the input. The input must outlive it.
class tokenizer {
public:
    explicit tokenizer(std::string_view rtf) : m_rtf(rtf) {}
    token next();

private:
    token control();
    std::string_view m_rtf;
    std::size_t m_pos = 0;
};

enum class destination : std::uint8_t { content, skip, font_table, color_table, html_tag, field_instruction };

// The state that RTF groups push and pop.
struct group_state {
    destination dest = destination::content;
    bool htmlrtf = false;
    std::uint8_t uc = 1;     // fallback characters after \uN
    std::uint8_t align = 0;  // 0 left, 1 centre, 2 right, 3 justified
    std::uint8_t role = 0;   // a converter's own mark on the group
    bool bold = false, italic = false, underline = false, strike = false, hidden = false;
    std::int32_t font = -1;                 // -1: the document's default font
    std::int32_t font_size = 24;            // half-points
    std::int32_t color = 0, highlight = 0;  // colour-table indexes; 0 is automatic
};

struct rgb_color {
    bool automatic = true;
    std::uint8_t red = 0, green = 0, blue = 0;
};

// Walks a document, keeping the group stack and the tables, and hands decoded text and the control words it does not
// handle itself to a converter. Text is buffered so that multi-byte code-page characters and UTF-16 surrogate pairs
// come out whole; it is delivered before every other event, under the state it was read in.
class reader {
public:
    explicit reader(std::string_view rtf) : m_rtf(rtf) {}
    virtual ~reader() = default;
    // Reads the whole document; false when it does not begin with "{\rtf".
    bool run();

protected:
    static constexpr std::size_t k_max_depth = 256;  // deeper groups are skipped

    group_state& state() { return m_stack.back(); }
    const std::vector<rgb_color>& colors() const { return m_colors; }

    // Decoded UTF-8 text of a content, html_tag or field_instruction destination.
    virtual void on_text(std::string_view utf8) = 0;
    // A control word the reader leaves to the converter, outside skipped destinations and tables.
    virtual void on_control(const token&) {}
    // The first control word of a group; true when the converter has set the group up itself.
    virtual bool on_destination(std::string_view, bool /*starred*/) { return false; }
    virtual void on_group_end(const group_state& /*closed*/) {}

private:
    bool step(const token& t);
    void control_word(const token& t, bool fresh);
    void control_symbol(char symbol);
    void text(std::string_view bytes);
    bool begin_destination(std::string_view word, bool starred);
    bool consume_fallback();
    bool shows_text() const;  // whether the current destination's text reaches the converter
    int code_page() const;
    void emit_byte(unsigned char b);
    void emit_utf16(std::int32_t unit);
    void emit_code_point(std::uint32_t code_point);
    void flush_bytes();
    void flush();

    std::string_view m_rtf;
    std::vector<group_state> m_stack;
    std::size_t m_overflow = 0;   // open groups past k_max_depth, which are being skipped
    bool m_fresh = false;         // nothing has been read yet in the current group
    bool m_starred = false;       // the current group began with \*
    std::int32_t m_fallback = 0;  // characters still to skip after \uN
    int m_ansi_code_page = 1252;
    std::int32_t m_default_font = 0;
    std::int32_t m_defining_font = 0;
    std::unordered_map<std::int32_t, int> m_font_code_pages;
    std::vector<rgb_color> m_colors;
    rgb_color m_color;
    std::string m_bytes;  // code-page bytes not yet decoded
    int m_bytes_code_page = 0;
    std::uint32_t m_high_surrogate = 0;
    std::string m_text;  // decoded text not yet delivered
};

// De-encapsulates HTML from \fromhtml1 RTF into `html` (UTF-8, as the original document's text).
bool recover_html(std::string_view rtf, std::string& html);

// Converts any RTF into a complete HTML document of its text and character formatting.
bool convert_to_html_document(std::string_view rtf, std::string& html);

// Whether the document header declares encapsulated HTML (\fromhtml1).
bool is_encapsulated_html(std::string_view rtf);

}  // namespace mailferry::rtf_detail
