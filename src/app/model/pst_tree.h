#pragma once
// pst_tree.h: opening PST files for the main window. Each file becomes a session and the subtree of its row: the
// file's row over its store's top folder and the folders below it that the tree shows. LoadPSTFiles runs on the
// loading thread and touches nothing but the files it opens; what it made reaches the caller through the events,
// which the front end forwards to its own thread. A file that fails to open or to list its folders is reported
// and the next one follows.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/model/tree_node.h"

namespace mailferry {

class MAPIFolder;
class PSTSession;
namespace platform {
class settings_store;
}

// The file's row with its one child, the tree of the store's top folder.
std::unique_ptr<TreeNode> PopulateTreeForPSTSession(std::shared_ptr<PSTSession> session);
// Appends the folder's node (with its subfolders) under the parent; journal, notes and tasks folders are left out
// with everything below them.
void PopulateTreeForMAPIFolder(MAPIFolder& folder, TreeNode& parentTreeNode);

// True when two paths name one file: equal when letter case is ignored (a case-insensitive volume), unless both
// exist as two different files.
bool SamePSTFile(const std::string& first, const std::string& second);

struct LoadedPSTFile {
    std::shared_ptr<PSTSession> session;
    std::unique_ptr<TreeNode> treeNode;  // the file's row
};

struct PSTLoadEvents {
    std::function<void(const std::string& path)> loading;  // before each file is opened
    std::function<void(LoadedPSTFile file)> loaded;
    std::function<void(const std::string& path)> failed;
};

// Opens each path in turn, skipping one that names a file in `openPaths` or one met earlier in the list. The
// sessions read their code page from `settings`, which nobody may change meanwhile.
void LoadPSTFiles(const std::vector<std::string>& paths, std::vector<std::string> openPaths,
                  const platform::settings_store& settings, const PSTLoadEvents& events);

}  // namespace mailferry
