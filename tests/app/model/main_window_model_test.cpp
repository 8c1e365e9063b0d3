// The main window's rules on real stores: the tree a file shows, loading several files, the folds behind the
// boxes, the all-kinds boxes across files, hiding empty folders, and a file's text encoding.

#include <fstream>

#include "model_fixture.h"
#include "session/pst_session.h"

namespace mailferry {
namespace {

using mftest::ModelTest;

TEST_F(ModelTest, TreeShowsTheStoreWithoutTasksAndJournals) {
    pstwrite::store_builder tasksOnly(pstwrite::format::unicode, pstwrite::crypt::none);
    tasksOnly.ipm_subtree().add_folder(u"Tasks", "IPF.Task").add_folder(u"Inside").add_message();
    tasksOnly.ipm_subtree().add_folder(u"Journal", "IPF.Journal");
    EXPECT_TRUE(
        load({write_pst(mftest::every_kind_store(), "store.pst"), write_pst(tasksOnly.write_to_memory(), "tasks.pst")})
            .empty());
    EXPECT_EQ(shape(model->root()),
              "store.pst[Personal Folders(0)[Deleted Items(0),Inbox(2)[Projects(0)[Old(1)]],Contacts(1),Calendar(1),"
              "Empty(0)]],tasks.pst[Personal Folders(0)[Deleted Items(0)]]");
    EXPECT_EQ(model->boxState(model->root()), kSelected) << "every row starts ticked";
}

TEST_F(ModelTest, LoaderSkipsTheSameFileAndGoesOnAfterAFailure) {
    const std::string first = write_pst(mftest::every_kind_store(), "a.pst");
    const std::string other = write_pst(mftest::contacts_store(), "A.pst");  // another file, its name in capitals
    std::ofstream(m_dir / "damaged.pst") << std::string(4096, 'x');
    const std::string second = write_pst(mftest::contacts_store(), "b.pst");
    EXPECT_EQ(load({first, (m_dir / "a.PST").string(), (m_dir / "damaged.pst").string(), other, second}),
              std::vector<std::string>{"damaged.pst"});
    EXPECT_EQ(load({first, second}), std::vector<std::string>{}) << "files already open are skipped";
    ASSERT_EQ(model->openSessions().size(), 3u);
    EXPECT_EQ(model->openSessions()[1]->pstFilePath(), other);
}

// A sequence of clicks, with the all-kinds boxes and the boxes of Inbox and the store's top folder after each.
TEST_F(ModelTest, BoxesFoldTheirSubtreesAndAltClickChangesOneFolder) {
    load({write_pst(mftest::every_kind_store())});
    TreeNode& inbox = node(u"Inbox");
    TreeNode& top = node(u"Personal Folders");
    struct Step {
        const char* what;
        std::function<void()> act;
        const char* expected;
    };
    const Step steps[] = {
        {"loaded", [] {}, "mails 1 contacts 1 calendar 1 | inbox 1 top 1"},
        {"alt-click Inbox", [&] { model->clickFolderBox(inbox, true); },
         "mails -1 contacts 1 calendar 1 | inbox -1 top -1"},
        {"click mixed Inbox", [&] { model->clickFolderBox(inbox, false); },
         "mails 1 contacts 1 calendar 1 | inbox 1 top 1"},
        {"click Inbox", [&] { model->clickFolderBox(inbox, false); },
         "mails -1 contacts 1 calendar 1 | inbox 0 top -1"},
        {"alt-click Inbox", [&] { model->clickFolderBox(inbox, true); },
         "mails -1 contacts 1 calendar 1 | inbox -1 top -1"},
        {"untick all mails", [&] { model->changeOptionBox(kMailContainer, 0); },
         "mails 0 contacts 1 calendar 1 | inbox 0 top -1"},
        {"click the top folder", [&] { model->clickFolderBox(top, false); },
         "mails 1 contacts 1 calendar 1 | inbox 1 top 1"},
        {"click it again", [&] { model->clickFolderBox(top, false); }, "mails 0 contacts 0 calendar 0 | inbox 0 top 0"},
        {"tick all calendar", [&] { model->changeOptionBox(kCalendarContainer, 1); },
         "mails 0 contacts 0 calendar 1 | inbox 0 top -1"},
    };
    for (const Step& step : steps) {
        step.act();
        EXPECT_EQ(boxes() + " | inbox " + std::to_string(model->boxState(inbox)) + " top " +
                      std::to_string(model->boxState(top)),
                  step.expected)
            << step.what;
    }
    EXPECT_FALSE(top.nodeData()->isSelected()) << "the store's top folder went with the mails";
}

TEST_F(ModelTest, UntickingAllContactsReachesEveryFileAndNothingElse) {
    load({write_pst(mftest::every_kind_store(), "one.pst"), write_pst(mftest::contacts_store(), "two.pst")});
    model->changeOptionBox(kContactsContainer, 0);
    EXPECT_EQ(boxes(), "mails 1 contacts 0 calendar 1");
    std::vector<std::u16string> exported;
    for (IExportItemMAPIFolder* item : model->selectedExportItems())
        exported.push_back(item->getFolder()->folderName());
    EXPECT_EQ(exported,
              (std::vector<std::u16string>{u"Personal Folders", u"Deleted Items", u"Inbox", u"Projects", u"Old",
                                           u"Calendar", u"Empty", u"Second", u"Deleted Items", u"Mail"}));
}

TEST_F(ModelTest, IgnoringEmptyFoldersHidesThemAndLeavesThemOutOfTheExport) {
    load({write_pst(mftest::every_kind_store())});
    const auto exported = [&] {
        std::string names;
        for (IExportItemMAPIFolder* item : model->selectedExportItems())
            names += platform::path_of_text(item->getFolder()->folderName()) + ";";
        return names;
    };
    // Through the settings store, as a change made elsewhere would arrive.
    m_settings->set_bool("ignoreEmptyFolders", true);
    EXPECT_EQ(shape(model->root()),
              "store.pst[Personal Folders(0)[Inbox(2)[Projects(0)[Old(1)]],Contacts(1),Calendar(1)]]");
    EXPECT_EQ(exported(), "Inbox;Old;Contacts;Calendar;") << "an empty folder shown for its subfolder is not exported";

    model->options().setIgnoreEmptyFolders(false);
    EXPECT_TRUE(m_settings->get_string("ignoreEmptyFolders") == "0");
    EXPECT_EQ(exported(), "Personal Folders;Deleted Items;Inbox;Projects;Old;Contacts;Calendar;Empty;");
}

TEST_F(ModelTest, ClosingFilesDisablesTheBoxesOfKindsNoLongerOpen) {
    load({write_pst(mftest::every_kind_store(), "one.pst"), write_pst(mftest::contacts_store(), "two.pst")});
    model->closePSTFile(node(u"one.pst"));
    EXPECT_EQ(boxes(), "mails 1 contacts 1 calendar x");
    EXPECT_EQ(model->openPaths(), std::vector<std::string>{(m_dir / "two.pst").string()});
    model->closeAllPSTFiles();
    EXPECT_EQ(boxes(), "mails x contacts x calendar x");
    EXPECT_FALSE(model->options().startButtonEnabled());
    EXPECT_FALSE(model->hasOpenedFiles());
}

TEST_F(ModelTest, TextEncodingRereadsTheNamesOfAnAnsiFile) {
    load({write_pst(mftest::cyrillic_store(), "ansi.pst"), write_pst(mftest::contacts_store(), "unicode.pst")});
    const TreeNode& ansi = node(u"ansi.pst - [Text Encoding: Western European (Windows)]");
    EXPECT_NE(ansi.nodeData()->toolTip(true).find(u"Right click (or Ctrl + Click) to Change Text Encoding."),
              std::u16string::npos);
    EXPECT_TRUE(model->changeTextEncoding(ansi, 1251));
    EXPECT_EQ(ansi.nodeData()->title(), u"ansi.pst - [Text Encoding: Cyrillic (Windows)]");
    EXPECT_NO_THROW(node(u"Входящие"));
    EXPECT_FALSE(model->changeTextEncoding(node(u"unicode.pst"), 1251)) << "a Unicode file has no code page to change";
}

}  // namespace
}  // namespace mailferry
