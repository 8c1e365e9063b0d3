#include "cli/props_command.h"

#include <gtest/gtest.h>

#include <sstream>

#include "support/corpus.h"

namespace {

struct run_result {
    int status;
    std::string out;
    std::string err;
};

run_result run(std::vector<std::string> args) {
    std::ostringstream out, err;
    const int status = mailferry::RunPropsCommand(args, out, err);
    return {status, out.str(), err.str()};
}

std::string store_path() {
    return (mftest::corpus_dir() / "outlook-store.pst").string();
}

// The message store by default, a message by its node id; long binaries stop after 64 bytes and give their length.
TEST(PropsCommand, EveryKindOfValue) {
    MF_REQUIRE_CORPUS();
    const std::pair<std::vector<std::string>, std::vector<std::string>> cases[] = {
        {{store_path()},
         {"node 0x21: property bag, 16 properties\n", "  0x3001 0x001F unicode: \"Outlook\"\n",
          "  0x35DF 0x0003 int32: 255\n", "  0x6633 0x000B boolean: true\n",
          "  0x0FF9 0x0102 binary: fa 5a 92 f2 30 e1 0d 4e a0 92 4c 31 ee 36 e9 cf (16 bytes)\n"}},
        {{store_path(), "--nid", "0x200144"},
         {"node 0x200144: property bag, 75 properties\n", "  0x0039 0x0040 time: 2011-06-21T23:51:07Z\n",
          "  0x001A 0x001F unicode: \"IPM.Note\"\n", " ... (1623 bytes)\n"}},
        {{store_path(), "--rtf"}, {"node 0x21: no compressed RTF body\n"}},
    };
    for (const auto& [args, lines] : cases) {
        const auto r = run(args);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(r.out.starts_with(lines.front())) << r.out;
        for (const std::string& line : lines) EXPECT_NE(r.out.find(line), std::string::npos) << line;
    }
    EXPECT_EQ(run({"--nid", "2097476", store_path()}).out, run({store_path(), "--nid", "0x200144"}).out);
}

TEST(PropsCommand, TableShowsColumnsThenRows) {
    MF_REQUIRE_CORPUS();
    const auto r = run({store_path(), "--nid", "0x122", "--table"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.find("invalid client_sig") != std::string::npos, true) << r.err;
    const auto hierarchy = run({store_path(), "--table", "--nid", "0x12D"});
    ASSERT_EQ(hierarchy.status, 0) << hierarchy.err;
    EXPECT_EQ(hierarchy.out.substr(0, hierarchy.out.find(',')), "node 0x12D: table");
    const auto columns = hierarchy.out.find("columns:\n");
    const auto rows = hierarchy.out.find("rows:\n");
    ASSERT_NE(columns, std::string::npos);
    ASSERT_NE(rows, std::string::npos);
    EXPECT_LT(columns, rows);
    EXPECT_NE(hierarchy.out.find("row 0 (id 0x"), std::string::npos);
}

TEST(PropsCommand, BadArguments) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {}, {"x.pst", "--nid", "0xZZ"}, {"x.pst", "--bogus"}, {"x.pst", "--rtf", "--table"}})
        EXPECT_EQ(run(args).status, 2);
    const auto missing = run({"/nonexistent/file.pst"});
    EXPECT_EQ(missing.status, 1);
    MF_REQUIRE_CORPUS();
    const auto no_node = run({store_path(), "--nid", "0x7FFFFFE1"});
    EXPECT_EQ(no_node.status, 1);
    EXPECT_EQ(no_node.err, "mailferry props: no node 0x7FFFFFE1 in " + store_path() + "\n");
}

// The inline-image sample keeps its HTML only inside compressed RTF: --rtf shows that RTF and the HTML recovered
// from it, with the image still referenced by its content id.
TEST(PropsCommand, RtfShowsTheDecompressedRtfAndTheRecoveredHtml) {
    MF_REQUIRE_CORPUS();
    const auto r = run({(mftest::corpus_dir() / "rtf-html-inline.pst").string(), "--nid", "0x200024", "--rtf"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')), "node 0x200024: compressed RTF, 9060 bytes");
    const auto rtf = r.out.find("--- RTF (42418 bytes) ---\n{\\rtf1\\ansi\\ansicpg932\\fromhtml1");
    const auto html = r.out.find("--- HTML (");
    ASSERT_NE(rtf, std::string::npos);
    ASSERT_NE(html, std::string::npos);
    EXPECT_NE(r.out.find("src=\"cid:image001.png@01D78380.EF6DC500\"></span>", html), std::string::npos);
    EXPECT_EQ(r.out.find("\\htmltag", html), std::string::npos);
    EXPECT_TRUE(r.out.ends_with("</body></html>\n"));
}

}  // namespace
