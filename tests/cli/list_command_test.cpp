// `mailferry list` on the sample files, checked against their manifests, and on small written stores, checked
// against whole expected texts.

#include "cli/list_command.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <map>
#include <sstream>

#define BOOST_BIND_GLOBAL_PLACEHOLDERS  // the JSON reader still includes the old bind header
#include <boost/property_tree/json_parser.hpp>
#include <boost/property_tree/ptree.hpp>

#include "pstwrite/export_fixtures.h"
#include "pstwrite/store_builder.h"
#include "session/mapi_folder.h"
#include "session/session_fixture.h"
#include "support/corpus.h"

namespace {

namespace fs = std::filesystem;
namespace prop = pstwrite::prop;
using boost::property_tree::ptree;

class ListCommandTest : public mftest::SessionTest {
protected:
    void SetUp() override {
        SessionTest::SetUp();
        m_settings = settings("defaultCodePage=1252\n");
    }

    int run(const std::vector<std::string>& args) {
        m_out.str("");
        m_err.str("");
        return mailferry::RunListCommand(args, m_out, m_err, *m_settings);
    }

    std::string write_pst(pstwrite::store_builder& store, const std::string& name) const {
        return SessionTest::write_pst(store.write_to_memory(), name);
    }

    std::ostringstream m_out, m_err;
};

std::string kind_of(const ptree& folder, bool is_top) {
    static const std::map<std::string, std::string> kinds = {{"IPF.Appointment", "calendar"},
                                                             {"IPF.Contact", "contacts"},
                                                             {"IPF.Journal", "journal"},
                                                             {"IPF.StickyNote", "notes"},
                                                             {"IPF.Task", "tasks"}};
    const auto it = kinds.find(folder.get<std::string>("container_class"));
    if (it != kinds.end()) return it->second;
    return is_top ? "store root" : "mail";
}

std::string text_or_empty(const ptree& item, const std::string& key) {
    const std::string value = item.get<std::string>(key, "");
    return value == "null" ? "" : value;
}

TEST_F(ListCommandTest, EveryCorpusFileListsAsItsManifestSays) {
    MF_REQUIRE_CORPUS();
    std::vector<std::string> args = {"--items", "--json"};
    for (const auto& file : mftest::corpus_files()) args.push_back(file.string());
    EXPECT_EQ(run(args), 1) << "corrupt-header.pst fails";

    ptree listing;
    std::istringstream json(m_out.str());
    boost::property_tree::read_json(json, listing);
    std::size_t files = 0;
    for (const auto& [unused, entry] : listing.get_child("files")) {
        ++files;
        const fs::path file = entry.get<std::string>("file");
        SCOPED_TRACE(file.filename().string());
        if (file.filename() == "corrupt-header.pst") {
            EXPECT_EQ(entry.get<std::string>("ok"), "false");
            EXPECT_EQ(entry.get<std::string>("error"), "header dwCRCPartial failure");
            EXPECT_NE(m_err.str().find("corrupt-header.pst: header dwCRCPartial failure\n"), std::string::npos);
            continue;
        }
        ASSERT_EQ(entry.get<std::string>("ok"), "true");
        const ptree manifest = mftest::load_manifest(file);
        const std::string store = manifest.get<std::string>("store.display_name");
        EXPECT_EQ(entry.get<std::string>("store"), store);

        // The manifest's folders under the IPM subtree, search folders left out, in tree order.
        std::string top_path;
        std::vector<const ptree*> expected;
        for (const auto& [unused2, folder] : manifest.get_child("folders")) {
            if (folder.get<std::string>("in_ipm_subtree") != "true" ||
                folder.get<std::string>("is_search_folder") == "true")
                continue;
            if (folder.get<std::string>("is_ipm_subtree_root") == "true") top_path = folder.get<std::string>("path");
            expected.push_back(&folder);
        }
        const ptree& folders = entry.get_child("folders");
        ASSERT_EQ(folders.size(), expected.size());
        auto got = folders.begin();
        for (const ptree* want : expected) {
            const ptree& folder = (got++)->second;
            const std::string path = want->get<std::string>("path");
            EXPECT_EQ(folder.get<std::string>("path"), store + path.substr(top_path.size()));
            EXPECT_EQ(folder.get<std::string>("kind"), kind_of(*want, path == top_path)) << path;
            EXPECT_EQ(mftest::manifest_number<std::int64_t>(folder, "itemCount"),
                      mftest::manifest_number<std::int64_t>(*want, "content_count"))
                << path;

            // The manifest lists a folder's items by node id; the listing follows the contents table.
            std::vector<std::pair<std::string, std::string>> want_items, got_items;
            for (const auto& [unused3, item] : manifest.get_child("items"))
                if (item.get<std::string>("folder") == path)
                    want_items.emplace_back(text_or_empty(item, "subject"), text_or_empty(item, "sender_name"));
            for (const auto& [unused4, item] : folder.get_child("items")) {
                EXPECT_EQ(item.get<std::string>("ok"), "true");
                got_items.emplace_back(item.get<std::string>("subject"), item.get<std::string>("senderName"));
            }
            std::sort(want_items.begin(), want_items.end());
            std::sort(got_items.begin(), got_items.end());
            EXPECT_EQ(got_items, want_items) << path;
        }
    }
    EXPECT_EQ(files, mftest::corpus_files().size());
}

TEST_F(ListCommandTest, TextListingOfAWrittenStore) {
    pstwrite::store_builder store(pstwrite::format::unicode, pstwrite::crypt::permute);
    store.set_name(u"Demo");
    auto& inbox = store.ipm_subtree().add_folder(u"Inbox");
    pstwrite::add_plain_mail(inbox, {.subject = u"Hello \"there\"", .read = false});
    inbox.add_folder(u"Old", "IPF.Note");
    store.ipm_subtree().add_folder(u"Journal", "IPF.Journal").add_message("IPM.Activity");
    store.ipm_subtree().add_folder(u"Contacts", "IPF.Contact").add_message("IPM.Contact").set_subject(u"Bob");
    const std::string path = write_pst(store, "demo.pst");

    EXPECT_EQ(run({path, "--items"}), 0);
    EXPECT_EQ(m_out.str(), path +
                               "\n"
                               "  store: Demo\n"
                               "  Demo [store root] 0 items\n"
                               "    Deleted Items [mail] 0 items\n"
                               "    Inbox [mail] 1 item\n"
                               "      - class 4, unread, sent \"Monday, 04 Mar 2024 09:00:00 AM\", from \"Ana Lima\", "
                               "subject \"Hello \\\"there\\\"\"\n"
                               "      Old [mail] 0 items\n"
                               "    Journal [journal, not converted] 1 item\n"
                               "      - class 4, read, sent \"\", from \"\", subject \"\"\n"
                               "    Contacts [contacts] 1 item\n"
                               "      - class 1, read, sent \"\", from \"\", subject \"Bob\"\n");
    EXPECT_EQ(m_err.str(), "");

    EXPECT_EQ(run({path}), 0);
    EXPECT_EQ(m_out.str().find("      - "), std::string::npos) << "items only with --items";
}

TEST_F(ListCommandTest, JsonEscapesEveryAwkwardCharacter) {
    pstwrite::store_builder store(pstwrite::format::unicode, pstwrite::crypt::permute);
    store.set_name(u"A \"quoted\" \\ name");
    store.ipm_subtree().add_folder(u"Tab\there\x01 \u00e9\u4e2d\U0001F600", "IPF.StickyNote");
    const std::string path = write_pst(store, "odd.pst");

    EXPECT_EQ(run({"--json", path}), 0);
    EXPECT_EQ(
        m_out.str(),
        "{\"files\": [\n"
        "  {\"file\": \"" +
            path +
            "\", \"store\": \"A \\\"quoted\\\" \\\\ name\", \"folders\": [\n"
            "    {\"name\": \"A \\\"quoted\\\" \\\\ name\", \"path\": \"A \\\"quoted\\\" \\\\ name\", \"depth\": 0, "
            "\"kind\": \"store root\", \"defaultItemType\": 1, \"converted\": true, \"itemCount\": 0},\n"
            "    {\"name\": \"Deleted Items\", \"path\": \"A \\\"quoted\\\" \\\\ name/Deleted Items\", \"depth\": 1, "
            "\"kind\": \"mail\", \"defaultItemType\": 5, \"converted\": true, \"itemCount\": 0},\n"
            "    {\"name\": \"Tab\\there\\u0001 \xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80\", "
            "\"path\": \"A \\\"quoted\\\" \\\\ name/Tab\\there\\u0001 \xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80\", "
            "\"depth\": 1, \"kind\": \"notes\", \"defaultItemType\": 6, \"converted\": false, \"itemCount\": 0}], "
            "\"ok\": true}\n"
            "]}\n");
}

// The listing is printed while the file is read: a file that fails partway (here below its 200th nested folder)
// keeps what was listed and ends with its error, in text and in valid JSON, and each message carries the node id
// that `mailferry show --nid` takes.
TEST_F(ListCommandTest, AFileThatFailsPartwayEndsWithItsError) {
    pstwrite::store_builder store(pstwrite::format::unicode, pstwrite::crypt::permute);
    pstwrite::folder_builder* level = &store.ipm_subtree().add_folder(u"Inbox");
    const std::uint32_t nid = level->add_message().set_subject(u"First").nid();
    for (int depth = 2; depth <= mailferry::kMaxFolderDepth + 1; ++depth) level = &level->add_folder(u"f");
    const std::string path = write_pst(store, "deep.pst");

    EXPECT_EQ(run({path, "--items"}), 1);
    EXPECT_NE(m_out.str().find("      - class 4, read, sent \"\", from \"\", subject \"First\"\n"), std::string::npos);
    EXPECT_EQ(m_err.str(), "mailferry list: " + path + ": folders nested too deep\n");

    EXPECT_EQ(run({path, "--items", "--json"}), 1);
    ptree listing;
    std::istringstream json(m_out.str());
    boost::property_tree::read_json(json, listing);
    const ptree& file = listing.get_child("files").front().second;
    EXPECT_EQ(file.get<std::string>("ok"), "false");
    EXPECT_EQ(file.get<std::string>("error"), "folders nested too deep");
    const ptree& folders = file.get_child("folders");
    EXPECT_EQ(folders.size(), 2u + mailferry::kMaxFolderDepth);  // the top folder, Deleted Items and the nest
    const ptree& inbox = std::next(folders.begin(), 2)->second;
    EXPECT_EQ(inbox.get<std::string>("name"), "Inbox");
    EXPECT_EQ(inbox.get_child("items").front().second.get<std::string>("nid"), std::to_string(nid));
}

TEST_F(ListCommandTest, CodePageOptionDecodesAnsiNames) {
    pstwrite::store_builder store(pstwrite::format::ansi, pstwrite::crypt::none);
    store.ipm_subtree().add_folder(u"x").set(0x3001, prop::string8("\xC2\xF5\xEE\xE4\xFF\xF9\xE8\xE5", 1251));
    const std::string path = write_pst(store, "ansi.pst");

    EXPECT_EQ(run({path, "--codepage", "1251"}), 0);
    EXPECT_NE(m_out.str().find("    Входящие [mail] 0 items\n"), std::string::npos) << m_out.str();
    EXPECT_EQ(run({path}), 0);
    EXPECT_NE(m_out.str().find("    Âõîäÿùèå [mail] 0 items\n"), std::string::npos) << m_out.str();
}

// A file that cannot be opened is reported and the next one follows; the same file named again is listed once.
// (Damaged files are the corpus test's.)
TEST_F(ListCommandTest, AbsentFileIsReportedAndTheSameFileIsListedOnce) {
    pstwrite::store_builder store(pstwrite::format::unicode, pstwrite::crypt::permute);
    const std::string path = write_pst(store, "same.pst");
    std::string upper = path;
    upper.replace(upper.size() - 8, 8, "SAME.PST");
    const std::string absent = (m_dir / "absent.pst").string();

    EXPECT_EQ(run({absent, path, (m_dir / "." / "same.pst").string(), upper}), 1);
    const std::string out = m_out.str();
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 4) << out;
    EXPECT_TRUE(m_err.str().starts_with("mailferry list: " + absent + ": ")) << m_err.str();
}

TEST_F(ListCommandTest, BadArgumentsShowTheUsage) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {}, {"--items"}, {"a.pst", "--codepage"}, {"a.pst", "--codepage", "x"}, {"a.pst", "--bogus"}}) {
        EXPECT_EQ(run(args), 2);
        EXPECT_EQ(m_err.str(), "usage: mailferry list FILE... [--items] [--codepage N] [--json]\n");
    }
}

}  // namespace
