#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/show_command.h"
#include "pstcore/messaging/folder.h"
#include "pstcore/messaging/pst.h"
#include "writers/vcard_fixtures.h"

namespace {

TEST(ShowContact, PrintsTheCardForTheTarget) {
    const auto path = std::filesystem::temp_directory_path() / ("mf-show-contact-" + std::to_string(::getpid()));
    const auto bytes = mftest::UnicodeContactStore();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    pstcore::folder top = pstcore::pst(path.string()).open_top_folder();
    std::uint32_t nid = 0;
    for (auto folder = top.subfolder_begin(); folder != top.subfolder_end(); ++folder)
        for (auto it = folder->message_begin(); it != folder->message_end(); ++it) nid = it->get_node().get_id();

    std::ostringstream out, err;
    EXPECT_EQ(mailferry::RunShowCommand({path.string(), "--nid", std::to_string(nid), "--target", "archive"}, out, err),
              0)
        << err.str();
    std::filesystem::remove(path);
    EXPECT_TRUE(out.str().starts_with("begin:vcard\r\nversion:3.0\r\nUID:")) << out.str();
    EXPECT_NE(out.str().find("\r\nX-spouse;charset=UTF-8:Sam Lee"), std::string::npos);
    EXPECT_TRUE(out.str().ends_with("\r\nend:vcard\r\n"));
}

}  // namespace
