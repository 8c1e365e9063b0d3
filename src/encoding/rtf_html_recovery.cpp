// rtf_html_recovery.cpp: gives back the HTML that Outlook encapsulated in RTF (\fromhtml1). The tags travel in
// {\*\htmltag ...} groups, the text between them is ordinary RTF text, and \htmlrtf ... \htmlrtf0 marks what was
// added only for RTF readers. Whitespace is copied exactly: it is part of the original document.

#include "encoding/rtf_html_internal.h"

namespace mailferry::rtf_detail {
namespace {

class html_recovery final : public reader {
public:
    html_recovery(std::string_view rtf, std::string& html) : reader(rtf), m_html(html) {}

private:
    bool copying() {
        return !state().htmlrtf && (state().dest == destination::content || state().dest == destination::html_tag);
    }

    void on_text(std::string_view utf8) override {
        if (copying()) m_html.append(utf8);
    }

    bool on_destination(std::string_view word, bool starred) override {
        // \mhtmltag carries a variant of the tag beside it; the \htmltag copy is the one to keep.
        if (!starred || word != "htmltag") return false;
        state().dest = destination::html_tag;
        return true;
    }

    void on_control(const token& t) override {
        if (t.text == "htmlrtf") {
            state().htmlrtf = !(t.has_param && t.param == 0);
            return;
        }
        if (!copying()) return;
        if (t.text == "par" || t.text == "line") {
            m_html.append("\r\n");
        } else if (t.text == "tab") {
            m_html.push_back('\t');
        }
    }

    std::string& m_html;
};

}  // namespace

bool is_encapsulated_html(std::string_view rtf) {
    tokenizer tokens(rtf);
    if (tokens.next().kind != token_kind::group_start) return false;
    // The marker belongs to the header, right after \rtf1; a body never turns a document into HTML.
    for (int i = 0; i < 64; ++i) {
        const token t = tokens.next();
        if (t.kind != token_kind::control_word) return false;
        if (t.text == "fromhtml") return t.has_param && t.param == 1;
    }
    return false;
}

bool recover_html(std::string_view rtf, std::string& html) {
    html.clear();
    html_recovery recovery(rtf, html);
    return recovery.run();
}

}  // namespace mailferry::rtf_detail
