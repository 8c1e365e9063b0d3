// An independent check where Debian's pff-tools happen to be installed (skipped otherwise): pffinfo verifies the
// header checksums of both formats and, with -a, the type, CRC and offsets of every allocation-map page.

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "ndb_check.h"
#include "pstwrite/ndb_writer.h"

namespace {

bool have_pffinfo() {
    return std::system("command -v pffinfo >/dev/null 2>&1") == 0;
}

// Runs the command and returns its exit status (-1 when it died from a signal) and its output.
std::pair<int, std::string> run(const std::string& command) {
    std::string output;
    FILE* p = popen((command + " 2>&1").c_str(), "r");
    if (!p) return {-1, output};
    char buf[4096];
    while (std::size_t n = std::fread(buf, 1, sizeof buf, p)) output.append(buf, n);
    const int status = pclose(p);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

TEST(pff_tools, PffinfoAcceptsHeaderAndAllocationMaps) {
    if (!have_pffinfo()) GTEST_SKIP() << "pffinfo not installed";
    for (auto f : {pstwrite::format::unicode, pstwrite::format::ansi}) {
        const auto path = std::filesystem::temp_directory_path() /
                          (f == pstwrite::format::unicode ? "ndb_pff_u.pst" : "ndb_pff_a.pst");
        pstwrite::ndb_writer w(f, pstwrite::crypt::permute, path);
        w.add_node(0x21, 0, ndbcheck::pattern(200, 1));
        w.add_node(0x200024, 0x8082, ndbcheck::pattern(300000, 2), {{0x3F, ndbcheck::pattern(20000, 3)}});
        w.finish();
        const auto [status, output] = run("pffinfo -a '" + path.string() + "'");
        std::filesystem::remove(path);
        EXPECT_NE(status, -1) << output;
        EXPECT_EQ(output.find("checksum"), std::string::npos) << output;
        EXPECT_EQ(output.find("unsupported allocation table type"), std::string::npos) << output;
    }
}

}  // namespace
