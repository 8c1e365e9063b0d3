// rtf_to_html.cpp: the entry point, and the code-page conversion and HTML helpers the converters share.

#include "encoding/rtf_to_html.h"

#include <algorithm>
#include <memory>
#include <string>

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/unistr.h>

#include "encoding/rtf_html_internal.h"

namespace mailferry {
namespace rtf_detail {
namespace {

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Position of `word` (lower case) in html[from, to), compared case-insensitively; npos when absent.
std::size_t find_nocase(const std::string& html, std::string_view word, std::size_t from, std::size_t to) {
    if (to < word.size()) return std::string::npos;
    for (std::size_t i = from; i + word.size() <= to; ++i) {
        std::size_t k = 0;
        while (k < word.size() && lower(html[i + k]) == word[k]) ++k;
        if (k == word.size()) return i;
    }
    return std::string::npos;
}

bool ends_value(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '"' || c == '\'' || c == ';' || c == '>' || c == '/';
}

struct converter_closer {
    void operator()(UConverter* c) const { ucnv_close(c); }
};
using converter_ptr = std::unique_ptr<UConverter, converter_closer>;

// ICU knows most Windows code pages as "windows-N" or "cpN"; a few only by their own names.
std::string converter_name(int code_page) {
    switch (code_page) {
        case 65001:
            return "UTF-8";
        case 10000:
            return "macintosh";
        case 28591:
            return "ISO-8859-1";
        case 20932:
        case 51932:
            return "EUC-JP";
        case 50220:
        case 50221:
        case 50222:
            return "ISO-2022-JP";
        case 20936:
            return "GB2312";
        default:
            return "windows-" + std::to_string(code_page);
    }
}

// Bytes a code page does not define become U+FFFD. ICU's own substitute is U+001A for some single-byte code
// pages, a control character that HTML does not allow.
void substitute_replacement_character(const void*, UConverterToUnicodeArgs* args, const char*, int32_t,
                                      UConverterCallbackReason reason, UErrorCode* status) {
    if (reason > UCNV_IRREGULAR) return;
    static constexpr UChar replacement = 0xFFFD;
    *status = U_ZERO_ERROR;
    ucnv_cbToUWriteUChars(args, &replacement, 1, 0, status);
}

converter_ptr open_converter(int code_page) {
    for (const std::string& name :
         {converter_name(code_page), "cp" + std::to_string(code_page), std::string("windows-1252")}) {
        UErrorCode status = U_ZERO_ERROR;
        converter_ptr converter(ucnv_open(name.c_str(), &status));
        if (U_FAILURE(status) || !converter) continue;
        ucnv_setToUCallBack(converter.get(), substitute_replacement_character, nullptr, nullptr, nullptr, &status);
        return converter;
    }
    return nullptr;
}

}  // namespace

void append_code_page_text(int code_page, std::string_view bytes, std::string& out) {
    // Code pages that keep ASCII as it is (all but the 7-bit escape and UTF-16 ones) need no converter for it.
    const bool keeps_ascii =
        code_page != 1200 && code_page != 1201 && code_page != 65000 && !(code_page >= 50220 && code_page <= 50222);
    if (keeps_ascii &&
        std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        out.append(bytes);
        return;
    }
    converter_ptr converter = open_converter(code_page);
    if (!converter) {
        for (const char c : bytes)
            icu::UnicodeString(static_cast<UChar>(static_cast<unsigned char>(c))).toUTF8String(out);
        return;
    }
    icu::UnicodeString text;
    const char* source = bytes.data();
    const char* const source_end = source + bytes.size();
    UChar buffer[2048];
    UErrorCode status = U_ZERO_ERROR;
    do {
        status = U_ZERO_ERROR;
        UChar* target = buffer;
        ucnv_toUnicode(converter.get(), &target, buffer + std::size(buffer), &source, source_end, nullptr, true,
                       &status);
        text.append(buffer, static_cast<int32_t>(target - buffer));
    } while (status == U_BUFFER_OVERFLOW_ERROR);
    text.toUTF8String(out);
}

int code_page_of_charset(int charset) {
    switch (charset) {
        case 0:
            return 1252;
        case 2:
            return 1252;  // Symbol: its letters sit where 1252 has them
        case 77:
            return 10000;
        case 128:
            return 932;
        case 129:
            return 949;
        case 130:
            return 1361;
        case 134:
            return 936;
        case 136:
            return 950;
        case 161:
            return 1253;
        case 162:
            return 1254;
        case 163:
            return 1258;
        case 177:
            return 1255;
        case 178:
            return 1256;
        case 186:
            return 1257;
        case 204:
            return 1251;
        case 222:
            return 874;
        case 238:
            return 1250;
        case 254:
            return 437;
        case 255:
            return 850;
        default:
            return 0;
    }
}

void append_html_escaped(std::string_view utf8, std::string& out) {
    for (const char c : utf8) {
        switch (c) {
            case '&':
                out.append("&amp;");
                break;
            case '<':
                out.append("&lt;");
                break;
            case '>':
                out.append("&gt;");
                break;
            case '"':
                out.append("&quot;");
                break;
            case '\t':
            case '\r':
            case '\n':
                out.push_back(c);
                break;
            default:
                // Other control characters are not allowed in HTML text.
                if (static_cast<unsigned char>(c) >= 0x20) out.push_back(c);
        }
    }
}

void rewrite_meta_charset(std::string& html) {
    std::string rewritten;
    std::size_t copied = 0;
    std::size_t pos = 0;
    while ((pos = find_nocase(html, "<meta", pos, html.size())) != std::string::npos) {
        const std::size_t end = html.find('>', pos);
        if (end == std::string::npos) break;
        for (std::size_t at = find_nocase(html, "charset", pos, end); at != std::string::npos;
             at = find_nocase(html, "charset", at + 1, end)) {
            std::size_t value = at + 7;
            while (value < end && (html[value] == ' ' || html[value] == '\t')) ++value;
            if (value >= end || html[value] != '=') continue;
            ++value;
            while (value < end && (html[value] == ' ' || html[value] == '\t')) ++value;
            if (value < end && (html[value] == '"' || html[value] == '\'')) ++value;
            std::size_t value_end = value;
            while (value_end < end && !ends_value(html[value_end])) ++value_end;
            if (value_end == value) continue;
            rewritten.append(html, copied, value - copied).append("utf-8");
            copied = value_end;
            break;
        }
        pos = end;
    }
    if (copied == 0) return;
    rewritten.append(html, copied);
    html = std::move(rewritten);
}

}  // namespace rtf_detail

bool ConvertRtfToHtml(std::string_view rtf, std::string& html) {
    using namespace rtf_detail;
    while (!rtf.empty() && (rtf.front() == ' ' || rtf.front() == '\t' || rtf.front() == '\r' || rtf.front() == '\n' ||
                            rtf.front() == '\0'))
        rtf.remove_prefix(1);
    if (!rtf.starts_with("{\\rtf")) return false;
    std::string result;
    if (is_encapsulated_html(rtf) && recover_html(rtf, result) &&
        result.find_first_not_of(" \t\r\n") != std::string::npos) {
        rewrite_meta_charset(result);
    } else if (!convert_to_html_document(rtf, result)) {
        return false;
    }
    html = std::move(result);
    return true;
}

}  // namespace mailferry
