// The run as a whole: the report and the log file word for word, the refusal of too long paths, cancelling,
// a failed write, several PST files, and a file whose B-tree breaks during the walk.

#include <gtest/gtest.h>

#include "export/report_text.h"
#include "export_fixture.h"
#include "pstwrite/export_fixtures.h"

namespace {

using mftest::ExportTest;
using namespace mailferry;

const std::string kSeparator(74, '-');

std::vector<std::byte> InboxStore(const std::u16string& name = u"Demo") {
    pstwrite::store_builder store(pstwrite::format::unicode, pstwrite::crypt::permute);
    store.set_name(name);
    auto& inbox = store.ipm_subtree().add_folder(u"Inbox", "IPF.Note");
    pstwrite::add_plain_mail(inbox, {.subject = u"One"});
    pstwrite::add_plain_mail(inbox, {.subject = u"Two", .minute = 1});
    pstwrite::add_plain_mail(inbox.add_folder(u"Projects", "IPF.Note"), {.subject = u"Three", .minute = 2});
    auto& journal = store.ipm_subtree().add_folder(u"Journal", "IPF.Journal");
    for (int i = 0; i < 3; ++i) journal.add_message("IPM.Activity");
    auto& later = store.ipm_subtree().add_folder(u"Later", "IPF.Note");
    pstwrite::add_plain_mail(later, {.subject = u"Four"});
    pstwrite::add_plain_mail(later, {.subject = u"Five"});
    return store.write_to_memory();
}

// The log file's text without its byte-order marks, and how many pieces it was written in.
std::pair<std::string, int> LogFileText(const std::filesystem::path& path) {
    const std::string bytes = mftest::slurp(path);
    std::u16string text;
    int marks = 0;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const char16_t unit = static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (unit == 0xFEFF)
            ++marks;
        else
            text.push_back(unit);
    }
    return {platform::path_of_text(text), marks};
}

TEST_F(ExportTest, ReportAndLogFileOfARunAreExact) {
    auto session = OpenStore(InboxStore());
    auto folders = Folders(*session, u"Demo/Inbox");
    folders.push_back(session->GetRootStore().GetSubTreeFolder().GetFolders().at(2).get());  // not in the tree
    ASSERT_EQ(folders.back()->folderName(), u"Journal");
    auto settings = Settings(kSeparateFilesPacking, kMboxFormat, folders);
    const ExportResult result = Run(settings);
    EXPECT_EQ(result.ResultCode, kExportSucceeded);
    EXPECT_EQ(result.MailCount, 3u);

    const std::string pst = (m_dir / "store.pst").string(), out = m_out.string();
    const std::string saved = out + "/store.pst/Demo/Inbox";
    EXPECT_EQ(Log(), kSeparator + "\r\nConverting content from PST File: " + pst + "\r\n" + kSeparator +
                         "\r\nFolder: Demo/Inbox [2]\r\nProcessed Items Count: 2 \r\nSaved in: " + saved +
                         "\r\n\r\nFolder: Demo/Inbox/Projects [1]\r\nProcessed Items Count: 1 \r\nSaved in: " + saved +
                         "/Projects\r\n\r\nFolder: Demo/Journal [3]\r\n\r\n" + kSeparator +
                         "\r\n\r\nTotal number of emails processed: 3\r\nOperation completed successfully.\r\n\r\n" +
                         kSeparator + "\r\n");

    const auto item = [](const char* subject, int minute) {
        return std::string("From: Ana Lima\r\nDate: Monday, 04 Mar 2024 09:0") + std::to_string(minute) +
               ":00 AM\r\nSubject: " + subject + "\r\n\r\n";
    };
    const auto closing = [&](const char* count, const std::string& where) {
        return "\r\n" + kSeparator + "\r\nProcessed Items Count: " + count + " \r\nSaved in: " + where + "\r\n\r\n";
    };
    const auto folder = [&](const char* line) { return kSeparator + "\r\n" + line + "\r\n" + kSeparator + "\r\n"; };
    const auto [text, marks] = LogFileText(settings.ExtendedLogReportPath);
    EXPECT_EQ(text, kSeparator + "\r\nConverting content from PST File: " + pst + "\r\n" + kSeparator + "\r\n\r\n" +
                        folder("Folder: Demo/Inbox [2]") + item("One", 0) + item("Two", 1) + closing("2", saved) +
                        folder("Folder: Demo/Inbox/Projects [1]") + item("Three", 2) +
                        closing("1", saved + "/Projects") + folder("Folder: Demo/Journal [3]") + "\r\n" + kSeparator +
                        "\r\n\r\nTotal number of emails processed: 3\r\nOperation completed successfully.\r\nOutput "
                        "Path: " +
                        out + "\r\n" + kSeparator + "\r\n");
    EXPECT_EQ(marks, 26) << "one byte-order mark before every piece";
    EXPECT_EQ(m_presenter.itemLabels.front(), u"Overall: Items [  0 / 6 ]") << "journal items count in the total";
    EXPECT_EQ(m_presenter.itemLabels.back(), u"") << "the presenter is reset at the end";
}

