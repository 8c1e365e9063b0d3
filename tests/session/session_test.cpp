// The session objects over stores written by the fixture writer: the folder tree and its kinds and paths, the
// code-page change, the message cursor, the message values, and lifetimes.

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

#include "pstcore/messaging/hand_store.h"
#include "pstcore/ndb/exceptions.h"
#include "pstwrite/store_builder.h"
#include "session/mapi_folder.h"
#include "session/message.h"
#include "session/message_store.h"
#include "session_fixture.h"

namespace {

namespace prop = pstwrite::prop;
using mailferry::MAPIFolder;
using mftest::hand_store;
using mftest::kRootNid;
using mftest::SessionTest;

std::vector<const MAPIFolder*> walk(MAPIFolder& top) {
    std::vector<const MAPIFolder*> all;
    std::function<void(MAPIFolder&)> visit = [&](MAPIFolder& f) {
        all.push_back(&f);
        for (auto& sub : f.GetFolders()) visit(*sub);
    };
    visit(top);
    return all;
}

std::vector<std::byte> folder_tree_store() {
    pstwrite::store_builder store(pstwrite::format::unicode, pstwrite::crypt::permute);
    store.set_name(u"Demo");
    auto& top = store.ipm_subtree();
    top.add_folder(u"Inbox", "IPF.Note").add_folder(u"Sub", "");
    top.add_folder(u"Calendar", "IPF.Appointment");
    top.add_folder(u"Contacts", "IPF.Contact");
    top.add_folder(u"Journal", "IPF.Journal");
    top.add_folder(u"Notes", "IPF.StickyNote");
    top.add_folder(u"Tasks", "IPF.Task");
    top.add_folder(u"Custom", "IPF.Contact.Custom");
    top.add_folder(u"Lower", "ipf.task");
    top.add_search_folder(u"Finder");
    return store.write_to_memory();
}

TEST_F(SessionTest, FolderTreeHasKindsPathsAndCounts) {
    auto session = open(folder_tree_store());
    EXPECT_TRUE(session->isUnicodePST());
    EXPECT_EQ(session->pstDefaultCodePage(), 1252);
    auto& store = session->GetRootStore();
    EXPECT_EQ(store.storeName(), u"Demo");
    EXPECT_EQ(&store, &session->GetRootStore());

    struct row {
        std::u16string name, path;
        std::int32_t kind;
    };
    std::vector<row> rows;
    for (const MAPIFolder* f : walk(store.GetSubTreeFolder()))
        rows.push_back({f->folderName(), f->fullFolderPath(), f->defaultItemType()});
    const std::vector<row> expected = {
        {u"Demo", u"Demo", 1},
        {u"Deleted Items", u"Demo/Deleted Items", 5},
        {u"Inbox", u"Demo/Inbox", 5},
        {u"Sub", u"Demo/Inbox/Sub", 5},
        {u"Calendar", u"Demo/Calendar", 2},
        {u"Contacts", u"Demo/Contacts", 3},
        {u"Journal", u"Demo/Journal", 4},
        {u"Notes", u"Demo/Notes", 6},
        {u"Tasks", u"Demo/Tasks", 7},
        {u"Custom", u"Demo/Custom", 5},
        {u"Lower", u"Demo/Lower", 5},
    };
    ASSERT_EQ(rows.size(), expected.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].name, expected[i].name) << i;
        EXPECT_EQ(rows[i].path, expected[i].path) << i;
        EXPECT_EQ(rows[i].kind, expected[i].kind) << i;
    }
    EXPECT_EQ(store.GetSubTreeFolder().parentFolder(), nullptr);
    EXPECT_EQ(store.GetSubTreeFolder().GetFolders()[1]->parentFolder(), &store.GetSubTreeFolder());
}

