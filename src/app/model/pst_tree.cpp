#include "app/model/pst_tree.h"

#include <filesystem>

#include "export/folder_selection.h"
#include "platform/diagnostic_log.h"
#include "session/message_store.h"
#include "session/pst_session.h"

namespace mailferry {

std::unique_ptr<TreeNode> PopulateTreeForPSTSession(std::shared_ptr<PSTSession> session) {
    MAPIFolder& top = session->GetRootStore().GetSubTreeFolder();
    auto sessionNode = std::make_unique<TreeNode>(std::make_unique<SessionNodeData>(std::move(session)));
    PopulateTreeForMAPIFolder(top, *sessionNode);
    return sessionNode;
}

void PopulateTreeForMAPIFolder(MAPIFolder& folder, TreeNode& parentTreeNode) {
    if (!IsTreeFolderKind(folder.defaultItemType())) return;
    auto node = std::make_unique<TreeNode>(std::make_unique<FolderNodeData>(folder));
    // Recursion is bounded: the session refuses folders nested deeper than kMaxFolderDepth.
    for (auto& subFolder : folder.GetFolders()) PopulateTreeForMAPIFolder(*subFolder, *node);
    parentTreeNode.appendChild(std::move(node));
}

bool SamePSTFile(const std::string& first, const std::string& second) {
    if (PstFileKey(first) != PstFileKey(second)) return false;
    std::error_code ec;
    if (!std::filesystem::exists(first, ec) || !std::filesystem::exists(second, ec)) return true;
    return std::filesystem::equivalent(first, second, ec) || ec;
}

void LoadPSTFiles(const std::vector<std::string>& paths, std::vector<std::string> openPaths,
                  const platform::settings_store& settings, const PSTLoadEvents& events) {
    for (const std::string& given : paths) {
        // The alert and the report name files in full.
        std::error_code ec;
        const std::filesystem::path absolute = std::filesystem::absolute(given, ec);
        const std::string path = ec ? given : absolute.lexically_normal().string();
        bool open = false;
        for (const std::string& openPath : openPaths) open = open || SamePSTFile(path, openPath);
        if (open) continue;
        events.loading(path);
        try {
            auto session = std::make_shared<PSTSession>(path, settings);
            auto treeNode = PopulateTreeForPSTSession(session);
            openPaths.push_back(path);
            events.loaded(LoadedPSTFile{std::move(session), std::move(treeNode)});
        } catch (const std::exception& error) {
            platform::log_diagnostic("File opening failed for " + path + ".");
            platform::log_diagnostic(error.what());
            events.failed(path);
        }
    }
}

}  // namespace mailferry
