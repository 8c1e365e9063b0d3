// The store and its folders over hand-written stores: which folder is the top one, what sub-folder and message
// iteration visit, and how a missing node surfaces.

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "encoding/code_page_table.h"
#include "pstcore/messaging/folder_walk.h"
#include "pstcore/messaging/hand_store.h"
#include "pstcore/messaging/pst.h"
#include "pstcore/ndb/exceptions.h"
#include "support/test_helpers.h"

namespace {

using mftest::hand_store;
using mftest::kRootNid;

pstcore::pst open(hand_store& store) {
    return pstcore::pst(pstcore::open_database(store.finish()));
}

pstwrite::pc_builder message_bag(pstwrite::format f, std::u16string_view subject) {
    pstwrite::pc_builder pc(f);
    pc.set(0x001A, pstwrite::prop::unicode(u"IPM.Note"));
    pc.set(0x0037, pstwrite::prop::unicode(subject));
    return pc;
}

TEST(StoreTopFolder, RootWithOnlySearchFoldersFailsClearly) {
    hand_store store;
    store.add_folder(kRootNid, kRootNid, store.text(u""), {0x2223}, {});
    store.add_search_folder(0x2223, kRootNid, u"Search");
    pstcore::pst file = open(store);

    EXPECT_EQ(mftest::failure_of<pstcore::database_corrupt>([&] { file.open_top_folder(); }),
              "the store has no top folder");
}

// The top folder is the first normal folder under the root, after a search folder.
TEST(FolderIteration, SkipsSearchFoldersWhereverTheyStand) {
    hand_store store;
    store.add_folder(kRootNid, kRootNid, store.text(u""), {0x2223, 0x8022}, {});
    store.add_search_folder(0x2223, kRootNid, u"SPAM Search Folder 2");
    store.add_folder(0x8022, kRootNid, store.text(u"Top"), {0x2243, 0x8042, 0x2263, 0x8062, 0x2283}, {});
    store.add_search_folder(0x2243, 0x8022, u"S1");
    store.add_folder(0x8042, 0x8022, store.text(u"Inbox"), {0x22A3}, {});
    store.add_search_folder(0x2263, 0x8022, u"S2");
    store.add_folder(0x8062, 0x8022, store.text(u"Sent"), {}, {});
    store.add_search_folder(0x2283, 0x8022, u"S3");
    store.add_search_folder(0x22A3, 0x8042, u"S4");
    pstcore::pst file = open(store);

    const pstcore::folder top = file.open_top_folder();
    EXPECT_EQ(top.get_id(), 0x8022u);
    EXPECT_EQ(top.get_name(), L"Top");
    std::vector<std::wstring> names;
    for (auto it = top.subfolder_begin(); it != top.subfolder_end(); ++it) names.push_back(it->get_name());
    EXPECT_EQ(names, (std::vector<std::wstring>{L"Inbox", L"Sent"}));

    const pstcore::folder inbox = *top.subfolder_begin();
    EXPECT_TRUE(inbox.subfolder_begin() == inbox.subfolder_end()) << "a folder with only search folders";
}

// A row whose message node is missing fails only that row; a message without 0x0E08 has no size.
TEST(FolderIteration, MessagesInRowOrderAndEmptyContents) {
    hand_store store;
    store.add_folder(kRootNid, kRootNid, store.text(u""), {0x8022}, {});
    store.add_folder(0x8022, kRootNid, store.text(u"Top"), {0x8042}, {});
    store.add_folder(0x8042, 0x8022, store.text(u"Inbox"), {}, {0x200044, 0x200084, 0x200024}, std::nullopt, 7);
    auto sized = message_bag(store.fmt(), u"first");
    sized.set(0x0E08, pstwrite::prop::i32(1234));
    store.add_message(0x200024, 0x8042, message_bag(store.fmt(), u"second"));
    store.add_message(0x200044, 0x8042, sized);
    pstcore::pst file = open(store);

    const pstcore::folder top = file.open_top_folder();
    EXPECT_TRUE(top.message_begin() == top.message_end());
    EXPECT_EQ(top.get_item_count(), 0) << "no 0x3602 means no items";

    const pstcore::folder inbox = *top.subfolder_begin();
    EXPECT_EQ(inbox.get_item_count(), 7) << "the folder's own count, not the rows";
    auto it = inbox.message_begin();
    EXPECT_EQ(it->get_subject(), L"first");
    EXPECT_EQ(it->size(), 1234);
    EXPECT_THROW(*++it, pstcore::key_not_found<unsigned int>);
    EXPECT_EQ((++it)->get_subject(), L"second");
    EXPECT_THROW(it->size(), pstcore::key_not_found<pstcore::prop_id>);
    EXPECT_TRUE(++it == inbox.message_end());
}

TEST(FolderIteration, AFolderWithoutTablesFailsWhenItsRowsAreAsked) {
    hand_store store;
    store.add_folder(kRootNid, kRootNid, store.text(u""), {0x8022}, {});
    store.add_folder(0x8022, kRootNid, store.text(u"Top"), {}, {});
    store.add_search_folder(0x2223, kRootNid, u"no tables");
    pstcore::pst file = open(store);

    const pstcore::folder odd(file.get_db(), file.get_db()->lookup_node(0x2223));
    EXPECT_EQ(odd.get_name(), L"no tables");
    EXPECT_THROW(odd.message_begin(), pstcore::key_not_found<unsigned int>);
    EXPECT_THROW(odd.subfolder_begin(), pstcore::key_not_found<unsigned int>);
}

TEST(FolderWalk, DepthFirstInRowOrderAndEachFolderOnce) {
    hand_store store;
    store.add_folder(kRootNid, kRootNid, store.text(u""), {0x8022}, {});
    // Top lists itself; Inbox lists Top and Sent; Sent lists Inbox: a damaged file's loops. A folder listed in
    // two places is visited where it is met first.
    store.add_folder(0x8022, kRootNid, store.text(u"Top"), {0x8042, 0x2223, 0x8022, 0x8062}, {});
    store.add_folder(0x8042, 0x8022, store.text(u"Inbox"), {0x8022, 0x8082, 0x8062}, {});
    store.add_folder(0x8082, 0x8042, store.text(u"Sub"), {}, {});
    store.add_folder(0x8062, 0x8022, store.text(u"Sent"), {0x8042}, {});
    store.add_search_folder(0x2223, 0x8022, u"Finder");
    pstcore::pst file = open(store);

    std::vector<std::pair<std::wstring, unsigned>> seen;
    pstcore::visit_folders(file.open_top_folder(),
                           [&](pstcore::folder& f, unsigned depth) { seen.emplace_back(f.get_name(), depth); });
    EXPECT_EQ(seen,
              (std::vector<std::pair<std::wstring, unsigned>>{{L"Top", 0}, {L"Inbox", 1}, {L"Sub", 2}, {L"Sent", 1}}));
}

TEST(StoreName, AnAnsiNameNeedsACodePage) {
    hand_store store(pstwrite::format::ansi);
    store.set_store_name(pstwrite::prop::string8("\xCF\xEE\xF7\xF2\xE0", 1251));
    store.add_folder(kRootNid, kRootNid, store.text(u""), {}, {});
    pstcore::pst file = open(store);

    EXPECT_THROW(file.get_name(), std::runtime_error);
    file.get_property_bag().set_text_encoding(mailferry::find_text_encoding(1251));
    EXPECT_EQ(file.get_name(), L"Почта");
    file.get_property_bag().set_text_encoding(mailferry::find_text_encoding(1252));
    EXPECT_EQ(file.get_name(), L"Ïî÷òà");
}

}  // namespace