TEST_F(SessionTest, FirstRootRowASearchFolder) {
    hand_store store;
    store.set_store_name(store.text(u"Hand"));
    store.add_folder(kRootNid, kRootNid, store.text(u""), {0x2223, 0x8022}, {});
    store.add_search_folder(0x2223, kRootNid, u"SPAM Search Folder 2");
    store.add_folder(0x8022, kRootNid, store.text(u"Top of Personal Folders"), {0x8042}, {}, u"IPF.Task", 3);
    store.add_folder(0x8042, 0x8022, store.text(u"Inbox"), {}, {}, u"IPF.Note", 2);
    auto session = open(store.finish());

    MAPIFolder& top = session->GetRootStore().GetSubTreeFolder();
    EXPECT_EQ(top.folderName(), u"Hand");
    EXPECT_EQ(top.defaultItemType(), 7) << "a listed class names the top folder's kind too";
    EXPECT_EQ(top.contentCount(), 3);
    ASSERT_EQ(top.GetFolders().size(), 1u);
    EXPECT_EQ(top.GetFolders()[0]->fullFolderPath(), u"Hand/Inbox");
    EXPECT_EQ(top.GetFolders()[0]->contentCount(), 2);
}

TEST_F(SessionTest, RootWithoutANormalFolderCannotBeOpened) {
    hand_store store;
    store.add_folder(kRootNid, kRootNid, store.text(u""), {0x2223}, {});
    store.add_search_folder(0x2223, kRootNid, u"Search");
    auto session = open(store.finish());
    try {
        session->GetRootStore();
        FAIL() << "no top folder";
    } catch (const pstcore::database_corrupt& e) {
        EXPECT_STREQ(e.what(), "the store has no top folder");
    }
}

TEST_F(SessionTest, DamagedHierarchyShowsEachFolderOnce) {
    hand_store store;
    store.add_folder(kRootNid, kRootNid, store.text(u""), {0x8022}, {});
    store.add_folder(0x8022, kRootNid, store.text(u"Top"), {0x8042, 0x8022}, {});
    store.add_folder(0x8042, 0x8022, store.text(u"Loop"), {0x8022}, {});
    auto session = open(store.finish());
    EXPECT_EQ(walk(session->GetRootStore().GetSubTreeFolder()).size(), 2u);
}

TEST_F(SessionTest, FoldersNestOnlySoDeep) {
    pstwrite::store_builder builder(pstwrite::format::unicode, pstwrite::crypt::none);
    pstwrite::folder_builder* level = &builder.ipm_subtree();
    for (int depth = 1; depth <= mailferry::kMaxFolderDepth + 1; ++depth) level = &level->add_folder(u"f");
    auto session = open(builder.write_to_memory());
    MAPIFolder* folder = &session->GetRootStore().GetSubTreeFolder();
    for (int depth = 1; depth <= mailferry::kMaxFolderDepth; ++depth) {
        auto& subs = folder->GetFolders();
        ASSERT_EQ(subs.size(), depth == 1 ? 2u : 1u) << depth;
        folder = subs.back().get();
    }
    EXPECT_EQ(folder->fullFolderPath().size(),
              std::u16string(u"Personal Folders").size() + 2 * mailferry::kMaxFolderDepth);
    try {
        folder->GetFolders();
        FAIL() << "one level too deep";
    } catch (const pstcore::database_corrupt& e) {
        EXPECT_STREQ(e.what(), "folders nested too deep");
    }
}

TEST_F(SessionTest, AFailingSubFolderKeepsTheOnesBeforeIt) {
    hand_store store;
    store.add_folder(kRootNid, kRootNid, store.text(u""), {0x8022}, {});
    store.add_folder(0x8022, kRootNid, store.text(u"Top"), {0x8042, 0x8062, 0x8082}, {});
    store.add_folder(0x8042, 0x8022, store.text(u"A"), {}, {});
    pstwrite::pc_builder bag_only(store.fmt());
    bag_only.set(0x3001, store.text(u"B without tables"));
    store.add_message(0x8062, 0x8022, bag_only);
    store.add_folder(0x8082, 0x8022, store.text(u"C"), {}, {});
    auto session = open(store.finish());
    MAPIFolder& top = session->GetRootStore().GetSubTreeFolder();
    EXPECT_THROW(top.GetFolders(), pstcore::key_not_found<unsigned int>);
    ASSERT_EQ(top.GetFolders().size(), 1u);
    EXPECT_EQ(top.GetFolders()[0]->folderName(), u"A");
}

