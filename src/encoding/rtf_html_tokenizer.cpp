// rtf_html_tokenizer.cpp: splits RTF text into groups, control words, control symbols, hex bytes and text runs.

#include <algorithm>
#include <limits>

#include "encoding/rtf_html_internal.h"

namespace mailferry::rtf_detail {
namespace {

bool is_letter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool is_digit(char c) {
    return c >= '0' && c <= '9';
}
bool is_ignored(char c) {
    return c == '\r' || c == '\n' || c == '\0';
}

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

token tokenizer::next() {
    while (m_pos < m_rtf.size() && is_ignored(m_rtf[m_pos])) ++m_pos;
    if (m_pos >= m_rtf.size()) return {};
    const char c = m_rtf[m_pos];
    if (c == '{' || c == '}') {
        ++m_pos;
        return token::of(c == '{' ? token_kind::group_start : token_kind::group_end);
    }
    if (c == '\\') return control();
    const std::size_t start = m_pos;
    while (m_pos < m_rtf.size()) {
        const char d = m_rtf[m_pos];
        if (d == '\\' || d == '{' || d == '}' || is_ignored(d)) break;
        ++m_pos;
    }
    return token::of(token_kind::text, m_rtf.substr(start, m_pos - start));
}

token tokenizer::control() {
    ++m_pos;  // the backslash
    if (m_pos >= m_rtf.size()) return {};
    const char c = m_rtf[m_pos];
    if (is_letter(c)) {
        const std::size_t start = m_pos;
        while (m_pos < m_rtf.size() && is_letter(m_rtf[m_pos])) ++m_pos;
        token t = token::of(token_kind::control_word, m_rtf.substr(start, m_pos - start));
        const bool negative = m_pos + 1 < m_rtf.size() && m_rtf[m_pos] == '-' && is_digit(m_rtf[m_pos + 1]);
        if (negative) ++m_pos;
        if (m_pos < m_rtf.size() && is_digit(m_rtf[m_pos])) {
            // Absurd parameters are clamped rather than rejected: the digits are still consumed as one word.
            constexpr std::int64_t limit = std::numeric_limits<std::int32_t>::max();
            std::int64_t value = 0;
            while (m_pos < m_rtf.size() && is_digit(m_rtf[m_pos])) {
                value = std::min<std::int64_t>(value * 10 + (m_rtf[m_pos] - '0'), limit + 1);
                ++m_pos;
            }
            value = std::min(value, limit);
            t.has_param = true;
            t.param = static_cast<std::int32_t>(negative ? -value : value);
        }
        if (m_pos < m_rtf.size() && m_rtf[m_pos] == ' ') ++m_pos;
        if (t.text == "bin") {
            const std::size_t left = m_rtf.size() - m_pos;
            const std::size_t length =
                t.has_param && t.param > 0 ? std::min(static_cast<std::size_t>(t.param), left) : 0;
            t.kind = token_kind::binary;
            t.text = m_rtf.substr(m_pos, length);
            m_pos += length;
        }
        return t;
    }
    ++m_pos;
    if (c == '\'') {
        // A byte needs both digits; a cut-off escape shows nothing.
        if (m_rtf.size() - m_pos < 2 || hex_value(m_rtf[m_pos]) < 0 || hex_value(m_rtf[m_pos + 1]) < 0)
            return token::of_symbol('\'');
        const int value = hex_value(m_rtf[m_pos]) * 16 + hex_value(m_rtf[m_pos + 1]);
        m_pos += 2;
        return token::of_byte(static_cast<unsigned char>(value));
    }
    return token::of_symbol(c == '\r' ? '\n' : c);
}

}  // namespace mailferry::rtf_detail
