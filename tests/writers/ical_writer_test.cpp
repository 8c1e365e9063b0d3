#include "writers/ical_writer.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ical_test_support.h"
#include "pstcore/messaging/message.h"
#include "pstcore/messaging/pst.h"
#include "pstcore/ndb/database.h"
#include "pstwrite/store_calendar.h"
#include "writers/ical_calendar.h"

namespace mailferry {
namespace {

using pstwrite::filetime;

// A store with one appointment, read back as the writer sees it.
struct WrittenAppointment {
    WrittenAppointment(const pstwrite::calendar_item_fields& fields,
                       pstwrite::format format = pstwrite::format::unicode) {
        pstwrite::store_builder store(format, pstwrite::crypt::none);
        auto& item = store.ipm_subtree().add_folder(u"Calendar", "IPF.Appointment").add_message("IPM.Appointment");
        pstwrite::fill_calendar_item(item, fields);
        pst = std::make_unique<pstcore::pst>(pstcore::open_database(store.write_to_memory()));
        message = std::make_unique<pstcore::message>(pst->get_db()->lookup_node(item.nid()));
    }
    std::unique_ptr<pstcore::pst> pst;
    std::unique_ptr<pstcore::message> message;
};

class ICalWriterTest : public ::testing::Test {
protected:
    AppointmentEvents Write(const pstwrite::calendar_item_fields& fields, bool merge = true,
                            pstwrite::format format = pstwrite::format::unicode) {
        WrittenAppointment appointment(fields, format);
        WriterContext context{&dates, berlin, mftest::counting_uuids()};
        ICalWriter writer(*appointment.pst, 1252, context, [this](OutputSink& out, pstcore::message&, auto prefix) {
            prefixes.emplace_back(prefix);
            out.Append("mail");
        });
        return writer.WriteAppointment(*appointment.message, &referenceSink, &reference, merge, true);
    }

