#pragma once
// model_fixture.h: what the main window's model tests share — stores written by pstwrite (a file with every folder
// kind, a second file with contacts and mail, an ANSI file with Cyrillic names), loading them into a model, and
// the tree written out as text.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/model/main_window_model.h"
#include "app/model/tree_selection.h"
#include "platform/path_text.h"
#include "pstwrite/store_builder.h"
#include "session/session_fixture.h"

namespace mftest {

// Inbox (2 mails) > Projects (empty) > Old (1 mail); Contacts (1); Calendar (1); Empty; Tasks > Hidden (mail);
// Journal. The builder adds an empty Deleted Items first.
inline std::vector<std::byte> every_kind_store() {
    pstwrite::store_builder store(pstwrite::format::unicode, pstwrite::crypt::none);
    auto& top = store.ipm_subtree();
    auto& inbox = top.add_folder(u"Inbox");
    inbox.add_message();
    inbox.add_message();
    inbox.add_folder(u"Projects").add_folder(u"Old").add_message();
    top.add_folder(u"Contacts", "IPF.Contact").add_message("IPM.Contact");
    top.add_folder(u"Calendar", "IPF.Appointment").add_message("IPM.Appointment");
    top.add_folder(u"Empty");
    top.add_folder(u"Tasks", "IPF.Task").add_folder(u"Hidden").add_message();
    top.add_folder(u"Journal", "IPF.Journal");
    return store.write_to_memory();
}

inline std::vector<std::byte> contacts_store() {
    pstwrite::store_builder store(pstwrite::format::unicode, pstwrite::crypt::none);
    store.set_name(u"Second");
    store.ipm_subtree().add_folder(u"People", "IPF.Contact").add_message("IPM.Contact");
    store.ipm_subtree().add_folder(u"Mail").add_message();
    return store.write_to_memory();
}

class ModelTest : public SessionTest {
protected:
    void SetUp() override {
        SessionTest::SetUp();
        m_settings = settings("defaultCodePage=1252\nmaxMBOXSize=1024\n");
        model = std::make_unique<mailferry::MainWindowModel>(*m_settings);
    }

    // Loads files as the loading thread would, failures listed by file name.
    std::vector<std::string> load(const std::vector<std::string>& paths) {
        std::vector<std::string> failures;
        mailferry::LoadPSTFiles(
            paths, model->openPaths(), *m_settings,
            {.loading = [](const std::string&) {},
             .loaded = [&](mailferry::LoadedPSTFile file) { model->addLoadedFile(std::move(file)); },
             .failed =
                 [&](const std::string& path) {
                     failures.push_back(std::filesystem::path(path).filename().string());
                 }});
        return failures;
    }

    // The first node with this title, shown or not.
    mailferry::TreeNode& node(std::u16string_view title) const {
        if (auto* found = find(model->root(), title)) return *found;
        throw std::runtime_error("no such node");
    }

    // The shown tree: "title(count)[children]", the count left out for a file's row.
    static std::string shape(const mailferry::TreeNode& node) {
        std::string out;
        for (const mailferry::TreeNode* child : node.children()) {
            if (!out.empty()) out += ",";
            out += mailferry::platform::path_of_text(child->nodeData()->title());
            if (child->nodeData()->contentCount() >= 0)
                out += "(" + std::to_string(child->nodeData()->contentCount()) + ")";
            if (child->numberOfChildren() > 0) out += "[" + shape(*child) + "]";
        }
        return out;
    }

    // "mails M contacts C calendar K", a box shown as x when disabled.
    std::string boxes() const {
        const auto& o = model->options();
        const auto box = [](bool enabled, int value) { return enabled ? std::to_string(value) : std::string("x"); };
        return "mails " + box(o.allMailsEnabled(), o.allMails()) + " contacts " +
               box(o.allContactsEnabled(), o.allContacts()) + " calendar " +
               box(o.allCalendarEnabled(), o.allCalendar());
    }

    std::unique_ptr<mailferry::MainWindowModel> model;

private:
    static mailferry::TreeNode* find(const mailferry::TreeNode& from, std::u16string_view title) {
        for (const auto& child : from.allchildren()) {
            if (child->nodeData()->title() == title) return child.get();
            if (auto* found = find(*child, title)) return found;
        }
        return nullptr;
    }
};

}  // namespace mftest