TEST_F(SessionTest, CodePageChangeRereadsNamesButNotPaths) {
    auto session = open(mftest::cyrillic_store());
    EXPECT_FALSE(session->isUnicodePST());
    auto& store = session->GetRootStore();
    MAPIFolder& top = store.GetSubTreeFolder();
    MAPIFolder& inbox = *top.GetFolders()[1];
    MAPIFolder& sub = *inbox.GetFolders()[0];
    EXPECT_EQ(inbox.folderName(), u"Âõîäÿùèå");
    EXPECT_EQ(sub.fullFolderPath(), u"Personal Folders/Âõîäÿùèå/Ïàïêà");
    auto before = inbox.QueryMessage();
    ASSERT_TRUE(before);
    EXPECT_EQ(before->subject(), u"Ïðèâåò");

    int heard = 0;
    session->AddObserver([&](std::string_view key) {
        EXPECT_EQ(key, "pstDefaultCodePage");
        ++heard;
    });
    session->SetPstDefaultCodePage(1251);
    EXPECT_EQ(heard, 1);
    EXPECT_EQ(inbox.folderName(), u"Входящие");
    EXPECT_EQ(sub.folderName(), u"Папка");
    EXPECT_EQ(sub.fullFolderPath(), u"Personal Folders/Âõîäÿùèå/Ïàïêà") << "paths stay as made";
    EXPECT_EQ(top.folderName(), u"Personal Folders");
    EXPECT_EQ(before->subject(), u"Ïðèâåò") << "messages handed out keep their code page";
    inbox.ResetQuery();
    auto after = inbox.QueryMessage();
    ASSERT_TRUE(after);
    EXPECT_EQ(after->subject(), u"Привет");
}

TEST_F(SessionTest, WithoutADefaultCodePageAnAnsiNameFails) {
    auto session = open(mftest::cyrillic_store(), "");
    EXPECT_EQ(session->pstDefaultCodePage(), 0);
    EXPECT_THROW(session->GetRootStore(), std::runtime_error);
}

TEST_F(SessionTest, CursorSkipsARowThatCannotBeBuilt) {
    hand_store store;
    store.add_folder(kRootNid, kRootNid, store.text(u""), {0x8022}, {});
    store.add_folder(0x8022, kRootNid, store.text(u"Top"), {}, {0x200024, 0x200044, 0x200064});
    pstwrite::pc_builder good(store.fmt());
    good.set(0x0037, prop::unicode(u"\x01"));  // only the marker: an empty subject
    store.add_message(0x200044, 0x8022, good);
    pstwrite::pc_builder apptime(store.fmt());
    apptime.set(0x0039, prop::value{prop::pt_apptime, std::vector<std::byte>(8), 0});
    store.add_message(0x200064, 0x8022, apptime);
    auto session = open(store.finish());
    MAPIFolder& top = session->GetRootStore().GetSubTreeFolder();

    for (int pass = 0; pass < 2; ++pass) {
        EXPECT_THROW(top.QueryMessage(), pstcore::key_not_found<unsigned int>) << "row without its node";
        auto message = top.QueryMessage();
        ASSERT_TRUE(message);
        EXPECT_EQ(message->subject(), u"");
        EXPECT_EQ(message->messageSize(), 0u) << "no 0x0E08 is no size, not a broken message";
        EXPECT_TRUE(message->isRead()) << "no 0x0E07";
        EXPECT_THROW(top.QueryMessage(), pstcore::not_implemented) << "a floating-point sent time";
        EXPECT_EQ(top.QueryMessage(), nullptr);
        EXPECT_EQ(top.QueryMessage(), nullptr);
        top.ResetQuery();
    }
}

