#pragma once
// main_window_model.h: the main window without its widgets — the open files and their tree, the options panel,
// and the rules that tie them: a click on a folder's box, a click on an all-kinds box, the ignore-empty switch,
// closing files, a file's text encoding, and the folders an export takes. The Qt views call these and repaint;
// a change of the tree's shape is announced to them before and after. Main thread only.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/model/options_controller.h"
#include "app/model/pst_tree.h"
#include "app/model/tree_node.h"

namespace mailferry {

class IExportItemMAPIFolder;
class PSTSession;

class MainWindowModel {
public:
    explicit MainWindowModel(platform::settings_store& settings);
    ~MainWindowModel();
    MainWindowModel(const MainWindowModel&) = delete;
    MainWindowModel& operator=(const MainWindowModel&) = delete;

    // Called around every change of which rows exist or are shown.
    void setTreeResetHandlers(std::function<void()> willReset, std::function<void()> didReset);

    const TreeNode& root() const { return _root; }
    TreeNode& root() { return _root; }
    OptionsController& options() { return _options; }
    const OptionsController& options() const { return _options; }
    const std::vector<std::shared_ptr<PSTSession>>& openSessions() const { return _openSessions; }
    bool hasOpenedFiles() const { return !_openSessions.empty(); }
    // Drops and new loads are taken only while no load or export runs.
    bool allowPSTDrop() const { return _allowPSTDrop; }
    void setAllowPSTDrop(bool allow) { _allowPSTDrop = allow; }
    // Set while the model itself updates the all-kinds boxes.
    bool selfUpdate() const { return _selfUpdate; }

    // The paths of the open files, for the loader to skip.
    std::vector<std::string> openPaths() const;
    // Appends a loaded file's row, hides its empty folders when the switch is on and recomputes the boxes.
    TreeNode& addLoadedFile(LoadedPSTFile file);
    void closePSTFile(const TreeNode& sessionNode);
    void closeAllPSTFiles();

    // What a folder's box shows: 1, 0 or -1 over its subtree.
    std::int32_t boxState(const TreeNode& node) const;
    // A click on a folder's box: a ticked box unticks, another ticks, the folder and all below it; with
    // `onlyThisFolder` (Alt held) the folder's own tick flips and nothing below it changes.
    void clickFolderBox(TreeNode& node, bool onlyThisFolder);
    // A click on an all-kinds box (class 5, 3 or 2) ticks or unticks that kind in every file.
    void changeOptionBox(std::int32_t containerClass, std::int32_t value);
    // Refolds the all-kinds boxes: class 1 all three, 5 mails, 3 contacts, 2 calendar.
    void UpdateAllItemStatusForContainerClass(std::int32_t containerClass);

    // Reads a file's text with another code page; false when nothing changed or the names cannot be read again.
    bool changeTextEncoding(const TreeNode& sessionNode, std::int32_t codePage);

    // The ticked folders, in tree order, as the export takes them.
    std::vector<IExportItemMAPIFolder*> selectedExportItems() const;

private:
    void ApplyIgnoreEmptyFolders();
    void WillReset() const;
    void DidReset() const;

    OptionsController _options;
    TreeNode _root;
    std::vector<std::shared_ptr<PSTSession>> _openSessions;
    bool _allowPSTDrop = true;
    bool _selfUpdate = false;
    bool _emptyFoldersHidden = false;
    std::function<void()> _willReset, _didReset;
};

}  // namespace mailferry
