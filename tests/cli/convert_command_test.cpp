// `mailferry convert` in the process: refused options, the report's end, Ctrl-C, and the progress line. Whole
// conversions of the sample files are checked end to end by convert_end_to_end.py.

#include "cli/convert_command.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sstream>

#include "cli/interrupt.h"
#include "cli/progress_bar.h"
#include "pstwrite/export_fixtures.h"
#include "session/session_fixture.h"

namespace {

namespace fs = std::filesystem;
using namespace mailferry;

class ConvertCommandTest : public mftest::SessionTest {
protected:
    void SetUp() override {
        SessionTest::SetUp();
        m_settings = settings("defaultCodePage=1252\n");
        pstwrite::store_builder store(pstwrite::format::unicode, pstwrite::crypt::permute);
        store.set_name(u"S");
        pstwrite::add_plain_mail(store.ipm_subtree().add_folder(u"Inbox", "IPF.Note"), {.subject = u"Hi"});
        write_pst(store.write_to_memory(), "good.pst");
    }

    int Convert(std::vector<std::string> args) {
        m_out.str("");
        m_err.str("");
        return RunConvertCommand(args, m_out, m_err, *m_settings, nullptr, 0);
    }

    std::ostringstream m_out, m_err;
};

TEST_F(ConvertCommandTest, RefusesWhatTheTargetDoesNotTakeInOneLine) {
    const std::string good = (m_dir / "good.pst").string(), out = (m_dir / "out").string();
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{good, "--out", out, "--target", "apple", "--read-unread"}, "--read-unread needs --target files"},
        {{good, "--out", out, "--format", "eml", "--split-mbox", "5"}, "--split-mbox needs --target files --format"},
        {{good, "--out", out, "--target", "archive", "--format", "eml"}, "--format eml is not available"},
        {{good, "--out", out, "--folder", "S/Nowhere"}, "no folder matches --folder S/Nowhere"},
        {{good, "--out", out, "--split-mbox", "0"}, "--split-mbox takes a whole number"},
        {{good, "--out", out, "--target", "files", "--merge-events"},
         "--merge-events needs --target files and calendar"},
        {{good, "--out", out, "--only", "mail,notes"}, "--only takes mail, contacts and calendar"},
        {{good}, "usage: mailferry convert"},
    };
    for (const auto& [args, message] : cases) {
        EXPECT_EQ(Convert(args), kConvertUsageError) << message;
        EXPECT_EQ(m_err.str().find("mailferry convert: "), m_err.str().rfind("mailferry convert: ")) << "one line";
        EXPECT_NE(m_err.str().find(message), std::string::npos) << m_err.str();
    }
    EXPECT_FALSE(fs::exists(out)) << "nothing is written for a refused command";
}

// (Files that cannot be loaded, beside one that converts, are the end-to-end check's.)
TEST_F(ConvertCommandTest, ReportEndsWithWhereTheOutputLies) {
    EXPECT_EQ(Convert({(m_dir / "good.pst").string(), "--out", (m_dir / "out").string(), "--target", "thunderbird"}),
              kExportSucceeded);
    EXPECT_NE(m_out.str().find("Total number of emails processed: 1\n"), std::string::npos) << m_out.str();
    EXPECT_NE(m_out.str().find("\n\nConverted Thunderbird Email Database is available at following path:\n" +
                               (m_dir / "out").string() + "\nA Detailed Log Report is available at  following path:\n"),
              std::string::npos);
    EXPECT_TRUE(fs::exists(m_dir / "out/Mails/good.pst/S/Inbox/Hi_1.eml"));
}

class Flag final : public ICancelable {
public:
    void Cancel() override { cancelled = true; }
    volatile bool cancelled = false;
};

TEST(ConvertInterrupt, FirstCtrlCCancelsAndTheSecondEndsTheProgram) {
    Flag flag;
    {
        CancelOnInterrupt guard(flag);
        std::raise(SIGINT);
        EXPECT_TRUE(flag.cancelled);
        EXPECT_EXIT(std::raise(SIGINT), ::testing::KilledBySignal(SIGINT), "");
    }
}

TEST(ConvertProgress, LineShowsFoldersItemsRateAndTimeLeftWithinTheWidth) {
    ProgressState state{
        .folder = 3, .folders = 12, .done = 500, .total = 2000, .percent = 25, .folderName = "Inbox", .seconds = 2};
    EXPECT_EQ(ProgressLine(state, 200),
              "[#####---------------]  25%  folder 3/12  items 500/2000  250/s  0:06 left  Inbox");
    EXPECT_EQ(ProgressLine(state, 30), "[#####---------------]  25%  f");
}

}  // namespace
