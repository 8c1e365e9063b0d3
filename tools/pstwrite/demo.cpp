#include "demo.h"

#include <string>

#include "rtf_compress.h"
#include "store_builder.h"
#include "store_items.h"

namespace pstwrite {

namespace {

struct mail {
    std::u16string from, from_email, to, to_email, subject, body;
    int day, hour;
};

message_builder& add_mail(folder_builder& folder, const mail& m, bool read = true) {
    auto& msg = folder.add_message("IPM.Note");
    msg.set_subject(m.subject);
    msg.set_body(m.body);
    for (std::uint16_t id : {0x0C1A, 0x0042}) msg.set_text(id, m.from);
    for (std::uint16_t id : {0x0C1F, 0x0065}) msg.set_text(id, m.from_email);
    for (std::uint16_t id : {0x0C1E, 0x0064}) msg.set_text(id, u"SMTP");
    const auto when = filetime(2024, 3, m.day, m.hour, 15);
    msg.set(0x0039, prop::time(when));
    msg.set(0x0E06, prop::time(when + 600'000'000ull));
    msg.set(0x3007, prop::time(when));
    msg.set(0x3008, prop::time(when));
    msg.set(0x0E07, prop::i32(read ? 1 : 0));
    msg.add_recipient({m.to, m.to_email, recipient_kind::to});
    return msg;
}

}  // namespace

void write_demo(const std::filesystem::path& out) {
    store_builder store(format::unicode, crypt::permute, out);
    store.set_name(u"Demo");
    auto& ipm = store.ipm_subtree();
    auto& inbox = ipm.add_folder(u"Inbox", "IPF.Note");
    auto& sent = ipm.add_folder(u"Sent Items", "IPF.Note");
    auto& projects = inbox.add_folder(u"Projects", "IPF.Note");
    auto& contacts = ipm.add_folder(u"Contacts", "IPF.Contact");
    auto& calendar = ipm.add_folder(u"Calendar", "IPF.Appointment");

    add_mail(inbox, {u"Alice Meyer", u"alice@example.com", u"Sam Demo", u"sam@example.com", u"Welcome to Mailferry",
                     u"Hi Sam,\r\n\r\nthis little mailbox shows what Mailferry converts.\r\n\r\nAlice", 4, 9});
    auto& agenda = add_mail(inbox, {u"Bruno Novak", u"bruno@example.com", u"Sam Demo", u"sam@example.com",
                                    u"Agenda for Monday", u"The agenda is attached.\r\n\r\nBruno", 5, 11});
    agenda.add_attachment().set_data(u"agenda.txt", to_bytes("1. Status\r\n2. Budget\r\n3. Next steps\r\n"),
                                     u"text/plain");
    auto& forward = add_mail(inbox,
                             {u"Chen Okafor", u"chen@example.com", u"Sam Demo", u"sam@example.com", u"Fw: Travel plans",
                              u"Forwarding the message below.\r\n\r\nChen", 6, 14},
                             false);
    auto& inner = forward.add_attachment().set_embedded_message("IPM.Note");
    inner.set_subject(u"Travel plans");
    inner.set_body(u"We fly to Lisbon on the 20th and come back on the 24th.");
    inner.set_text(0x0C1A, u"Dana Petit");
    inner.set_text(0x0C1F, u"dana@example.com");
    inner.set(0x0039, prop::time(filetime(2024, 3, 2, 16, 40)));
    inner.add_recipient({u"Chen Okafor", u"chen@example.com", recipient_kind::to});
    auto& rich = add_mail(inbox, {u"Dana Petit", u"dana@example.com", u"Sam Demo", u"sam@example.com",
                                  u"Quarterly numbers", u"Revenue is up 12%.\r\nCosts are flat.", 7, 10});
    rich.set_html("<html><body><p>Revenue is up <b>12%</b>.</p><p>Costs are flat.</p></body></html>");
    rich.set_rtf(rtf_from_text("Revenue is up 12%.\nCosts are flat."));
    add_mail(sent, {u"Sam Demo", u"sam@example.com", u"Alice Meyer", u"alice@example.com", u"Re: Welcome to Mailferry",
                    u"Thanks, Alice!", 4, 10});
    auto& plan = add_mail(projects, {u"Emil Quinn", u"emil@example.com", u"Sam Demo", u"sam@example.com",
                                     u"Project plan", u"Here is the plan and the logo.", 8, 15});
    plan.add_attachment().set_data(u"plan.csv", to_bytes("task,owner,due\r\nDesign,Emil,2024-04-01\r\n"), u"text/csv");
    bytes logo;  // the PNG signature: enough for a file that only has to look like a picture
    for (unsigned v : {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A}) logo.push_back(std::byte(v));
    plan.add_attachment().set_data(u"logo.png", logo, u"image/png");

    const contact_fields people[] = {{u"Alice", u"Meyer", u"alice@example.com", u"Example Ltd", u"+1 555 0100"},
                                     {u"Bruno", u"Novak", u"bruno@example.com", u"Novak & Sons", u"+1 555 0101"},
                                     {u"Chen", u"Okafor", u"chen@example.com", u"Example Ltd", u"+1 555 0102"},
                                     {u"Dana", u"Petit", u"dana@example.com", u"Petit Design", u"+1 555 0103"}};
    for (const auto& p : people) fill_contact(contacts.add_message("IPM.Contact"), p);

    fill_appointment(
        calendar.add_message("IPM.Appointment"),
        {u"Team meeting", u"Room 4", u"Weekly status.", filetime(2024, 3, 4, 9, 0), filetime(2024, 3, 4, 10, 0), true});
    fill_appointment(
        calendar.add_message("IPM.Appointment"),
        {u"Dentist", u"Main Street 5", u"", filetime(2024, 3, 12, 15, 0), filetime(2024, 3, 12, 15, 30), false});
    fill_appointment(calendar.add_message("IPM.Appointment"),
                     {u"Flight to Lisbon", u"Airport", u"Gate closes 30 minutes early.", filetime(2024, 3, 20, 7, 0),
                      filetime(2024, 3, 20, 10, 0), false});
    store.write();
}

}  // namespace pstwrite