    date_formatter dates;
    const time_zone berlin = *time_zone::named("Europe/Berlin");
    const CalendarReference reference = MakeCalendarReference(7, 3, u"Calendar References");
    std::string referenceMail;
    StringSink referenceSink{referenceMail};
    std::vector<std::u16string> prefixes;
};

pstwrite::calendar_item_fields Meeting() {
    pstwrite::calendar_item_fields f;
    f.subject = u"Budget; Q3, final";
    f.location = u"Room 4; Floor 2";
    f.start = filetime(2024, 3, 4, 8);  // 09:00 in Berlin
    f.end = filetime(2024, 3, 4, 9);
    return f;
}

TEST_F(ICalWriterTest, WritesTheWholeEvent) {
    pstwrite::calendar_item_fields f = Meeting();
    f.body = u"Agenda:\r\n1. Numbers";
    f.created = filetime(2024, 2, 1, 10);
    f.modified = filetime(2024, 2, 2, 11, 30);
    f.busy_status = 0;
    f.importance = 2;
    f.sequence = 3;
    f.is_private = true;
    f.reminder_set = true;
    f.reminder_delta = 15;
    f.response_requested = false;
    f.categories = {u"Red, urgent", u"Work"};
    f.sender_name = u"Anna Lind";
    f.sender_email = u"anna@example.com";
    f.attendees = {{u"Anna Lind", u"anna@example.com", 1, 6, 3, std::nullopt},
                   {u"Bob Stone", u"bob@example.com", 1, 6, 1, 3},
                   {u"Team list", u"team@example.com", 2, 8, std::nullopt, std::nullopt},
                   {u"Room 4", u"room4@example.com", 3, 6, std::nullopt, 2}};
    const AppointmentEvents events = Write(f);
    ASSERT_EQ(events.texts.size(), 1u);
    EXPECT_EQ(events.texts[0],
              "\r\nBEGIN:VEVENT"
              "\r\nUID:00000000-0000-4000-8000-000000000001"
              "\r\nX-ENTOURAGE_UUID:00000000-0000-4000-8000-000000000001"
              "\r\nSUMMARY:Budget\\; Q3\\, final"
              "\r\nCREATED:20240201T100000Z"
              "\r\nDTSTAMP:20240201T100000Z"
              "\r\nLAST-MODIFIED:20240202T113000Z"
              "\r\nDTSTART;TZID=\"Europe/Berlin\":20240304T090000"
              "\r\nDTEND;TZID=\"Europe/Berlin\":20240304T100000"
              "\r\nCLASS:PRIVATE"
              "\r\nTRANSP:TRANSPARENT"
              "\r\nPRIORITY:1"
              "\r\nSEQUENCE:3"
              "\r\nCATEGORIES:Red\\, urgent,\r\n Work"
              "\r\nORGANIZER;CN=\"Anna Lind\":MAILTO:anna@example.com"
              "\r\nATTENDEE;ROLE=REQ-PARTICIPANT;CN=\"Bob Stone\";RSVP=FALSE;PARTSTAT=ACCEPTED:MAILTO:bob@example.com"
              "\r\nATTENDEE;ROLE=OPT-PARTICIPANT;CN=\"Team list\";RSVP=FALSE;CUTYPE=GROUP:MAILTO:team@example.com"
              "\r\nATTENDEE;ROLE=REQ-PARTICIPANT;CN=\"Room 4\";RSVP=FALSE;PARTSTAT=TENTATIVE;CUTYPE=RESOURCE"
              ":MAILTO:room4@example.com"
              "\r\nDESCRIPTION:\r\n Agenda:\\n1. Numbers"
              "\r\n \\n NOTE: Addition information about this event is saved in Calendar Referen"
              "\r\n ces with subject CalRef ID #7.3"
              "\r\nLOCATION:Room 4\\; Floor 2"
              "\r\nBEGIN:VALARM"
              "\r\nX-WR-ALARMUID:00000000-0000-4000-8000-000000000002"
              "\r\nTRIGGER:-PT15M"
              "\r\nACTION:DISPLAY"
              "\r\nDESCRIPTION:Reminder"
              "\r\nEND:VALARM"
              "\r\nEND:VEVENT");
    EXPECT_TRUE(events.referenceWritten);
    EXPECT_EQ(prefixes, std::vector<std::u16string>{u"CalRef ID #7.3 - "});
    EXPECT_EQ(referenceMail, "mail");
}

// Whether the appointment holds more than an event can carry decides the reference mail and the note.
TEST_F(ICalWriterTest, ReferenceMailOnlyForABodyOrARealAttachment) {
    struct Case {
        std::u16string body;
        bool exceptionAttachment, fileAttachment, wantsMail;
    };
    for (const Case& c :
         {Case{u"", false, false, false}, Case{u"\r\n\t", false, false, false}, Case{u"", true, false, false},
          Case{u"", true, true, true}, Case{u"Notes", false, false, true}}) {
        pstwrite::calendar_item_fields f = Meeting();
        f.body = c.body;
        if (c.exceptionAttachment) f.exceptions.push_back({filetime(2024, 3, 5, 8), filetime(2024, 3, 5, 9), 0, {}});
        if (c.fileAttachment) f.file_attachments = {u"agenda.txt"};
        prefixes.clear();
        const AppointmentEvents events = Write(f);
        EXPECT_EQ(events.referenceWritten, c.wantsMail);
        EXPECT_EQ(prefixes.size(), c.wantsMail ? 1u : 0u);
        EXPECT_EQ(events.texts[0].find("NOTE:") != std::string::npos, c.wantsMail);
        if (c.body.empty() && !c.wantsMail) {
            EXPECT_NE(events.texts[0].find("\r\nDESCRIPTION:\r\nLOCATION:"), std::string::npos);
        }
    }
}

// A series with two moved occurrences gives three events; only the master repeats, each moved one has its times.
TEST_F(ICalWriterTest, ModifiedOccurrencesBecomeEventsOfTheirOwn) {
    pstwrite::calendar_item_fields f = Meeting();
    pstwrite::recurrence_fields r;
    r.pattern_specific = {0x02};  // Mondays 09:00-10:00
    r.start_date = pstwrite::local_minutes(2024, 3, 4);
    r.start_offset = 540, r.end_offset = 600;
    const std::uint32_t first = pstwrite::local_minutes(2024, 3, 11), second = pstwrite::local_minutes(2024, 3, 18);
    r.deleted = r.modified = {first, second};
    r.exceptions = {{first + 660, first + 720, first + 540}, {second + 480, second + 540, second + 540}};
    f.recurrence = pstwrite::recurrence_blob(r);
    const AppointmentEvents separate = Write(f, false);
    ASSERT_EQ(separate.texts.size(), 3u);
    EXPECT_NE(separate.texts[0].find("\r\nRRULE:FREQ=WEEKLY;INTERVAL=1;BYDAY=MO;WKST=SU"), std::string::npos);
    EXPECT_NE(separate.texts[1].find("DTSTART;TZID=\"Europe/Berlin\":20240311T110000\r\n"
                                     "DTEND;TZID=\"Europe/Berlin\":20240311T120000"),
              std::string::npos);
    EXPECT_NE(separate.texts[2].find("DTSTART;TZID=\"Europe/Berlin\":20240318T080000"), std::string::npos);
    for (std::size_t i = 1; i < 3; ++i) EXPECT_EQ(separate.texts[i].find("RRULE"), std::string::npos);
    const AppointmentEvents merged = Write(f, true);
    ASSERT_EQ(merged.texts.size(), 1u);
    EXPECT_EQ(merged.texts[0], separate.texts[0] + separate.texts[1] + separate.texts[2]);
}

// No value is cut short, and a fold never splits a character: each folded piece is whole UTF-8.
TEST_F(ICalWriterTest, LongTextsAreWholeAndFoldedBetweenCharacters) {
    pstwrite::calendar_item_fields f = Meeting();
    std::u16string subject;
    for (int i = 0; i < 700; ++i) subject += u"äb€";  // 2,100 characters, 4,200 bytes of UTF-8
    f.subject = subject;
    const std::string text = Write(f).texts.at(0);
    const auto begin = text.find("SUMMARY:") + 8, end = text.find("\r\nDTSTART");
    ASSERT_TRUE(begin >= 8 && begin <= end && end != std::string::npos) << text;  // else the loop never ends
    std::string unfolded;
    for (std::size_t at = begin; at < end;) {
        const std::size_t fold = std::min(text.find("\r\n ", at), end);
        const std::string piece = text.substr(at, fold - at);
        EXPECT_NE(static_cast<unsigned char>(piece.front()) & 0xC0, 0x80) << piece;
        unfolded += piece;
        at = fold + 3;
    }
    std::string expected;
    for (int i = 0; i < 700; ++i) expected += "äb€";
    EXPECT_EQ(unfolded, expected);
}

TEST_F(ICalWriterTest, AnsiTextIsDecodedWithTheCodePage) {
    pstwrite::calendar_item_fields f = Meeting();
    f.subject = u"Café";
    f.reminder_set = false;
    const std::string text = Write(f, true, pstwrite::format::ansi).texts.at(0);
    EXPECT_NE(text.find("\r\nSUMMARY:Café\r\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("VALARM"), std::string::npos);
}

TEST_F(ICalWriterTest, UnreadableAppointmentThrows) {
    pstwrite::store_builder store(pstwrite::format::unicode, pstwrite::crypt::none);
    auto& item = store.ipm_subtree().add_folder(u"Calendar", "IPF.Appointment").add_message("IPM.Appointment");
    pstwrite::fill_calendar_item(item, Meeting());
    item.set_fault(pstwrite::ltp_fault::heap_bad_signature);
    pstcore::pst pst(pstcore::open_database(store.write_to_memory()));
    WriterContext context{&dates, berlin, mftest::counting_uuids()};
    ICalWriter writer(pst, 1252, context);
    EXPECT_ANY_THROW({
        pstcore::message message(pst.get_db()->lookup_node(item.nid()));
        writer.WriteAppointment(message, nullptr, nullptr, true, true);
    });
}

TEST(CalendarHeader, NamesTheProgramAndDescribesTheZone) {
    std::string text;
    StringSink sink(text);
    WriteCalendarHeader(sink, *time_zone::named("Europe/Berlin"));
    WriteCalendarEnd(sink);
    const std::string prodid = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Mailferry//Mailferry ";
    ASSERT_TRUE(text.starts_with(prodid)) << text;
    const std::size_t version = text.find("//EN\r\nBEGIN:VTIMEZONE\r\nTZID:Europe/Berlin\r\n");
    ASSERT_NE(version, std::string::npos) << text;
    EXPECT_EQ(text.substr(prodid.size(), version - prodid.size()).find_first_not_of("0123456789."), std::string::npos);
    EXPECT_NE(text.find("\r\nRRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU\r\n"), std::string::npos);
    EXPECT_TRUE(text.ends_with("\r\nEND:VTIMEZONE\r\nEND:VCALENDAR\r\n"));
}

}  // namespace
}  // namespace mailferry