TEST_F(ExportTest, TooLongOutputPathRefusesTheWholeRun) {
    auto session = OpenStore(InboxStore());
    auto settings = Settings(kSeparateFilesPacking, kMboxFormat, Folders(*session, u"Demo/Inbox"));
    // Short enough for Demo/Inbox, too long for Demo/Inbox/Projects (listed second).
    settings.OutputFolderPath = m_out.string() + "/" + std::string(1024 - m_out.string().size() - 16, 'd');
    const ExportResult result = Run(settings);
    EXPECT_EQ(result.ResultCode, kExportFailed);
    EXPECT_EQ(Log(), "Operation aborted due to following error :\r\nFollowing folder path is too long: " +
                         settings.OutputFolderPath +
                         "/Demo/Inbox/Projects\r\nPlease choose a shorter output path to avoid this error.\r\n");
    EXPECT_EQ(mftest::Listing(m_out), std::set<std::string>{"log.txt"});
    EXPECT_EQ(mftest::slurp(m_out / "log.txt"), "");
}

TEST_F(ExportTest, CancelStopsAfterTheItemInProgressAndKeepsTheOutput) {
    auto session = OpenStore(InboxStore());
    auto settings = Settings(kSeparateFilesPacking, kMboxFormat, Folders(*session));
    m_presenter.cancelAfterItems = 3;  // the one item of Projects
    const ExportResult result = Run(settings);
    EXPECT_EQ(result.ResultCode, kExportCancelled);
    EXPECT_EQ(result.MailCount, 3u);
    const std::string log = Log();
    EXPECT_NE(log.find("Folder: Demo/Inbox/Projects [1]"), std::string::npos);
    EXPECT_EQ(log.find("Folder: Demo/Journal"), std::string::npos) << "no folder starts after a cancel";
    EXPECT_TRUE(
        log.ends_with("Total number of emails processed: 3\r\nOperation aborted !!!\r\n\r\n" + kSeparator + "\r\n"));
    EXPECT_EQ(mftest::slurp(m_out / "store.pst/Demo/Inbox/Projects/Projects.mbox"), "From - Three\nbody\n\n");
}

TEST_F(ExportTest, FailedWriteEndsTheRunAndLeavesEarlierItemsWhole) {
    auto session = OpenStore(InboxStore());
    auto settings = Settings(kSeparateFilesPacking, kMboxFormat, Folders(*session, u"Demo/Inbox"));
    mftest::FailingFileSystem files(platform::open_output_root(m_out.string()), "Inbox.mbox", 30);
    const ExportResult result = Run(settings, &files);
    EXPECT_EQ(result.ResultCode, kExportFailed);
    EXPECT_EQ(result.MailCount, 1u);
    EXPECT_EQ(mftest::slurp(m_out / "store.pst/Demo/Inbox/Inbox.mbox"), "From - One\nbody\n\n")
        << "the item that failed is cut back out";
    const std::string log = Log();
    EXPECT_NE(log.find("Processed Items Count: 1 \r\n\r\nOperation aborted due to following error:\r\nPlease ensure "
                       "that there is enough space available on the disk or you have sufficient previledges to write "
                       "on the disk.\r\n\r\n"),
              std::string::npos);
    EXPECT_EQ(log.find("Projects"), std::string::npos) << "the walk stops";
    EXPECT_NE(log.find("Operation aborted due to following error:\r\nPlease ensure that there is enough space "
                       "avialable on the disk or you have sufficient privilege to access output folder.\r\n"),
              std::string::npos);
}

TEST_F(ExportTest, EachPstFileGetsItsBlockAndItsOwnOutputFolder) {
    auto first = OpenStore(InboxStore(u"First"), "a/store.pst");
    auto second = OpenStore(InboxStore(u"Second"), "b/store.pst");
    auto folders = Folders(*first, u"First/Later");
    folders.push_back(Folders(*second, u"Second/Later").at(0));
    auto settings = Settings(kSeparateFilesPacking, kEmlFormat, folders);
    EXPECT_EQ(Run(settings).ResultCode, kExportSucceeded);
    const std::string log = Log();
    EXPECT_EQ(log.find("PST File: " + (m_dir / "a/store.pst").string()), log.find("PST File: "));
    EXPECT_EQ(log.find("PST File: " + (m_dir / "b/store.pst").string()), log.rfind("PST File: "));
    EXPECT_TRUE(std::filesystem::exists(m_out / "store.pst/First/Later/Five_2.eml"));
    EXPECT_TRUE(std::filesystem::exists(m_out / "store.pst (1)/Second/Later/Five_2.eml"));
}

TEST_F(ExportTest, BTreeBrokenDuringTheWalkEndsTheRunAsCorrupt) {
    auto session = OpenStore(pstwrite::broken_index_store(pstwrite::format::unicode, 60));
    auto settings = Settings(kSeparateFilesPacking, kMboxFormat, Folders(*session));
    const ExportResult result = Run(settings);
    EXPECT_EQ(result.ResultCode, kExportFailed);
    const std::string log = Log();
    EXPECT_TRUE(
        log.ends_with(kSeparator +
                      "\r\nOperation aborted due to following error :\r\nPST File appears to be corrupt. Please "
                      "run some pst repair tool (such as \"scanpst\" on Windows) on this pst file and try "
                      "again later."))
        << log;
    EXPECT_EQ(log.find("Operation completed"), std::string::npos);
    const std::string mailbox = mftest::slurp(m_out / "store.pst/Broken index/Inbox/Inbox.mbox");
    EXPECT_TRUE(mailbox.starts_with("From - Mail 1\nbody\n\nFrom - Mail 2\n")) << "what was written stays";
}

}  // namespace
