// Every message of the sample files, reached by walking all folders from the root, against its manifest:
// subject, recipients, bodies, and each attachment's method, data size (whole and streamed) and attached
// message.

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>

#include <boost/property_tree/ptree.hpp>

#include "encoding/code_page_table.h"
#include "encoding/text_conversion.h"
#include "pstcore/messaging/folder_walk.h"
#include "pstcore/messaging/pst.h"
#include "support/corpus.h"
#include "support/test_helpers.h"

namespace {

using boost::property_tree::ptree;

std::uint32_t hex_id(const std::string& text) {
    return static_cast<std::uint32_t>(std::stoul(text, nullptr, 16));
}

std::string utf8(const std::wstring& text) {
    return mailferry::bytes_to_utf8string(mailferry::wstring_to_bytes(text), mailferry::utf16le_encoding());
}

std::uint64_t streamed_size(pstcore::hnid_stream_device device) {
    std::uint64_t total = 0;
    char buffer[4096];
    for (std::streamsize got; (got = device.read(buffer, sizeof buffer)) > 0;) total += static_cast<std::uint64_t>(got);
    return total;
}

void check_message(pstcore::message& m, const ptree& want) {
    m.get_property_bag().set_text_encoding(mailferry::find_text_encoding(1252));
    const std::string subject = want.get<std::string>("subject", "null");
    if (subject != "null") {
        EXPECT_EQ(utf8(m.get_subject()), subject);
    }
    EXPECT_EQ(m.get_recipient_count(), mftest::manifest_number(want, "recipients.count"));

    if (const auto html = want.get_child_optional("bodies.html"); html && html->get<std::string>("type") == "0x102") {
        EXPECT_EQ(streamed_size(m.open_html_body_stream()), mftest::manifest_number(*html, "bytes"));
    }
    if (const auto plain = want.get_child_optional("bodies.plain");
        plain && plain->get<std::string>("type") == "0x1f") {
        EXPECT_EQ(streamed_size(m.open_body_stream()), 2 * mftest::manifest_number(*plain, "chars"));
    }

    ASSERT_EQ(m.get_attachment_count(), mftest::manifest_number(want, "attachments_count"));
    std::map<std::uint32_t, const ptree*> wanted;
    for (const auto& [unused, a] : want.get_child("attachments")) wanted[hex_id(a.get<std::string>("nid"))] = &a;
    for (auto it = m.attachment_begin(); it != m.attachment_end(); ++it) {
        const pstcore::attachment att = *it;
        const auto found = wanted.find(att.get_node().get_id());
        ASSERT_NE(found, wanted.end()) << att.get_node().get_id();
        const ptree& a = *found->second;
        EXPECT_EQ(att.get_method(), mftest::manifest_number<std::int32_t>(a, "method"));
        if (att.is_message()) {
            pstcore::message inner = att.open_as_message();
            EXPECT_EQ(inner.get_depth(), m.get_depth() + 1);
            check_message(inner, a.get_child("embedded"));
        } else if (const auto bytes = mftest::manifest_optional_number(a, "data_bytes")) {
            EXPECT_EQ(att.get_data_size(), *bytes);
            EXPECT_EQ(att.get_bytes().size(), *bytes);
            EXPECT_EQ(streamed_size(att.open_byte_stream()), *bytes);
        }
    }
}

class MessagingCorpus : public ::testing::TestWithParam<std::string> {};

TEST_P(MessagingCorpus, EveryMessageMatchesItsManifest) {
    MF_REQUIRE_CORPUS();
    const auto path = mftest::corpus_dir() / GetParam();
    if (GetParam() == "corrupt-header.pst") GTEST_SKIP() << "damaged file";
    const ptree manifest = mftest::load_manifest(path);
    pstcore::pst file(path.string());

    std::map<std::uint32_t, pstcore::message> messages;
    std::size_t folders = 0;
    pstcore::visit_folders(file.open_root_folder(), [&](pstcore::folder& f, unsigned) {
        ++folders;
        for (auto it = f.message_begin(); it != f.message_end(); ++it) messages.emplace(it->get_node().get_id(), *it);
    });
    const std::size_t search_folders = mftest::manifest_number(manifest, "summary.folders_search");
    EXPECT_EQ(folders, mftest::manifest_number(manifest, "folder_count") - search_folders);

    std::size_t items = 0;
    for (const auto& [unused, item] : manifest.get_child("items")) {
        ++items;
        const auto found = messages.find(hex_id(item.get<std::string>("nid")));
        ASSERT_NE(found, messages.end()) << item.get<std::string>("nid");
        SCOPED_TRACE(item.get<std::string>("nid"));
        check_message(found->second, item);
    }
    EXPECT_EQ(items, messages.size());
}

INSTANTIATE_TEST_SUITE_P(Corpus, MessagingCorpus, ::testing::ValuesIn(mftest::corpus_names()), mftest::param_name);

}  // namespace
