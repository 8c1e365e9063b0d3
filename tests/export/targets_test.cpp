// Target options and set-ups: the option list for the kinds selected, unique folder names, the archive package
// (whose parts the end-to-end check reads).

#include "export/targets.h"

#include <gtest/gtest.h>

#include "export_fixture.h"

namespace {

using mftest::ExportTest;
using namespace mailferry;

TEST(Targets, OptionListFollowsTheSelectedKinds) {
    struct Case {
        SelectedKinds kinds;
        std::vector<std::u16string> descriptions;
    };
    const Case cases[] = {
        {{.contacts = true}, {u"Apple Address Book", u"Microsoft Outlook 2011/Entourage Archive", u"*.vcf"}},
        {{.calendar = true},
         {u"Apple Mail, Calendar (iCal)", u"Microsoft Outlook 2011/Entourage Archive",
          u"Thunderbird/Postbox Emails, *.ics", u"*.mbox, *.ics", u"*.eml, *.ics"}},
        {{.mails = true, .contacts = true, .calendar = true},
         {u"Apple Mail, Address Book, Calendar (iCal)", u"Microsoft Outlook 2011/Entourage Archive",
          u"Thunderbird/Postbox Emails, *.vcf, *.ics", u"*.mbox, *.vcf, *.ics", u"*.eml, *.vcf, *.ics"}},
    };
    for (const Case& c : cases) {
        std::vector<std::u16string> descriptions;
        for (const OptionMenuItem& option : BuildConvertMenu(c.kinds)) descriptions.push_back(option.description);
        EXPECT_EQ(descriptions, c.descriptions);
    }
    const auto all = BuildConvertMenu({.mails = true});
    ASSERT_EQ(all.size(), 5u);
    EXPECT_EQ(all[2].mailFormat, kEmlFormat) << "Thunderbird takes one EML file per message";
}

TEST_F(ExportTest, SetUpsFindFreeNamesAndBuildTheArchivePackage) {
    std::filesystem::create_directories(m_out / "Mails");
    std::filesystem::create_directories(m_out / "Mails (1)");
    const auto choose = [this](std::u16string_view, std::u16string_view) { return m_out.string(); };
    const std::filesystem::path resources = std::filesystem::path(MF_SOURCE_DIR) / "share/archive-package";
    const std::time_t now = 1796472940;  // 2026-12-05
    const SelectedKinds kinds{.mails = true, .calendar = true};

    auto apple = StartExport({}, BuildConvertMenu(kinds)[0], {}, kinds, choose, resources, now);
    ASSERT_TRUE(apple);
    EXPECT_EQ(apple->settings.MailsOutputFolderPath, (m_out / "Mails (2)").string());
    EXPECT_EQ(apple->settings.CalendarOutputFolderPath, (m_out / "Calendar Events").string());
    EXPECT_TRUE(std::filesystem::is_directory(m_out / "Mails (2)"));
    EXPECT_TRUE(apple->settings.MergeCalendarEvents);

    for (int run = 0; run < 2; ++run) {
        auto archive = StartExport({}, BuildConvertMenu(kinds)[1], {}, kinds, choose, resources, now);
        ASSERT_TRUE(archive);
        const std::string package = run == 0 ? "Outlook PST Export.rge" : "Outlook PST Export (1).rge";
        EXPECT_EQ(archive->settings.OutputFolderPath, (m_out / package).string());
        EXPECT_EQ(std::filesystem::path(archive->settings.ExtendedLogReportPath).parent_path(), m_out)
            << "the log lies beside the package";
        EXPECT_TRUE(std::filesystem::is_directory(m_out / package / "Mail"));
    }
    EXPECT_FALSE(StartExport(
        {}, BuildConvertMenu(kinds)[3], {}, kinds,
        [](std::u16string_view, std::u16string_view) { return std::nullopt; }, resources, now));
}

}  // namespace
