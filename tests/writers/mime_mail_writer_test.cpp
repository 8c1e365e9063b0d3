#include "writers/mime_mail_writer.h"

#include <gtest/gtest.h>

#include <functional>

#include "mail_writer_fixture.h"
#include "pstcore/messaging/messaging_format.h"
#include "pstwrite/rtf_compress.h"
#include "writers/mime_parts_internal.h"

namespace mftest {
namespace {

using pstwrite::prop::i32;
using pstwrite::prop::time;
using Strings = std::vector<std::string>;

pstwrite::bytes Bytes(std::size_t size) {
    pstwrite::bytes data(size);
    for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<std::byte>(i * 31 % 251);
    return data;
}

class MimeMailWriterTest : public MailWriterTest {};

TEST_F(MimeMailWriterTest, WritesAPlainMessageExactly) {
    auto& m = AddMail(u"Hello");
    m.set(0x0E06, time(pstwrite::filetime(2024, 5, 1, 9, 31)));
    m.set_body(u"Hi Ben,\r\nsee you.\r\n");
    const std::string headers =
        "Status: R\r\n"
        "From: \"Anna Berg\" <anna@example.com>\r\n"
        "To: \"Ben Cole\" <ben@example.com>\r\n"
        "Date: Wed, 01 May 2024 09:30:00 +0000\r\n"
        "Delivery-Date: Wed, 01 May 2024 09:30:00 +0000\r\n"
        "Received: by localhost; Wed, 01 May 2024 09:30:00 +0000\r\n"
        "Subject: Hello\r\n"
        "Message-ID: <UUID-1@102>\r\n"
        "MIME-Version: 1.0\r\n"
        "Content-Type: text/plain;charset=\"UTF-8\"\r\n"
        "\r\n";
    EXPECT_EQ(Mail(m.nid()), headers + "Hi Ben,\r\nsee you.\r\n\r\n\r\n");

    std::string mbox = headers;
    for (std::size_t at; (at = mbox.find("\r\n")) != std::string::npos;) mbox.replace(at, 2, "\n");
    EXPECT_EQ(Mail(m.nid(), true), "From - Wed May 01 09:31:00 2024\n" + mbox + "Hi Ben,\nsee you.\n\n\n");
}

TEST_F(MimeMailWriterTest, NestsStructuresByBodiesAndAttachments) {
    struct Case {
        const char* name;
        std::function<void(pstwrite::message_builder&)> fill;
        std::string skeleton;
    };
    const std::string html = "<html><body>Hi</body></html>";
    auto picture = [](pstwrite::message_builder& m, std::u16string name) {
        m.add_attachment().set_data(name, Bytes(10), u"image/png").set(0x3712, m.text(name + u"@cid"));
    };
    const Case cases[] = {
        {"neither body", [](auto&) {}, R"(text/plain;charset="UTF-8")"},
        // Alone, the HTML body names a charset only when the message names a code page.
        {"HTML only", [&](auto& m) { m.set_html(html); }, R"(text/html)"},
        {"hidden attachment only",
         [](auto& m) {
             m.set_body(u"x");
             m.add_attachment().set_data(u"a.txt", Bytes(3)).set(0x7FFD, i32(2));
         },
         R"(text/plain;charset="UTF-8")"},
        {"plain, HTML and an attachment",
         [&](auto& m) {
             m.set_body(u"x");
             m.set_html(html);
             m.add_attachment().set_data(u"a.txt", Bytes(3), u"text/plain");
         },
         R"(mixed[ |mixed alternative[ |alternate text/plain;charset="UTF-8" |alternate )"
         R"(text/html;charset="windows-1252" alternate] |mixed text/plain; name= "a.txt" mixed])"},
        {"plain, HTML and an inline picture",
         [&](auto& m) {
             m.set_body(u"x");
             m.set_html(html);
             picture(m, u"p.png");
         },
         R"(related[ |related alternative[ |alternate text/plain;charset="UTF-8" |alternate )"
         R"(text/html;charset="windows-1252" alternate] |related image/png; name= "p.png" related])"},
        // Pictures first in the reverse of their order; the nested related part closes before the document.
        {"two inline pictures and a document",
         [&](auto& m) {
             m.set_body(u"x");
             m.set_html(html);
             picture(m, u"one.png");
             m.add_attachment().set_data(u"doc.pdf", Bytes(3), u"application/pdf");
             picture(m, u"two.png");
         },
         R"(mixed[ |mixed related[ |related alternative[ |alternate text/plain;charset="UTF-8" |alternate )"
         R"(text/html;charset="windows-1252" alternate] |related image/png; name= "two.png" |related image/png; )"
         R"(name= "one.png" related] |mixed application/pdf; name= "doc.pdf" mixed])"},
        {"an OLE object and a file by reference leave empty parts",
         [](auto& m) {
             m.set_body(u"x");
             m.add_attachment().set_ole(u"Bitmap", Bytes(8));
             m.add_attachment().set_by_reference(u"C:\\budget.xlsx");
         },
         R"(mixed[ |mixed text/plain;charset="UTF-8" |mixed |mixed mixed])"},
        // The RTF's picture goes to the mixed part, after the related part of the inline picture is closed.
        {"RTF body with a picture and an inline picture",
         [&](auto& m) {
             m.set_body(u"x");
             m.set_rtf(std::string("{\\rtf1\\ansi x{\\pict\\pngblip ") + std::string(100, 'a') + "}}");
             picture(m, u"p.png");
         },
         R"(mixed[ |mixed related[ |related alternative[ |alternate text/plain;charset="UTF-8" |alternate )"
         R"(text/html;charset="UTF-8" alternate] |related image/png; name= "p.png" related] |mixed )"
         R"(application/octet-stream; name= "Image 1.png" mixed])"},
    };
    std::vector<std::uint32_t> nids;
    for (const Case& c : cases) {
        auto& m = AddMail(u"Structure");
        c.fill(m);
        nids.push_back(m.nid());
    }
    for (std::size_t i = 0; i < nids.size(); ++i)
        EXPECT_EQ(Skeleton(Mail(nids[i])), cases[i].skeleton) << cases[i].name;
}

// The mail check reads names and data back; here the forms it accepts either way, and the inline picture's fields.
TEST_F(MimeMailWriterTest, WritesAttachmentHeadersAndData) {
    auto& m = AddMail(u"Attachments");
    m.set_body(u"x");
    m.add_attachment()
        .set_data(u"B\u00fcro.png", pstwrite::to_bytes("abc"), u"image/png")
        .set(0x3712, m.text(u"id@x"))
        .set(0x3713, m.text(u"http://x/b.png"));
    // A non-ASCII name: the encoded word between quotes, then its RFC 2231 form.
    EXPECT_NE(
        Mail(m.nid()).find("Content-Type: image/png; name= \"=?utf-8?B?QsO8cm8ucG5n?=\"; name*=UTF-8''B%C3%BCro.png\r\n"
                           "Content-Transfer-Encoding: base64\r\n"
                           "Content-Disposition: attachment; filename= \"=?utf-8?B?QsO8cm8ucG5n?=\"; "
                           "filename*=UTF-8''B%C3%BCro.png\r\n"
                           "Content-Location: http://x/b.png\r\n"
                           "Content-ID: <id@x>\r\n"
                           "\r\n"
                           "YWJj\r\n"),
        std::string::npos);
}

TEST_F(MimeMailWriterTest, LosesOnlyTheAttachmentWhoseDataCannotBeRead) {
    auto& m = AddMail(u"Damaged");
    m.set_body(u"x");
    pstwrite::bytes missing;  // an object reference to a subnode the attachment does not have
    pstwrite::put_u32(missing, 0x7FE1);
    pstwrite::put_u32(missing, 100);
    m.add_attachment().set_data(u"lost.txt", {}).set(0x3701, pstwrite::prop::value{pstwrite::prop::pt_object, missing});
    m.add_attachment().set_data(u"kept.txt", pstwrite::to_bytes("abc"));
    const std::string text = Mail(m.nid());
    EXPECT_EQ(Diagnostics(), Strings{"Corrupt VALUE attachment"});
    EXPECT_NE(text.find("filename= \"kept.txt\"\r\n\r\n\r\nYWJj"), std::string::npos);
    EXPECT_TRUE(text.ends_with("------=_mixed_next_part_102--\r\n\r\n\r\n"));
}

TEST_F(MimeMailWriterTest, ComposesHeadersFromProperties) {
    auto& m = AddMail(u"Headers");
    m.set_text(0x0065, u"/O=EXAMPLE/CN=ANNA").set_text(0x0064, u"EX");
    m.set_text(0x0C1A, u"J\u00fcrgen").set_text(0x0C1F, u"j@example.com").set_text(0x0C1E, u"SMTP");
    m.add_recipient({u"Erik Falk", u"/O=EXAMPLE/CN=ERIK", pstwrite::recipient_kind::cc, u"EX", u"erik@example.com"});
    m.add_recipient({u"", u"c@example.com", pstwrite::recipient_kind::cc});
    m.add_recipient({u"Dora", u"d@example.com", pstwrite::recipient_kind::bcc});
    m.set_text(0x0050, u"Anna;Team").set_text(0x3FFC, u"a@example.com,t@example.com");
    m.set(0x0026, i32(-1)).set(0x0017, i32(2)).set(0x0E07, i32(0));
    m.set_text(0x1042, u"<parent@x>").set_text(0x1039, u"<root@x> <parent@x>").set_text(0x1035, u"<me@x>");
    m.set_text(0x1046, u"bounce@example.com");
    const std::string text = Mail(m.nid());
    EXPECT_EQ(text.substr(0, text.find("Content-Type:")),
              "Return-Path: <bounce@example.com>\r\n"
              "Status: N\r\n"
              "From: \"Anna Berg\" <>\r\n"
              "Sender: =?utf-8?B?SsO8cmdlbg==?= <j@example.com>\r\n"
              "To: \"Ben Cole\" <ben@example.com>\r\n"
              "Cc: \"Erik Falk\" <erik@example.com>,\r\n"
              " \"c@example.com\" <c@example.com>\r\n"
              "Bcc: \"Dora\" <d@example.com>\r\n"
              "Reply-To: \"Anna\" <a@example.com>,\r\n"
              " \"Team\" <t@example.com>\r\n"
              "Date: Wed, 01 May 2024 09:30:00 +0000\r\n"
              "Delivery-Date: Wed, 01 May 2024 09:30:00 +0000\r\n"
              "Received: by localhost; Wed, 01 May 2024 09:30:00 +0000\r\n"
              "Subject: Headers\r\n"
              "Message-ID: <me@x>\r\n"
              "Priority: nourgent\r\n"
              "X-Priority: 5 (Low)\r\n"
              "Importance: High\r\n"
              "In-Reply-To: <parent@x>\r\n"
              "References: <root@x> <parent@x>\r\n"
              "MIME-Version: 1.0\r\n");
}

TEST_F(MimeMailWriterTest, NumbersEachMessageAfresh) {
    auto& m = AddMail(u"Numbers");
    m.set_body(u"x");
    mailferry::MIMEMailWriter writer = Writer(false);
    mailferry::MIMEMailWriter::SetNextBoundaryNumber(0xFFFFFFFE);
    std::string text;
    mailferry::StringSink sink(text);
    pstcore::message message = Message(m.nid());
    writer.Write(sink, &message);
    writer.Write(sink, &message);
    // Two numbers a message, the second one used; the counter wraps, and the id is written signed.
    EXPECT_NE(text.find("Message-ID: <UUID-1@-1>\r\n"), std::string::npos);
    EXPECT_NE(text.find("Message-ID: <UUID-1@1>\r\n"), std::string::npos);
    EXPECT_EQ(writer.Write(sink, nullptr), -1);
}

TEST_F(MimeMailWriterTest, KeepsStoredHeadersButTheirContentFields) {
    auto& m = AddMail(u"Stored");
    m.set_body(u"x");
    m.set_text(0x007D,
               u"Received: by mx;\r\n\tSun, 5 May 2024 09:29:58 +0000\r\nFrom: a@x\r\nSubject: Stored\r\n"
               u"Content-Type: multipart/alternative;\r\n\tboundary=\"b\"\r\nDate: Sun, 5 May 2024 09:30:00 +0000\r\n"
               u"not a field\r\n\r\n--b\r\nX-After: body\r\n");
    auto& undated = AddMail(u"Undated");
    undated.set_text(0x007D, u"From: a@x\r\nSubject: Undated\r\n");
    EXPECT_EQ(Mail(m.nid()),
              "Received: by mx;\r\n\tSun, 5 May 2024 09:29:58 +0000\r\nFrom: a@x\r\nSubject: Stored\r\n"
              "Date: Sun, 5 May 2024 09:30:00 +0000\r\n"
              "MIME-Version: 1.0\r\n"
              "Content-Type: text/plain;charset=\"UTF-8\"\r\n\r\nx\r\n\r\n");
    EXPECT_TRUE(Mail(undated.nid()).starts_with("Status: R\r\nFrom: \"Anna Berg\" <anna@example.com>\r\n"));
}

TEST_F(MimeMailWriterTest, WritesPriorityAndImportance) {
    const std::tuple<std::int32_t, std::string, std::int32_t, std::string> cases[] = {
        {-1, "Priority: nourgent\r\nX-Priority: 5 (Low)\r\n", 0, "Importance: Low\r\n"},
        {1, "Priority: urgent\r\nX-Priority: 1 (High)\r\n", 2, "Importance: High\r\n"},
        {7, "Priority: normal\r\nX-Priority: 3 (Normal)\r\n", 1, "Importance: Normal\r\n"},
    };
    std::vector<std::uint32_t> nids;
    for (const auto& [priority, priorityLines, importance, importanceLine] : cases)
        nids.push_back(AddMail(u"Priority").set(0x0026, i32(priority)).set(0x0017, i32(importance)).nid());
    for (std::size_t i = 0; i < nids.size(); ++i) {
        const auto& [priority, priorityLines, importance, importanceLine] = cases[i];
        EXPECT_NE(Mail(nids[i]).find(priorityLines + importanceLine), std::string::npos) << priority;
    }
}

TEST_F(MimeMailWriterTest, WritesSignedAndEncryptedMailAroundTheirAttachment) {
    auto& signedMail = AddMail(u"Signed");
    signedMail.set_text(0x001A, u"IPM.Note.SMIME.MultipartSigned");
    signedMail.add_attachment().set_data(u"smime.p7m",
                                         pstwrite::to_bytes("Content-Type: multipart/signed; boundary=\"s\";\r\n"
                                                            "\tprotocol=\"application/pkcs7-signature\"\r\n"
                                                            "X-Dropped: yes\r\n\tcontinued\r\n"
                                                            "\r\n--s\r\n\r\nFrom me\r\n--s--\r\n"),
                                         u"multipart/signed");
    auto& twoAttachments = AddMail(u"Two");
    twoAttachments.set_text(0x001A, u"IPM.Note.SMIME.MultipartSigned");
    twoAttachments.add_attachment().set_data(u"a", Bytes(1), u"multipart/signed");
    twoAttachments.add_attachment().set_data(u"b", Bytes(1), u"multipart/signed");
    auto& encrypted = AddMail(u"Encrypted");
    encrypted.set_text(0x001A, u"ipm.note.smime");
    auto& data = encrypted.add_attachment();
    data.set(0x3705, i32(1)).set(0x3701, pstwrite::prop::binary(std::string_view("abc")));
    data.set(0x370E, encrypted.text(u"application/octet-stream")).set(0x3704, encrypted.text(u"x.p7m"));
    auto& bare = AddMail(u"Bare");
    bare.set_text(0x001A, u"IPM.Note.SMIME");
    bare.add_attachment().set(0x3705, i32(1)).set(0x370E, bare.text(u"application/pkcs7-mime"));
    auto& longClass = AddMail(u"Long class");
    longClass.set_text(0x001A, u"IPM.Note.SMIME" + std::u16string(300, u'x'));
    longClass.add_attachment().set_data(u"a.p7m", Bytes(3), u"application/pkcs7-mime");

    const std::string text = Mail(signedMail.nid());
    EXPECT_EQ(text.substr(text.find("MIME-Version")),
              "MIME-Version: 1.0\r\nContent-Type: multipart/signed; boundary=\"s\";\r\n"
              "\tprotocol=\"application/pkcs7-signature\"\r\n\r\n--s\r\n\r\nFrom me\r\n--s--\r\n\r\n\r\n");
    EXPECT_NE(text.find("Message-ID: <UUID-1@101>"), std::string::npos);  // one number only
    // In MBOX text the signed body is escaped, and its last line end no longer runs into the next message.
    const std::string mbox = Mail(signedMail.nid(), true);
    EXPECT_TRUE(mbox.ends_with("\n>From me\n--s--\n\n\n")) << mbox;

    EXPECT_NE(Mail(twoAttachments.nid()).find("Content-Type: multipart/mixed;"), std::string::npos);
    EXPECT_TRUE(Mail(encrypted.nid())
                    .ends_with("MIME-Version: 1.0\r\n"
                               "Content-Type:application/octet-stream; name=\"x.p7m\"\r\n"
                               "Content-Transfer-Encoding: base64\r\n"
                               "Content-Disposition: attachment;filename=smime.p7m\r\n"
                               "\r\nYWJj\r\n\r\n"));
    EXPECT_NE(Mail(bare.nid()).find("Content-Type:application/pkcs7-mime; name=smime.p7m\r\n"), std::string::npos);
    // A message class of any length is compared whole, never cut or refused.
    EXPECT_NE(Mail(longClass.nid()).find("Content-Type: multipart/mixed;"), std::string::npos);
}

TEST_F(MimeMailWriterTest, TakesTheContentTypeOfEncryptedMailFromItsInternetHeader) {
    auto& m = AddMail(u"Encrypted");
    m.set_text(0x001A, u"IPM.Note.SMIME");
    m.set_named(pstwrite::named_property{pstwrite::PS_INTERNET_HEADERS, std::u16string(u"content-type")},
                m.text(u" application/pkcs7-mime; smime-type=enveloped-data"));
    m.add_attachment().set_data(u"smime.p7m", Bytes(3), u"application/pkcs7-mime");
    mailferry::MIMEMailWriter writer = Writer(false);
    writer.LookUpContentTypeProperty(Pst());
    std::string text;
    mailferry::StringSink sink(text);
    pstcore::message message = Message(m.nid());
    writer.Write(sink, &message);
    EXPECT_NE(text.find("\r\nContent-Type: application/pkcs7-mime; smime-type=enveloped-data\r\n"), std::string::npos);
}

TEST_F(MimeMailWriterTest, WritesAttachedMessagesWithHeadersOfTheirOwnAndWithinTheNestingLimit) {
    auto& m = AddMail(u"Level 0");
    m.set_body(u"x");
    pstwrite::message_builder* level = &m;
    for (int i = 1; i <= 40; ++i) {
        level = &level->add_attachment().set_embedded_message();
        level->set_subject(u"Level " + pstwrite::widen(std::to_string(i)));
        level->set_body(u"From level " + pstwrite::widen(std::to_string(i)));
    }
    const std::string text = Mail(m.nid(), true);
    EXPECT_EQ(count_of(text, "\nFrom - "), 0u);
    EXPECT_TRUE(text.starts_with("From - "));
    EXPECT_EQ(count_of(text, "\n>From level "), pstcore::k_max_embedded_depth);
    EXPECT_EQ(count_of(text, "Content-Type: message/rfc822\n"), pstcore::k_max_embedded_depth);
    EXPECT_EQ(Diagnostics(), Strings{"Corrupt message attachment"});
    // Each level numbers its boundaries anew: two numbers a level.
    EXPECT_NE(text.find("\nSubject: Level 1\nMessage-ID: <UUID-2@104>\n"), std::string::npos);
    EXPECT_NE(text.find("boundary=\"----=_mixed_next_part_104\""), std::string::npos);
    EXPECT_NE(text.find("\nSubject: Level 2\nMessage-ID: <UUID-3@106>\n"), std::string::npos);
}

TEST_F(MimeMailWriterTest, WritesTheRtfPictureAsItsBytes) {
    auto& m = AddMail(u"Picture");
    m.set_rtf("{\\rtf1\\ansi x{\\pict\\pngblip\r\n" + std::string(50, '4') + "\r\n" + std::string(50, '1') + "}}");
    const std::string text = Mail(m.nid());
    // 100 hex digits are 50 bytes: 25 of 0x44 and 25 of 0x11.
    EXPECT_NE(text.find("Content-Disposition: attachment; filename= \"Image 1.png\"\r\n\r\n\r\n"
                        "RERERERERERERERERERERERERERERERERBERERERERERERERERERERERERERERERERE=\r\n\r\n"),
              std::string::npos)
        << text;
}

TEST_F(MimeMailWriterTest, EscapesHtmlFromRtfOnlyInMbox) {
    auto& m = AddMail(u"RTF");
    m.set_rtf(pstwrite::rtf_from_html("<html><body>\r\nFrom here\r\n</body></html>"));
    EXPECT_NE(Mail(m.nid()).find("\nFrom here"), std::string::npos);
    EXPECT_NE(Mail(m.nid(), true).find("\n>From here"), std::string::npos);
}

TEST_F(MimeMailWriterTest, KeepsHeaderValuesOnOneLine) {
    auto& m = AddMail(u"One\r\nFrom - Mon Jan 01 00:00:00 2024\r\n\r\nTwo");
    m.set_text(0x0042, u"Anna\nBerg");
    const std::string text = Mail(m.nid(), true);
    EXPECT_NE(text.find("\nSubject: One  From - Mon Jan 01 00:00:00 2024    Two\n"), std::string::npos);
    EXPECT_NE(text.find("\nFrom: \"Anna Berg\" <anna@example.com>\n"), std::string::npos);
    EXPECT_EQ(count_of(text, "\nFrom - "), 0u);
}

// Text the code page cannot hold goes as UTF-8: the mail check reads that back from the mail samples.
TEST_F(MimeMailWriterTest, WritesThePlainBodyInTheCodePageTheMessageNames) {
    // A character across the place where the stream is read in pieces stays whole.
    std::u16string smileys = u"a";
    std::string smileysUtf8 = "a";
    for (int i = 0; i < 5000; ++i) {
        smileys += u"\U0001F600";
        smileysUtf8 += "\xf0\x9f\x98\x80";
    }
    const auto& long_body = AddMail(u"Long").set_body(smileys);
    const auto& cafe = AddMail(u"Code page").set(0x3FDE, i32(1252)).set_body(u"Caf\u00e9");
    EXPECT_TRUE(Mail(cafe.nid()).ends_with("Content-Type: text/plain;charset=\"windows-1252\"\r\n\r\nCaf\xe9\r\n\r\n"));
    EXPECT_TRUE(Mail(long_body.nid()).ends_with("\r\n\r\n" + smileysUtf8 + "\r\n\r\n"));
}

TEST_F(MimeMailWriterTest, StreamsAttachmentsInBoundedPieces) {
    class LargestAppend final : public mailferry::OutputSink {
    public:
        void Append(std::string_view bytes) override {
            total += bytes.size();
            largest = std::max(largest, bytes.size());
        }
        std::size_t total = 0, largest = 0;
    };
    auto& m = AddMail(u"Large");
    m.add_attachment().set_data(u"large.bin", Bytes(3 << 20));
    LargestAppend sink;
    mailferry::MIMEMailWriter writer = Writer(true);
    pstcore::message message = Message(m.nid());
    writer.Write(sink, &message);
    EXPECT_GT(sink.total, 4u << 20);
    EXPECT_LT(sink.largest, 256u << 10);
}

class AnsiMailWriterTest : public MailWriterTest {
protected:
    AnsiMailWriterTest() : MailWriterTest(pstwrite::format::ansi) {}
};

TEST_F(AnsiMailWriterTest, CopiesAnEightBitBodyInTheSessionsCodePage) {
    auto& m = AddMail(u"Caf\u00e9");
    m.set_body(u"Caf\u00e9");
    const std::string text = Mail(m.nid());
    EXPECT_NE(text.find("Subject: =?utf-8?B?Q2Fmw6k=?=\r\n"), std::string::npos);
    EXPECT_TRUE(text.ends_with("Content-Type: text/plain;charset=\"windows-1252\"\r\n\r\nCaf\xe9\r\n\r\n"));
}

}  // namespace
}  // namespace mftest
