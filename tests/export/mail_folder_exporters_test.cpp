// The mail exporters: what each target's layout puts on disk, the names of EML files, damaged and failing items,
// splitting, and names that try to leave the output folder.

#include <gtest/gtest.h>

#include "export_fixture.h"
#include "pstwrite/export_fixtures.h"

namespace {

using mftest::ExportTest;
using mftest::Listing;
using mftest::slurp;
using namespace mailferry;

std::vector<std::byte> NestedStore() {
    pstwrite::store_builder store(pstwrite::format::ansi, pstwrite::crypt::none);
    store.set_name(u"Top");
    auto& inbox = store.ipm_subtree().add_folder(u"Inbox", "IPF.Note");
    pstwrite::add_plain_mail(inbox, {.subject = u"Hello"});
    pstwrite::add_plain_mail(inbox.add_folder(u"Projects", "IPF.Note"), {.subject = u"Plan"});
    return store.write_to_memory();
}

struct LayoutCase {
    std::int32_t packing;
    std::vector<std::string> entries;
};

class LayoutTest : public ExportTest, public ::testing::WithParamInterface<LayoutCase> {};

// Inbox/Projects exported before Inbox: the Apple layout makes Inbox's mailbox empty first and fills it later.
// The other layouts' files are read by the end-to-end check.
TEST_P(LayoutTest, RebuildsTheFolderTreeAsTheTargetExpects) {
    auto session = OpenStore(NestedStore(), "Outlook.pst");
    auto folders = Folders(*session, u"Top/Inbox");
    std::swap(folders[0], folders[1]);
    auto settings = Settings(GetParam().packing, kMboxFormat, folders);
    EXPECT_EQ(Run(settings).ResultCode, kExportSucceeded);
    std::set<std::string> expected(GetParam().entries.begin(), GetParam().entries.end());
    expected.insert("log.txt");
    EXPECT_EQ(Listing(m_out), expected);
    if (GetParam().packing == kApplePacking) {
        EXPECT_EQ(slurp(m_out / "Outlook.pst/Top/Inbox.mbox/mbox"), "From - Hello\nbody\n\n");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Targets, LayoutTest,
    ::testing::Values(
        LayoutCase{kApplePacking,
                   {"Outlook.pst/", "Outlook.pst/Top/", "Outlook.pst/Top.mbox/", "Outlook.pst/Top.mbox/mbox",
                    "Outlook.pst/Top/Inbox/", "Outlook.pst/Top/Inbox.mbox/", "Outlook.pst/Top/Inbox.mbox/mbox",
                    "Outlook.pst/Top/Inbox/Projects.mbox/", "Outlook.pst/Top/Inbox/Projects.mbox/mbox"}},
        LayoutCase{kThunderbirdPacking,
                   {"Outlook.pst", "Outlook.pst.sbd/", "Outlook.pst.sbd/Top", "Outlook.pst.sbd/Top.sbd/",
                    "Outlook.pst.sbd/Top.sbd/Inbox", "Outlook.pst.sbd/Top.sbd/Inbox.sbd/",
                    "Outlook.pst.sbd/Top.sbd/Inbox.sbd/Projects"}},
        LayoutCase{kSeparateFilesPacking,
                   {"Outlook.pst/", "Outlook.pst/Top/", "Outlook.pst/Top/Inbox/", "Outlook.pst/Top/Inbox/Inbox.mbox",
                    "Outlook.pst/Top/Inbox/Projects/", "Outlook.pst/Top/Inbox/Projects/Projects.mbox"}}));

// Names from subjects; the counter restarts per folder, and moves past a name a sibling folder of the same name
// already took, so no two messages share a file.
TEST_F(ExportTest, EmlFilesAreNamedBySubjectAndNeverShared) {
    pstwrite::store_builder store(pstwrite::format::unicode, pstwrite::crypt::permute);
    store.set_name(u"S");
    auto& first = store.ipm_subtree().add_folder(u"Twin", "IPF.Note");
    for (const std::u16string subject : {u"Plan", u"Plan", u"", u"a/b: c"})
        pstwrite::add_plain_mail(first, {.subject = subject});
    pstwrite::add_plain_mail(first, {.subject = std::u16string(70, u'L')});
    auto& second = store.ipm_subtree().add_folder(u"Twin", "IPF.Note");
    pstwrite::add_plain_mail(second, {.subject = u"Plan"});
    auto session = OpenStore(store.write_to_memory());
    auto settings = Settings(kSeparateFilesPacking, kEmlFormat, Folders(*session, u"S/Twin"));
    EXPECT_EQ(Run(settings).MailCount, 6u);
    const std::set<std::string> expected{"store.pst/S/Twin/Plan_1.eml",
                                         "store.pst/S/Twin/Plan_2.eml",
                                         "store.pst/S/Twin/_3.eml",
                                         "store.pst/S/Twin/a\u2215b- c_4.eml",
                                         "store.pst/S/Twin/" + std::string(60, 'L') + "..._5.eml",
                                         "store.pst/S/Twin/Plan_3.eml"};
    std::set<std::string> files;
    for (const std::string& entry : Listing(m_out))
        if (entry.ends_with(".eml")) files.insert(entry);
    EXPECT_EQ(files, expected);
    EXPECT_EQ(slurp(m_out / "store.pst/S/Twin/Plan_3.eml"), "Subject: Plan\r\n\r\nbody\r\n");
}

// Damaged messages are skipped and counted; a message the writer fails on halfway is counted as skipped too
// (with the writer's diagnostic), and nothing of it stays in the mailbox, even past the write buffer.
TEST_F(ExportTest, FailedItemsAreSkippedCountedAndCutOut) {
    pstwrite::store_builder store(pstwrite::format::unicode, pstwrite::crypt::permute);
    store.set_name(u"S");
    auto& inbox = store.ipm_subtree().add_folder(u"Inbox", "IPF.Note");
    pstwrite::add_plain_mail(inbox, {.subject = u"Good one"});
    pstwrite::add_damaged_mail(inbox);
    pstwrite::add_plain_mail(inbox, {.subject = u"Fail halfway", .stored_size = 3000000});
    pstwrite::add_plain_mail(inbox, {.subject = u"Good two"});
    auto session = OpenStore(store.write_to_memory());
    for (const std::int32_t format : {kMboxFormat, kEmlFormat}) {
        std::filesystem::remove_all(m_out);
        std::filesystem::create_directories(m_out);
        m_diagnostics_log.lines.clear();
        auto settings = Settings(kSeparateFilesPacking, format, Folders(*session, u"S/Inbox"));
        const ExportResult result = Run(settings);
        EXPECT_EQ(result.ResultCode, kExportSucceededWithErrors);
        EXPECT_EQ(result.MailCount, 2u);
        EXPECT_NE(Log().find("Processed Items Count: 2 \r\nError: Skipped following number of corrupt emails (details "
                             "could not be fetched): 2\r\nIf not acceptable, please repair your pst file using some "
                             "pst repair tool such as \"scanpst\" (on Windows) and convert this folder again.\r\n"
                             "Saved in: "),
                  std::string::npos);
        const std::string writerLine = format == kMboxFormat
                                           ? "Error: \"stand-in failure\" in following Mail\n: Sender: Ana Lima\nDate "
                                             "Monday, 04 Mar 2024 09:00:00 AM \nSubject: Fail halfway"
                                           : "Corrupt Message found.";
        EXPECT_EQ(m_diagnostics_log.lines, (std::vector<std::string>{"Corrupt Message found.", writerLine}));
        if (format == kMboxFormat) {
            EXPECT_EQ(slurp(m_out / "store.pst/S/Inbox/Inbox.mbox"),
                      "From - Good one\nbody\n\nFrom - Good two\nbody\n\n");
        } else {
            EXPECT_EQ(Listing(m_out / "store.pst/S/Inbox"),
                      (std::set<std::string>{"Good one_1.eml", "Good two_3.eml"}));
        }
    }
}

// The parts of a split mailbox never replace each other, even for two sibling folders of the same name.
TEST_F(ExportTest, SplitMailboxesKeepEveryPart) {
    pstwrite::store_builder store(pstwrite::format::unicode, pstwrite::crypt::permute);
    store.set_name(u"S");
    for (int twin = 0; twin < 2; ++twin) {
        auto& inbox = store.ipm_subtree().add_folder(u"Inbox", "IPF.Note");
        for (const std::u16string subject : {u"A", u"B", u"C"})
            pstwrite::add_plain_mail(inbox, {.subject = subject + (twin ? u"2" : u"1"), .stored_size = 400000});
    }
    auto session = OpenStore(store.write_to_memory());
    auto settings = Settings(kSeparateFilesPacking, kMboxFormat, Folders(*session, u"S/Inbox"));
    settings.MaxMBOXSizeInMB = 1;
    EXPECT_EQ(Run(settings).MailCount, 6u);
    const auto firstLines = [](const std::string& mailbox) {
        std::string subjects;
        for (std::size_t at = mailbox.find("From - "); at != std::string::npos; at = mailbox.find("From - ", at + 1))
            subjects += mailbox.substr(at + 7, 2);
        return subjects;
    };
    const std::filesystem::path folder = m_out / "store.pst/S/Inbox";
    EXPECT_EQ(Listing(folder), (std::set<std::string>{"Inbox_Part_0.mbox", "Inbox_Part_1.mbox", "Inbox_Part_2.mbox",
                                                      "Inbox_Part_3.mbox"}));
    EXPECT_EQ(firstLines(slurp(folder / "Inbox_Part_0.mbox")), "A1B1");
    EXPECT_EQ(firstLines(slurp(folder / "Inbox_Part_1.mbox")), "C1");
    EXPECT_EQ(firstLines(slurp(folder / "Inbox_Part_2.mbox")), "A2B2");
    EXPECT_EQ(firstLines(slurp(folder / "Inbox_Part_3.mbox")), "C2");
}

// Folder names such as "..", "." and "" get a "_" in front; "/" and ":" and control characters are replaced; long
// names are cut without splitting a surrogate pair. Whatever the target, everything stays in the output folder.
TEST_F(ExportTest, HostileFolderNamesStayInsideTheOutputFolder) {
    auto session = OpenStore(pstwrite::hostile_names_store(pstwrite::format::unicode));
    const std::string expectedNames[] = {
        "_..", "_.", "_", "a\u2215b- c", std::string(60, 'L') + "...", std::string(59, 'x') + "...", "bell___", "Twin"};
    for (const std::int32_t packing : {kArchivePacking, kApplePacking, kThunderbirdPacking, kSeparateFilesPacking}) {
        for (const std::int32_t format : {kMboxFormat, kEmlFormat}) {
            std::filesystem::remove_all(m_out);
            std::filesystem::create_directories(m_out);
            const auto before = Listing(m_dir);
            auto settings = Settings(packing, format, Folders(*session));
            const ExportResult result = Run(settings);
            EXPECT_EQ(result.ResultCode, kExportSucceededWithErrors);
            EXPECT_EQ(result.MailCount, 12u);
            std::set<std::string> outside;
            for (const std::string& entry : Listing(m_dir))
                if (!entry.starts_with("out/") && !before.contains(entry)) outside.insert(entry);
            EXPECT_TRUE(outside.empty()) << packing << " " << format;
            std::string all;
            for (const std::string& entry : Listing(m_out)) all += entry + "\n";
            const bool mbox = format == kMboxFormat;
            const std::string end = mbox && packing == kThunderbirdPacking ? "\n"
                                    : mbox && packing == kApplePacking     ? ".mbox/\n"
                                                                           : "/\n";
            for (const std::string& name : expectedNames)
                EXPECT_NE(all.find("/" + name + end), std::string::npos) << name << " in " << packing << " " << format;
        }
    }
}

}  // namespace
