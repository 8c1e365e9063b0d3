#include "mail_samples.h"

#include <string>

#include "store_items.h"

namespace pstwrite {

namespace {

constexpr std::int32_t attach_flag_hidden = 2;  // PidTagAttachmentFlags afException

message_builder& add_mail(folder_builder& folder, std::u16string_view subject, int day,
                          std::string_view message_class = "IPM.Note") {
    auto& m = folder.add_message(message_class);
    m.set_subject(subject);
    for (std::uint16_t id : {0x0C1A, 0x0042}) m.set_text(id, u"Anna Berg");
    for (std::uint16_t id : {0x0C1F, 0x0065}) m.set_text(id, u"anna@example.com");
    for (std::uint16_t id : {0x0C1E, 0x0064}) m.set_text(id, u"SMTP");
    const std::uint64_t when = filetime(2024, 5, day, 9, 30);
    m.set(0x0039, prop::time(when));
    m.set(0x0E06, prop::time(when + 600'000'000ull));
    m.set(0x3008, prop::time(when));
    m.add_recipient({u"Ben Cole", u"ben@example.com", recipient_kind::to});
    return m;
}

bytes pattern(std::size_t size, unsigned seed) {
    bytes data(size);
    for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<std::byte>((i * 7 + seed + (i >> 8)) & 0xFF);
    return data;
}

void add_from_lines(folder_builder& folder) {
    auto& m = add_mail(folder, u"Gr\u00fc\u00dfe aus K\u00f6ln", 1);
    for (std::uint16_t id : {0x0C1A, 0x0042}) m.set_text(id, u"J\u00fcrgen Gro\u00df");
    m.set_body(
        u"a\r\nFrom b\r\n>From c\r\n>>From d\r\nFrom: e\r\nFromage\r\n  From f\r\nFrom\r\n\r\nFrom the end, "
        u"with \u00e9t\u00e9\nlast line\n");
    m.add_recipient({u"Carla D\u00edaz", u"carla@example.com", recipient_kind::to});
    m.add_recipient({u"Dirk Eck", u"dirk@example.com", recipient_kind::cc});
    m.add_recipient({u"", u"hidden@example.com", recipient_kind::bcc});
    m.set_text(0x0050, u"Anna Berg;Team");  // PidTagReplyRecipientNames
    m.set_text(0x3FFC, u"anna@example.com,team@example.com");
    m.set(0x0026, prop::i32(-1));  // PidTagPriority: non-urgent
    m.set(0x0017, prop::i32(2));   // PidTagImportance: high
    m.set(0x0E07, prop::i32(0));   // unread
}

void add_attachments(folder_builder& folder) {
    auto& m = add_mail(folder, u"Every kind of attachment", 2);
    m.set_body(u"Six attachments, one of them hidden.\r\n");
    m.set_html("<html><body><p>Six attachments, one of them hidden.</p></body></html>");
    m.add_attachment().set_data(u"B\u00fccher \u2013 Liste.txt", to_bytes("Erstes Buch\r\nZweites Buch\r\n"),
                                u"text/plain");
    m.add_attachment().set_data(u"report.pdf", pattern(3000, 1), u"application/pdf");
    auto& bare = m.add_attachment();  // data and method only: no type, no names
    bare.set(0x3705, prop::i32(1));
    bare.set(0x3701, prop::binary(pattern(57 * 3, 2)));
    m.add_attachment().set_ole(u"Picture (Device Independent Bitmap)", pattern(512, 3));
    m.add_attachment().set_by_reference(u"\\\\server\\share\\budget.xlsx");
    m.add_attachment().set_data(u"exception.msg", pattern(100, 4)).set(0x7FFD, prop::i32(attach_flag_hidden));
}

void add_inline_pictures(folder_builder& folder) {
    auto& m = add_mail(folder, u"Inline pictures", 3);
    m.set_body(u"Two pictures and a document.\r\n");
    m.set_html("<html><body><img src=\"cid:one@sample\"><img src=\"cid:two@sample\"></body></html>");
    m.add_attachment().set_data(u"one.png", pattern(400, 5), u"image/png").set(0x3712, m.text(u"one@sample"));
    m.add_attachment().set_data(u"two.png", pattern(500, 6), u"image/png").set(0x3712, m.text(u"two@sample"));
    m.add_attachment().set_data(u"notes.txt", to_bytes("notes\r\n"), u"text/plain");
}

void add_nested(folder_builder& folder) {
    auto& m = add_mail(folder, u"Three levels", 4);
    m.set_body(u"The first level.\r\n");
    auto& second = m.add_attachment().set_embedded_message();
    second.set_subject(u"The second level");
    second.set_body(u"The second level.\r\nFrom inside the second level.\r\n");
    second.set_text(0x0042, u"Carla D\u00edaz");
    second.set_text(0x0065, u"carla@example.com");
    second.set(0x0039, prop::time(filetime(2024, 4, 30, 8, 0)));
    second.add_recipient({u"Anna Berg", u"anna@example.com", recipient_kind::to});
    second.add_attachment().set_data(u"second.bin", pattern(1000, 7), u"application/octet-stream");
    auto& third = second.add_attachment().set_embedded_message();
    third.set_subject(u"The third level");
    third.set_body(u"The third level.\r\n");
    third.set_text(0x0042, u"Dirk Eck");
    third.set_text(0x0065, u"dirk@example.com");
    third.add_attachment().set_data(u"third.txt", to_bytes("deep\r\n"), u"text/plain");
}

void add_stored_headers(folder_builder& folder) {
    auto& m = add_mail(folder, u"Stored headers", 5);
    m.set_body(u"Headers as they arrived.\r\n");
    m.set_text(0x007D,
               u"Received: from mx.example.com by mail.example.com;\r\n"
               u"\tSun, 5 May 2024 09:29:58 +0000\r\n"
               u"From: \"Anna Berg\" <anna@example.com>\r\n"
               u"To: \"Ben Cole\" <ben@example.com>\r\n"
               u"Subject: Stored headers\r\n"
               u"Date: Sun, 5 May 2024 09:30:00 +0000\r\n"
               u"Message-ID: <stored@example.com>\r\n"
               u"Content-Type: multipart/alternative;\r\n"
               u"\tboundary=\"----=_NextPart_000_0001\"\r\n"
               u"Content-Transfer-Encoding: 7bit\r\n"
               u"X-Mailer: Sample\r\n\r\n");
    auto& undated = add_mail(folder, u"Stored headers without a date", 6);
    undated.set_body(u"The writer composes these headers.\r\n");
    undated.set_text(0x007D, u"From: anna@example.com\r\nSubject: Stored headers without a date\r\n\r\n");
}

void add_secure(folder_builder& folder) {
    auto& signed_mail = add_mail(folder, u"Signed", 7, "IPM.Note.SMIME.MultipartSigned");
    signed_mail.add_attachment().set_data(
        u"smime.p7m",
        to_bytes("Content-Type: multipart/signed; protocol=\"application/pkcs7-signature\";\r\n"
                 "\tmicalg=sha-256; boundary=\"----sig\"\r\n"
                 "X-Dropped: yes\r\n"
                 "\r\n"
                 "This is an S/MIME signed message\r\n"
                 "\r\n"
                 "------sig\r\n"
                 "Content-Type: text/plain; charset=\"us-ascii\"\r\n"
                 "\r\n"
                 "Signed text\r\n"
                 "From the signer\r\n"
                 "------sig\r\n"
                 "Content-Type: application/pkcs7-signature; name=\"smime.p7s\"\r\n"
                 "Content-Transfer-Encoding: base64\r\n"
                 "\r\n"
                 "MIAGCSqGSIb3DQEHAqCAMIACAQEx\r\n"
                 "------sig--\r\n"),
        u"multipart/signed");
    auto& encrypted = add_mail(folder, u"Encrypted", 8, "IPM.Note.SMIME");
    encrypted.add_attachment().set_data(u"smime.p7m", pattern(700, 8), u"application/pkcs7-mime");
    encrypted.set_named(named_property{PS_INTERNET_HEADERS, std::u16string(u"content-type")},
                        encrypted.text(u" application/pkcs7-mime; smime-type=enveloped-data; name=\"smime.p7m\""));
}

void add_rtf_picture(folder_builder& folder) {
    auto& m = add_mail(folder, u"RTF with a picture", 9);
    m.set_body(u"Text beside a picture.\r\n");
    std::string hex;
    for (int i = 0; i < 50; ++i) hex += "89504e47"[static_cast<std::size_t>(i % 8)];
    for (int i = 0; i < 50; ++i) hex += "0a1b2c3d4e"[static_cast<std::size_t>(i % 10)];
    m.set_rtf(
        "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0 Arial;}}\\f0 Text beside a picture.\\par\n"
        "{\\pict\\pngblip\\picw10\\pich10\n" +
        hex + "}\\par\n}");
    // A picture with a content ID too: the related part opened for it must close before the RTF's pictures.
    m.add_attachment().set_data(u"logo.png", pattern(300, 9), u"image/png").set(0x3712, m.text(u"logo@sample"));
}

void add_headers_and_addresses(folder_builder& folder) {
    add_mail(folder, u"Neither body", 10);
    auto& exchange = add_mail(folder, u"Exchange addresses", 11);
    exchange.set_body(u"Sent inside an Exchange organisation.\r\n");
    exchange.set_text(0x0064, u"EX");
    exchange.set_text(0x0065, u"/O=EXAMPLE/OU=FIRST ADMINISTRATIVE GROUP/CN=RECIPIENTS/CN=ANNA");
    exchange.set_text(0x0C1E, u"EX");
    exchange.set_text(0x0C1F, u"/O=EXAMPLE/OU=FIRST ADMINISTRATIVE GROUP/CN=RECIPIENTS/CN=ANNA");
    exchange.add_recipient(
        {u"Erik Falk", u"/O=EXAMPLE/CN=RECIPIENTS/CN=ERIK", recipient_kind::cc, u"EX", u"erik@example.com"});
    auto& broken = add_mail(folder, u"Line one\r\nFrom - Mon Jan 01 00:00:00 2024\r\n\r\nInjected", 12);
    broken.set_body(u"A subject with line breaks.\r\n");
    auto& foreign = add_mail(folder, u"Text the code page cannot hold", 13);
    foreign.set(0x3FDE, prop::i32(1252));  // PidTagInternetCodepage
    foreign.set_body(u"Caf\u00e9 \u65e5\u672c\u8a9e \u2013 \U0001F600\r\n");
}

}  // namespace

folder_builder& add_mail_samples(store_builder& store) {
    auto& folder = store.ipm_subtree().add_folder(u"Mail samples", "IPF.Note");
    add_from_lines(folder);
    add_attachments(folder);
    add_inline_pictures(folder);
    add_nested(folder);
    add_stored_headers(folder);
    add_secure(folder);
    add_rtf_picture(folder);
    add_headers_and_addresses(folder);
    return folder;
}

void write_mail_samples(format f, crypt c, const std::filesystem::path& out) {
    store_builder store(f, c, out);
    store.set_name(u"Mail samples");
    add_mail_samples(store);
    store.write();
}

}  // namespace pstwrite