TEST_F(SessionTest, MessageValues) {
    constexpr std::uint64_t kSubmit = 116444736000000000ULL + 1308700267ULL * 10000000ULL;
    constexpr std::uint64_t kDelivery = kSubmit + 3600ULL * 10000000ULL;
    struct message_case {
        const char* message_class;
        bool submit, delivery, flags_read;
        std::int32_t code;
        std::u16string sentOn;
        bool read;
    };
    const std::vector<message_case> cases = {
        {"IPM.Note.SMIME", true, true, true, 4, u"Tuesday, 21 Jun 2011 11:51:07 PM", true},
        {"IPM.Note", false, true, false, 4, u"Wednesday, 22 Jun 2011 12:51:07 AM", false},
        {"IPM.Appointment", true, false, true, 0, u"Tuesday, 21 Jun 2011 11:51:07 PM", true},
        {"IPM.Contact", true, true, true, 1, u"", true},
        {"IPM.DistList", true, false, true, 2, u"", true},
        {"IPM.Journal", false, false, true, 3, u"", true},
        {"IPM.StickyNote", false, false, true, 5, u"", true},
        {"IPM.Task", false, false, true, 6, u"", true},
        {"IPM.Post", false, false, true, 4, u"", true},
        {"REPORT.IPM.Note.NDR", false, false, true, 4, u"", true},
    };
    pstwrite::store_builder builder(pstwrite::format::unicode, pstwrite::crypt::permute);
    auto& inbox = builder.ipm_subtree().add_folder(u"Inbox");
    for (const auto& c : cases) {
        auto& m = inbox.add_message(c.message_class);
        m.set(0x0C1A, prop::unicode(u"Saqib Razzaq"));
        m.set(0x0E07, prop::i32(c.flags_read ? 1 : 0));
        if (c.submit) m.set(0x0039, prop::time(kSubmit));
        if (c.delivery) m.set(0x0E06, prop::time(kDelivery));
    }
    auto session = open(builder.write_to_memory());
    MAPIFolder& folder = *session->GetRootStore().GetSubTreeFolder().GetFolders()[1];
    for (const auto& c : cases) {
        auto message = folder.QueryMessage();
        ASSERT_TRUE(message);
        EXPECT_EQ(message->messageClass(), c.code) << c.message_class;
        EXPECT_EQ(message->sentOn(), c.sentOn) << c.message_class;
        EXPECT_EQ(message->isRead(), c.read) << c.message_class;
        EXPECT_EQ(message->senderName(), u"Saqib Razzaq");
        EXPECT_GT(message->messageSize(), 0u);
    }
    EXPECT_EQ(folder.QueryMessage(), nullptr);
}

TEST_F(SessionTest, SentOnFollowsTheZoneGiven) {
    pstwrite::store_builder builder(pstwrite::format::unicode, pstwrite::crypt::permute);
    builder.ipm_subtree().add_folder(u"Inbox").add_message().set(
        0x0039, prop::time(116444736000000000ULL + 1308700267ULL * 10000000ULL));
    auto session = open(builder.write_to_memory());
    auto queried = session->GetRootStore().GetSubTreeFolder().GetFolders()[1]->QueryMessage();
    ASSERT_TRUE(queried);
    for (const auto& [zone, text] :
         std::vector<std::pair<std::string, std::u16string>>{{"America/New_York", u"Tuesday, 21 Jun 2011 07:51:07 PM"},
                                                             {"Asia/Tokyo", u"Wednesday, 22 Jun 2011 08:51:07 AM"}}) {
        mailferry::Message message(std::make_unique<pstcore::message>(queried->GetMessage()), session,
                                   *mailferry::time_zone::named(zone));
        EXPECT_EQ(message.sentOn(), text) << zone;
    }
}

TEST_F(SessionTest, AMessageKeepsItsSessionAndTheFileOpen) {
    pstwrite::store_builder builder(pstwrite::format::unicode, pstwrite::crypt::permute);
    builder.ipm_subtree().add_folder(u"Inbox").add_message().set_subject(u"kept");
    auto session = open(builder.write_to_memory());
    std::weak_ptr<mailferry::PSTSession> weak_session = session;
    std::weak_ptr<pstcore::db_context> weak_db = session->pstSession().get_db();
    auto message = session->GetRootStore().GetSubTreeFolder().GetFolders()[1]->QueryMessage();
    ASSERT_TRUE(message);
    session.reset();
    EXPECT_FALSE(weak_session.expired());
    EXPECT_EQ(message->GetMessage().get_subject(), L"kept");
    message.reset();
    EXPECT_TRUE(weak_session.expired());
    EXPECT_TRUE(weak_db.expired());
}

TEST_F(SessionTest, AFileThatIsNoPstMakesNoSession) {
    m_settings = settings("");
    const std::string path = write_pst(std::vector<std::byte>(1024, std::byte{0x41}));
    EXPECT_THROW(mailferry::PSTSession(path, *m_settings), std::exception);
    EXPECT_THROW(mailferry::PSTSession((m_dir / "absent.pst").string(), *m_settings), std::runtime_error);
}

}  // namespace
