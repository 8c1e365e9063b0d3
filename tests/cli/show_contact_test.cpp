#include <gtest/gtest.h>

#include <sstream>

#include "cli/show_command.h"
#include "pstcore/messaging/folder.h"
#include "pstcore/messaging/pst.h"
#include "session/session_fixture.h"
#include "writers/vcard_fixtures.h"

namespace {

using ShowContact = mftest::SessionTest;

TEST_F(ShowContact, PrintsTheCardForTheTarget) {
    const std::string path = write_pst(mftest::UnicodeContactStore());
    pstcore::folder top = pstcore::pst(path).open_top_folder();
    std::uint32_t nid = 0;
    for (auto folder = top.subfolder_begin(); folder != top.subfolder_end(); ++folder)
        for (auto it = folder->message_begin(); it != folder->message_end(); ++it) nid = it->get_node().get_id();

    std::ostringstream out, err;
    EXPECT_EQ(mailferry::RunShowCommand({path, "--nid", std::to_string(nid), "--target", "archive"}, out, err), 0)
        << err.str();
    EXPECT_TRUE(out.str().starts_with("begin:vcard\r\nversion:3.0\r\nUID:")) << out.str();
    EXPECT_NE(out.str().find("\r\nX-spouse;charset=UTF-8:Sam Lee"), std::string::npos);
    EXPECT_TRUE(out.str().ends_with("\r\nend:vcard\r\n"));
}

}  // namespace
