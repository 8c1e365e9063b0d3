// The contact and calendar exporters: the files a run shares, the archive's numbered files, per-item files that
// never share a name, calendar reference mails, and appointments whose writing fails.

#include <gtest/gtest.h>

#include <algorithm>

#include "export/contact_calendar_exporters.h"
#include "export/output_naming.h"
#include "export_fixture.h"
#include "pstwrite/export_fixtures.h"

namespace {

using mftest::count_of;
using mftest::ExportTest;
using mftest::Listing;
using mftest::slurp;
using mftest::unfolded;
using namespace mailferry;

class PimExportTest : public ExportTest {
protected:
    // The folder `path` (and those below it) of two stores in two PST files, the Unicode one first.
    std::vector<MAPIFolder*> OfTwoFiles(std::u16string_view path) {
        auto first = OpenStore(pstwrite::pim_store(pstwrite::format::unicode, u"PIM"), "a/one.pst");
        auto second = OpenStore(pstwrite::pim_store(pstwrite::format::ansi, u"PIM"), "b/two.pst");
        auto folders = Folders(*first, path);
        for (MAPIFolder* folder : Folders(*second, path)) folders.push_back(folder);
        return folders;
    }
};

TEST(ArchiveSequenceName, SpellsEightDigitsAsLettersAndRefusesMore) {
    EXPECT_EQ(ArchiveSequenceName("OUTLOOKEXPORTEDADR", 0), "OUTLOOKEXPORTEDADR0000000A");
    EXPECT_EQ(ArchiveSequenceName("OUTLOOKEXPORTEDADR", 10), "OUTLOOKEXPORTEDADR000000BA");
    EXPECT_EQ(ArchiveSequenceName("OUTLOOKEXPORTEDCAL", 12), "OUTLOOKEXPORTEDCAL000000BC");
    EXPECT_EQ(ArchiveSequenceName("OUTLOOKEXPORTEDCAL", 99999999), "OUTLOOKEXPORTEDCALJJJJJJJJ");
    EXPECT_EQ(ArchiveSequenceName("OUTLOOKEXPORTEDCAL", 100000000), std::nullopt);
}

// Contacts.vcf and Contacts (1).vcf are taken: every contact folder of the run goes into Contacts (2).vcf, each
// card followed by a blank line; damaged contacts are counted and logged.
TEST_F(PimExportTest, RunSharesOneContactsFileUnderTheFirstFreeName) {
    auto settings = Settings(kApplePacking, kMboxFormat, OfTwoFiles(u"PIM/Contacts"));
    settings.MergeContacts = true;
    std::ofstream(m_out / "Contacts.vcf") << "old";
    std::ofstream(m_out / "Contacts (1).vcf") << "old (1)";
    const ExportResult result = Run(settings);
    EXPECT_EQ(result.ResultCode, kExportSucceededWithErrors);
    EXPECT_EQ(result.ContactCount, 10u);
    EXPECT_EQ(slurp(m_out / "Contacts.vcf"), "old");
    EXPECT_EQ(slurp(m_out / "Contacts (1).vcf"), "old (1)");
    const std::string cards = slurp(m_out / "Contacts (2).vcf");
    EXPECT_EQ(count_of(cards, "begin:vcard\r\n"), 10u);
    EXPECT_EQ(count_of(cards, "end:vcard\r\n\r\n"), 10u);
    EXPECT_EQ(count_of(Log(), "Error: Skipped following number of corrupt contacts"), 2u);
    EXPECT_EQ(std::count(m_diagnostics_log.lines.begin(), m_diagnostics_log.lines.end(), "Corrupt contact found."), 2);
}

// A run that has used up the eight digits fails the folder like a full disk instead of writing a wrong name.
TEST_F(PimExportTest, ArchiveSequencePastEightDigitsFailsTheFolder) {
    auto session = OpenStore(pstwrite::pim_store(pstwrite::format::unicode, u"PIM"));
    MAPIFolder& folder = *Folders(*session, u"PIM/Contacts").front();
    auto settings = Settings(kArchivePacking, kMboxFormat, {&folder});
    settings.ExtendedLogReportPath.clear();
    auto files = platform::open_output_root(m_out.string());
    ExportServices services;
    services.zone = time_zone::gmt();
    ExportRun run(settings, *files, services);
    run._dates = std::make_unique<date_formatter>();
    run.Reset(0);
    run._contactSuffix = 99999999;
    folder.ResetQuery();
    const ExportResult result = VCardFolderExporter(run, folder, m_presenter, m_log).Export();
    EXPECT_EQ(result.ResultCode, kExportFailed);
    EXPECT_EQ(result.ContactCount, 1u);
    EXPECT_EQ(Listing(m_out), std::set<std::string>{"OUTLOOKEXPORTEDADRJJJJJJJJ"});
    EXPECT_NE(Log().find("Operation aborted due to following error:\r\nPlease ensure that there is enough space"),
              std::string::npos);
}

// The shared calendar of two folders in two files gets one header and one end even when the run is cancelled
// inside a calendar folder (a whole run of the two files is the end-to-end check's); a garbled recurrence gives
// an event without a rule, not a failed folder.
TEST_F(PimExportTest, SharedCalendarHasOneHeaderAndOneEnd) {
    auto settings = Settings(kApplePacking, kMboxFormat, OfTwoFiles(u"PIM/Calendar"));
    settings.MergeCalendarEvents = true;
    m_presenter.cancelAfterItems = 5;
    const ExportResult result = Run(settings);
    EXPECT_EQ(result.ResultCode, kExportCancelled);
    EXPECT_EQ(result.CalendarItemCount, 5u);
    EXPECT_EQ(result.MailCount, 2u) << "one reference mail per file";
    const std::string calendar = slurp(m_out / "Calendar.ics");
    EXPECT_TRUE(calendar.starts_with("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:"));
    EXPECT_TRUE(calendar.ends_with("\r\nEND:VEVENT\r\n\r\n\r\nEND:VCALENDAR\r\n"));
    EXPECT_EQ(count_of(calendar, "BEGIN:VCALENDAR"), 1u);
    EXPECT_EQ(count_of(calendar, "END:VCALENDAR"), 1u);
    EXPECT_EQ(count_of(calendar, "BEGIN:VEVENT"), 6u) << "with a moved occurrence";
    EXPECT_EQ(count_of(calendar, "RRULE:"), 1u) << "none for the garbled blob";
    EXPECT_EQ(count_of(slurp(m_out / "Calendar References.mbox/mbox"), "\nFrom - "), 1u);
}

// Separate files, EML, merged events: the note in the event names the reference mail, which lies in the
// folder's "Calendar References" as "CalRef ID #t.n - -Plan.eml".
TEST_F(PimExportTest, ReferenceMailIsNamedAndNoted) {
    auto session = OpenStore(pstwrite::pim_store(pstwrite::format::unicode, u"PIM"));
    auto settings = Settings(kSeparateFilesPacking, kEmlFormat, Folders(*session, u"PIM/Calendar"));
    settings.MergeCalendarEvents = true;
    const ExportResult result = Run(settings);
    EXPECT_EQ(result.CalendarItemCount, 4u);
    EXPECT_EQ(result.MailCount, 1u);
    const std::filesystem::path own = m_out / "store.pst/PIM/Calendar";
    EXPECT_EQ(Listing(own / "Calendar References"), std::set<std::string>{"CalRef ID #1700000000.0 - -Plan.eml"});
    EXPECT_NE(slurp(own / "Calendar References/CalRef ID #1700000000.0 - -Plan.eml")
                  .find("Subject: CalRef ID #1700000000.0 - Plan\r\n"),
              std::string::npos);
    EXPECT_NE(unfolded(slurp(own / "Calendar Events.ics"))
                  .find("NOTE: Addition information about this event is saved in Calendar References Folder with "
                        "subject CalRef ID #1700000000.0"),
              std::string::npos);
    EXPECT_NE(Log().find("Saved in: " + own.string() + "\r\nCalendar References Saved in: " + own.string() +
                         "/Calendar References\r\n\r\n"),
              std::string::npos);
}

// The archive writes a series and its moved occurrence as two calendars into the series' one numbered file.
TEST_F(PimExportTest, ArchiveKeepsASeriesInOneNumberedFile) {
    auto session = OpenStore(pstwrite::pim_store(pstwrite::format::unicode, u"PIM"));
    auto settings = Settings(kArchivePacking, kMboxFormat, Folders(*session, u"PIM/Calendar"));
    settings.CalendarOutputFolderPath = (m_out / "Calendar").string();
    std::filesystem::create_directories(settings.CalendarOutputFolderPath);
    EXPECT_EQ(Run(settings).CalendarItemCount, 4u);
    EXPECT_EQ(Listing(m_out / "Calendar"),
              (std::set<std::string>{"OUTLOOKEXPORTEDCAL0000000A", "OUTLOOKEXPORTEDCAL0000000B",
                                     "OUTLOOKEXPORTEDCAL0000000C", "OUTLOOKEXPORTEDCAL0000000D"}));
    const std::string series = slurp(m_out / "Calendar/OUTLOOKEXPORTEDCAL0000000B");
    EXPECT_EQ(count_of(series, "BEGIN:VCALENDAR"), 2u);
    EXPECT_EQ(count_of(series, "END:VCALENDAR"), 2u);
    EXPECT_TRUE(slurp(m_out / "store.pst/PIM/Calendar/Calendar.mbox").starts_with("From "));
}

// A reference mail that cannot be written ends the run, and the appointment's event is cut out of the shared
// calendar again, which still gets its end.
TEST_F(PimExportTest, FailedReferenceMailTakesItsEventWithIt) {
    auto session = OpenStore(pstwrite::pim_store(pstwrite::format::unicode, u"PIM"));
    auto settings = Settings(kApplePacking, kMboxFormat, Folders(*session, u"PIM/Calendar"));
    settings.MergeCalendarEvents = true;
    mftest::FailingFileSystem files(platform::open_output_root(m_out.string()), "/mbox", 0);
    const ExportResult result = Run(settings, &files);
    EXPECT_EQ(result.ResultCode, kExportFailed);
    EXPECT_EQ(result.CalendarItemCount, 0u);
    const std::string calendar = slurp(m_out / "Calendar.ics");
    EXPECT_EQ(count_of(calendar, "BEGIN:VEVENT"), 0u);
    EXPECT_TRUE(calendar.ends_with("\r\nEND:VCALENDAR\r\n"));
}

}  // namespace
