// rtf_to_html_test.cpp: ConvertRtfToHtml against hand-written RTF, the worked de-encapsulation example, damaged
// input, and the encapsulated-HTML body of the public sample rtf-html-inline.pst.

#include "encoding/rtf_to_html.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "encoding/compressed_rtf.h"
#include "lzfu_fixture.h"
#include "support/corpus.h"

namespace mailferry {
namespace {

constexpr std::string_view k_document_head =
    "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n"
    "<style>p{margin:0;white-space:pre-wrap}</style>\n</head>\n<body>\n";
constexpr std::string_view k_document_tail = "</body>\n</html>\n";

std::string convert(std::string_view rtf) {
    std::string html;
    EXPECT_TRUE(ConvertRtfToHtml(rtf, html)) << rtf;
    return html;
}

// The HTML recovered from an encapsulated-HTML document whose body is `body`.
std::string recovered(std::string_view body, std::string_view header = "\\ansi\\ansicpg1252") {
    return convert("{\\rtf1" + std::string(header) + "\\fromhtml1 \\deff0" + std::string(body) + "}");
}

// The <body> contents of the document made from ordinary RTF.
std::string document_body(std::string_view rtf) {
    const std::string html = convert(rtf);
    if (!html.starts_with(k_document_head) || !html.ends_with(k_document_tail)) {
        ADD_FAILURE() << "not a whole document: " << html;
        return html;
    }
    return html.substr(k_document_head.size(), html.size() - k_document_head.size() - k_document_tail.size());
}

struct recovery_case {
    const char* name;
    const char* body;
    const char* html;
    const char* header = "\\ansi\\ansicpg1252";
};

void PrintTo(const recovery_case& c, std::ostream* os) {
    *os << c.name;
}

class RtfHtmlRecovery : public testing::TestWithParam<recovery_case> {};

TEST_P(RtfHtmlRecovery, GivesBackExactText) {
    EXPECT_EQ(recovered(GetParam().body, GetParam().header), GetParam().html);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RtfHtmlRecovery,
    testing::Values(
        // The worked example of the format's description.
        recovery_case{
            "WorkedExample",
            "{\\fonttbl\r\n{\\f0\\fswiss\\fcharset0 Arial;}{\\f1\\fmodern Courier New;}}\r\n"
            "{\\colortbl\\red0\\green0\\blue0;\\red0\\green0\\blue255;}\r\n"
            "\\uc1\\pard\\plain\\deftab360 \\f0\\fs24 \r\n"
            "{\\*\\htmltag19 <html>}{\\*\\htmltag34 <head>}{\\*\\htmltag1 \\par <style>p \\{margin:0\\}</style>\\par }"
            "{\\*\\htmltag41 </head>}\r\n"
            "{\\*\\htmltag50 <body>}{\\*\\htmltag64 <p>}\\htmlrtf {\\htmlrtf0 Caf\\'e9 costs \\u8364?5 \\{net\\}\r\n"
            "{\\*\\htmltag84 <b>}\\htmlrtf {\\b \\htmlrtf0 bold\\htmlrtf }\\htmlrtf0 {\\*\\htmltag92 </b>}"
            "\\htmlrtf\\par\\htmlrtf0\r\n"
            "{\\*\\htmltag72 </p>}{\\*\\htmltag4 \\par }{\\*\\htmltag64 <pre>}\\htmlrtf {\\htmlrtf0 a\\tab "
            "b}\\htmlrtf0 "
            "{\\*\\htmltag72 </pre>}\r\n"
            "{\\*\\htmltag58 </body>}{\\*\\htmltag27 </html>}\\htmlrtf }\\htmlrtf0 ",
            "<html><head>\r\n<style>p {margin:0}</style>\r\n</head><body><p>Caf\u00e9 costs \u20ac5 "
            "{net}<b>bold</b></p>\r\n<pre>a\tb</pre></body></html>"},
        // \htmlrtf follows the groups: a group that turns it off gives the outer state back when it closes.
        recovery_case{"HtmlrtfRestoredByGroupEnd",
                      "{\\*\\htmltag64 <p>}\\htmlrtf {\\htmlrtf0 A\\htmlrtf\\par}B\\htmlrtf0 C{\\*\\htmltag72 </p>}",
                      "<p>AC</p>"},
        recovery_case{"HtmlrtfOneIsOn", "x\\htmlrtf1 hidden\\htmlrtf0 y", "xy"},
        recovery_case{"TagsInsideHtmlrtfAreRtfOnly", "\\htmlrtf {\\*\\htmltag84 <b>}\\htmlrtf0 t", "t"},
        recovery_case{"SpacesBetweenTagsAreKept", "{\\*\\htmltag84 <b>}  two  spaces {\\*\\htmltag92 </b>}",
                      "<b>  two  spaces </b>"},
        recovery_case{"RawLineEndsAreNotContent", "a\r\nb\nc{\\*\\htmltag4 \r\n\\par }", "abc\r\n"},
        recovery_case{"ParLineTabOutsideTags", "a\\par b\\line c\\tab d", "a\r\nb\r\nc\td"},
        recovery_case{"TabInsideTag", "{\\*\\htmltag241 <style>\\par \\tab x\\}</style>}", "<style>\r\n\tx}</style>"},
        recovery_case{"EscapedBracesAndBackslashes", "\\{a\\}\\\\b{\\*\\htmltag4 v\\\\:* \\{c\\}}", "{a}\\bv\\:* {c}"},
        recovery_case{"OtherControlWordsInTagsAreIgnored", "{\\*\\htmltag84 <i\\b\\fs20 >}", "<i>"},
        recovery_case{"UnicodeSkipsOneByDefault", "\\u8364?5", "\u20ac5"},
        recovery_case{"UnicodeWithUc0SkipsNothing", "\\uc0\\u8364 5", "\u20ac5"},
        recovery_case{"UnicodeWithUc2SkipsTwoHexBytes", "\\uc2\\u8364\\'80\\'80 5", "\u20ac 5"},
        recovery_case{"UcIsScopedToItsGroup", "{\\uc2\\u233 xy}\\u233 xy", "\u00e9\u00e9y"},
        recovery_case{"NegativeUnicodeAndSurrogatePairs", "\\u-4064?\\u-10179?\\u-8704?!", "\uf020\U0001F600!"},
        recovery_case{"AbsurdUnicodeIsReplaced", "\\u99999999999?x", "\ufffdx"},
        recovery_case{"CodePage1252", "Caf\\'e9 \\'80\\'93q\\'94", "Caf\u00e9 \u20ac\u201cq\u201d"},
        recovery_case{"NamedCharactersAndSymbols", "a\\~b\\-c\\emdash d\\_e", "a\u00a0bc\u2014d\u2011e"},
        recovery_case{"MhtmltagAndOtherDestinationsAreSkipped",
                      "{\\*\\mhtmltag84 <img src=\"x\">}{\\*\\htmltag84 <img src=\"cid:y\">}"
                      "{\\*\\generator Riched20;}{\\info{\\title T}}",
                      "<img src=\"cid:y\">"},
        recovery_case{"MetaCharsetBecomesUtf8",
                      "{\\*\\htmltag161 <meta http-equiv=\"Content-Type\" content=\"text/html; charset=shift_jis\">}"
                      "{\\*\\htmltag161 <META CHARSET='iso-8859-1'>}"
                      "{\\*\\htmltag161 <meta name=x content=\"charset is odd\">}charset=x",
                      "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\"><META CHARSET='utf-8'>"
                      "<meta name=x content=\"charset is odd\">charset=x"},
        // The document's code page decodes the bytes; with no converter for it (Johab) they are read as 1252.
        recovery_case{"Windows1251", "\\'cf\\'f0\\'e8\\'e2\\'e5\\'f2", "\u041f\u0440\u0438\u0432\u0435\u0442",
                      "\\ansi\\ansicpg1251"},
        recovery_case{"Gbk", "\\'d6\\'d0\\'ce\\'c4", "\u4e2d\u6587", "\\ansi\\ansicpg936"},
        recovery_case{"Utf8", "\\'e2\\'82\\'ac", "\u20ac", "\\ansi\\ansicpg65001"},
        recovery_case{"Mac", "\\'8e", "\u00e9", "\\mac"},
        recovery_case{"JohabAs1252", "\\'e9", "\u00e9", "\\ansi\\ansicpg1361"},
        recovery_case{"ShiftJisBadTrail", "\\'82\\'a0\\'ff", "\u3042\ufffd", "\\ansi\\ansicpg932"},
        // Shift-JIS as Outlook writes it: lead bytes escaped, trail bytes that are ASCII letters left as they are.
        recovery_case{"ShiftJisAsciiTrails", "\\'93d\\'8eq\\'83\\'81\\'81[\\'83\\'8b Microsoft",
                      "\u96fb\u5b50\u30e1\u30fc\u30eb Microsoft", "\\ansi\\ansicpg932"}),
    [](const testing::TestParamInfo<recovery_case>& info) { return std::string(info.param.name); });

TEST(RtfToHtml, DecodesBytesInTheCharsetOfTheCurrentFont) {
    // Outside tags the font decides; inside a tag the document's code page does, whatever font is current.
    // The font names (in the font's own charset) are not text.
    const std::string fonts =
        "{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}{\\f1\\fmodern\\fcharset128 \\'82\\'6c\\'82\\'72 Gothic;}}";
    EXPECT_EQ(recovered(fonts + "\\f0 \\'e9{\\f1 \\'82\\'b1\\'93d{\\*\\htmltag4 \\'e9}}\\'e9"),
              "\u00e9\u3053\u96fb\u00e9\u00e9");
    EXPECT_EQ(document_body("{\\rtf1\\ansi\\ansicpg1252" + fonts + "\\f1 \\'82\\'b1\\'82\\'cc}"),
              "<p>\u3053\u306e</p>\n");
}

TEST(RtfToHtml, RejectsTextThatIsNotRtf) {
    for (const std::string_view input : {"", "hello", "{\\rt", "{rtf1}", "\\rtf1"}) {
        std::string html = "unchanged";
        EXPECT_FALSE(ConvertRtfToHtml(input, html)) << input;
        EXPECT_EQ(html, "unchanged");
    }
}

struct document_case {
    const char* name;
    std::string rtf;
    std::string body;  // expected <body> contents
};

void PrintTo(const document_case& c, std::ostream* os) {
    *os << c.name;
}

class RtfToHtmlDocument : public testing::TestWithParam<document_case> {};

// Ordinary and damaged RTF alike give a whole document, never an exception.
TEST_P(RtfToHtmlDocument, GivesTheBodyItShould) {
    std::string html;
    ASSERT_NO_THROW(EXPECT_TRUE(ConvertRtfToHtml(GetParam().rtf, html)));
    EXPECT_EQ(document_body(GetParam().rtf), GetParam().body);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RtfToHtmlDocument,
    testing::Values(
        // An encapsulated-text body as Aspose.Email writes it (CR LF between lines).
        document_case{
            "EncapsulatedTextFromAspose",
            "{\\rtf1\\ansi\\fbidis\\ansicpg1252\\deff0\\deftab720\\fromtext{\\fonttbl{\\f0\\fswiss\\fcharset0 "
            "Times New Roman;}{\\f1\\fswiss\\fcharset2\r\nSymbol;}}\r\n{\\colortbl;\\red192\\green192\\blue192;}"
            "\r\n\\viewkind5\\viewscale100\r\n{\\*\\bkmkstart BM_BEGIN}\\pard\\ql\\plain\\fs20\\f0{Body}}\r\n",
            "<p><span style=\"font-size:10pt\">Body</span></p>\n"},
        document_case{"EncapsulatedTextIsEscaped",
                      "{\\rtf1\\ansi\\fromtext \\pard\\plain{First line\\line\r\nFrom: a <b@c> & \"d\""
                      "\\par\r\n\\par\r\nlast\\tab end}}",
                      "<p>First line<br>From: a &lt;b@c&gt; &amp; &quot;d&quot;</p>\n<p><br></p>\n<p>last\tend</p>\n"},
        document_case{
            "CharacterAndParagraphFormatting",
            "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red255\\green0\\blue0;\\red0\\green0"
            "\\blue128;}\r\n{\\stylesheet{\\s0 Normal;}}{\\info{\\title Hidden}}{\\*\\generator Word;}\r\n"
            "\\pard Plain {\\b bold} {\\i it}\\par\r\n"
            "\\qc {\\ul under}\\ulnone  {\\strike gone} {\\fs31\\cf1\\highlight2 big red}\\line next\\tab x"
            "\\par\r\n\\pard\\par\r\n{\\b\\i both}\\b0 {\\pict\\pngblip 89504e47}{\\v hidden}\\v gone\\plain done}",
            "<p>Plain <b>bold</b> <i>it</i></p>\n"
            "<p style=\"text-align:center\"><u>under</u> <s>gone</s> "
            "<span style=\"font-size:15.5pt;color:#ff0000;background-color:#000080\">big red</span><br>next\tx"
            "</p>\n<p><br></p>\n<p><b><i>both</i></b>done</p>\n"},
        document_case{"HyperlinkFieldsBecomeLinks",
                      "{\\rtf1 See {\\field{\\*\\fldinst{HYPERLINK \"http://example.com/?a=1&b=2\" }}"
                      "{\\fldrslt{\\ul Example}}} and {\\field{\\*\\fldinst HYPERLINK \\\\l \"top\"}"
                      "{\\fldrslt here}}{\\field{\\*\\fldinst PAGE}{\\fldrslt 3}}.}",
                      "<p>See <a href=\"http://example.com/?a=1&amp;b=2\"><u>Example</u></a> and "
                      "<a href=\"#top\">here</a>3.</p>\n"},
        // Switches with and without arguments around the target.
        document_case{"HyperlinkSwitches",
                      "{\\rtf1 {\\field{\\*\\fldinst HYPERLINK \\\\o \"tip\" \\\\m \"http://x/\" \\\\t \"_blank\"}"
                      "{\\fldrslt x}}}",
                      "<p><a href=\"http://x/\">x</a></p>\n"},
        // A picture replaced on its own, and a shppict/nonshppict pair whose fallback must not show twice.
        document_case{"PicturePlaceholdersShowAsText",
                      "{\\rtf1 a{\\rtfltr\\fs16 <<< Attachment : Image 1.png >>>}"
                      "{\\*\\shppict{\\rtfltr\\fs16 <<< Attachment : Image -123.png >>>}}"
                      "{\\nonshppict{\\rtfltr\\fs16 <<< Attachment : Image 2.wmf >>>}}b}",
                      "<p>a<span style=\"font-size:8pt\">&lt;&lt;&lt; Attachment : Image 1.png &gt;&gt;&gt;"
                      "&lt;&lt;&lt; Attachment : Image -123.png &gt;&gt;&gt;</span>b</p>\n"},
        document_case{"Unclosed", "{\\rtf1 abc{\\b def", "<p>abc<b>def</b></p>\n"},
        document_case{"TooManyCloses", "{\\rtf1 abc}}}} ignored{", "<p>abc</p>\n"},
        document_case{"TruncatedHexByte", "{\\rtf1 a\\'8", "<p>a8</p>\n"},
        document_case{"TruncatedControlWord", "{\\rtf1 a\\", "<p>a</p>\n"},
        document_case{"AbsurdParameters", "{\\rtf1\\uc99999999999\\fs-99999999999 a\\u99999999999 bc}",
                      "<p><span style=\"font-size:1pt\">a\ufffd</span></p>\n"},
        document_case{"BinaryLongerThanInput", "{\\rtf1 a\\bin99999999999 bc}", "<p>a</p>\n"},
        document_case{"NegativeBinaryLength", "{\\rtf1 a\\bin-5 bc}", "<p>abc</p>\n"},
        document_case{"HighSurrogateAlone", "{\\rtf1 \\u-10179?x}", "<p>\ufffdx</p>\n"},
        document_case{"ZeroBytes", std::string("{\\rtf1 a\0b}\0\0", 12), "<p>ab</p>\n"},
        document_case{"DeepNesting", "{\\rtf1 a" + std::string(100000, '{') + "x" + std::string(100000, '}') + "b}",
                      "<p>ab</p>\n"},
        document_case{"DeepNestingNeverClosed", "{\\rtf1 a" + std::string(100000, '{') + "x", "<p>a</p>\n"},
        document_case{"ControlCharacters", "{\\rtf1 a\\'01\\'1b\\'7f b}", "<p>a\x7f b</p>\n"}),
    [](const testing::TestParamInfo<document_case>& info) { return std::string(info.param.name); });

TEST(RtfToHtml, DamagedEncapsulatedHtmlStillGivesWhatItHas) {
    std::string html;
    ASSERT_NO_THROW(ConvertRtfToHtml("{\\rtf1\\fromhtml1 {\\*\\htmltag19 <html>}{\\*\\htmltag64 <p", html));
    EXPECT_EQ(html, "<html><p");
    const std::string deep = "{\\rtf1\\fromhtml1 {\\*\\htmltag19 <html>}" + std::string(100000, '{') + "x" +
                             std::string(100000, '}') + "{\\*\\htmltag27 </html>}}";
    ASSERT_NO_THROW(ConvertRtfToHtml(deep, html));
    EXPECT_EQ(html, "<html></html>");
}

// The RTF bodies of the sample files: the value found by its sizes, decompressed by the module's own decoder.
std::optional<std::string> corpus_rtf(const std::string& file, std::uint32_t compressed, std::uint32_t raw) {
    const auto value = mftest::corpus_rtf_value(file, compressed, raw);
    if (!value) return std::nullopt;
    std::string text;
    std::vector<rtf_picture_info> pictures;
    DecompressRtf(mftest::ascii(*value), text, pictures);
    return text;
}

TEST(RtfToHtmlCorpus, ConvertsTheWordBodyOfTheRecurringAppointment) {
    MF_REQUIRE_CORPUS();
    // A Word body with fonts, styles, theme and list tables.
    const std::optional<std::string> rtf = corpus_rtf("recurring-distlist.pst", 3210, 9752);
    ASSERT_TRUE(rtf.has_value());
    ASSERT_EQ(rtf->size(), 9752u);
    EXPECT_EQ(document_body(*rtf), "<p><span style=\"font-size:11pt\">This is a complete test</span></p>\n");
}

TEST(RtfToHtmlCorpus, RecoversTheHtmlOfTheInlineImageMessage) {
    MF_REQUIRE_CORPUS();
    const std::optional<std::string> rtf = corpus_rtf("rtf-html-inline.pst", 9056, 42418);
    ASSERT_TRUE(rtf.has_value());
    ASSERT_EQ(rtf->size(), 42418u);
    std::string html;
    ASSERT_TRUE(ConvertRtfToHtml(*rtf, html));
    EXPECT_TRUE(html.starts_with("<html xmlns:v=\"urn:schemas-microsoft-com:vml\"")) << html.substr(0, 100);
    EXPECT_TRUE(html.ends_with("</body></html>"));
    // The visible message: the inline picture and the empty paragraph after it.
    EXPECT_NE(html.find("<p class=MsoNormal><span lang=EN-US style='font-size:10.0pt;mso-bidi-font-size:11.0pt;"
                        "mso-no-proof:yes'><img width=256 height=32 id=\"&#22259;_x0020_1\" "
                        "src=\"cid:image001.png@01D78380.EF6DC500\"></span>"),
              std::string::npos);
    EXPECT_NE(html.find("<o:p>&nbsp;</o:p></span></p></div></body>"), std::string::npos);
    // Style sheets keep their line breaks, tabs and escaped braces.
    EXPECT_NE(html.find("@font-face\r\n\t{font-family:\"Cambria Math\";\r\n"), std::string::npos);
    EXPECT_EQ(html.find("\\htmlrtf"), std::string::npos);
}

}  // namespace
}  // namespace mailferry
