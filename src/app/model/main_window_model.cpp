#include "app/model/main_window_model.h"

#include <algorithm>

#include "app/model/tree_selection.h"
#include "platform/diagnostic_log.h"
#include "session/pst_session.h"

namespace mailferry {

MainWindowModel::MainWindowModel(platform::settings_store& settings) : _options(settings) {
    _emptyFoldersHidden = _options.ignoreEmptyFolders();
    _options.addChangeHandler([this] {
        if (_options.ignoreEmptyFolders() != _emptyFoldersHidden) ApplyIgnoreEmptyFolders();
    });
}

MainWindowModel::~MainWindowModel() = default;

void MainWindowModel::setTreeResetHandlers(std::function<void()> willReset, std::function<void()> didReset) {
    _willReset = std::move(willReset);
    _didReset = std::move(didReset);
}

std::vector<std::string> MainWindowModel::openPaths() const {
    std::vector<std::string> paths;
    for (const auto& session : _openSessions) paths.push_back(session->pstFilePath());
    return paths;
}

TreeNode& MainWindowModel::addLoadedFile(LoadedPSTFile file) {
    WillReset();
    _openSessions.push_back(std::move(file.session));
    TreeNode& node = _root.appendChild(std::move(file.treeNode));
    if (_emptyFoldersHidden)
        MarkEmptyChidrenForTreeNode(node);
    else
        UnMarkEmptyChidrenForTreeNode(node);
    DidReset();
    UpdateAllItemStatusForContainerClass(kStoreRootContainer);
    return node;
}

void MainWindowModel::closePSTFile(const TreeNode& sessionNode) {
    const auto* data = dynamic_cast<const SessionNodeData*>(sessionNode.nodeData());
    if (!data || sessionNode.nodeParent() != &_root) return;
    const std::shared_ptr<PSTSession> session = data->sharedSession();
    WillReset();
    _root.removeChild(sessionNode);
    std::erase(_openSessions, session);
    DidReset();
    UpdateAllItemStatusForContainerClass(kStoreRootContainer);
}

void MainWindowModel::closeAllPSTFiles() {
    WillReset();
    while (!_root.allchildren().empty()) _root.removeChild(*_root.allchildren().back());
    _openSessions.clear();
    DidReset();
    UpdateAllItemStatusForContainerClass(kStoreRootContainer);
}

std::int32_t MainWindowModel::boxState(const TreeNode& node) const {
    return GetSelectedForTreeNode(node, kAnyContainer);
}

void MainWindowModel::clickFolderBox(TreeNode& node, bool onlyThisFolder) {
    ITreeNodeData* data = node.nodeData();
    if (!data || data->treeNodeContainerClass() == kSessionContainer) return;
    const bool value = onlyThisFolder ? !data->isSelected() : boxState(node) != kSelected;
    SetSelectedForTreeNode(node, value, kAnyContainer, !onlyThisFolder);
    // The subtree may hold folders of other kinds (contacts below a mail folder), so every box is refolded.
    UpdateAllItemStatusForContainerClass(kStoreRootContainer);
}

void MainWindowModel::changeOptionBox(std::int32_t containerClass, std::int32_t value) {
    if (_selfUpdate || (value != kSelected && value != kNotSelected)) return;
    for (TreeNode* sessionNode : _root.children())
        SetSelectedForTreeNode(*sessionNode, value == kSelected, containerClass, true);
    UpdateAllItemStatusForContainerClass(containerClass);
}

void MainWindowModel::UpdateAllItemStatusForContainerClass(std::int32_t containerClass) {
    const bool all = containerClass == kStoreRootContainer;
    _selfUpdate = true;
    for (const std::int32_t kind : {kMailContainer, kContactsContainer, kCalendarContainer})
        if (all || containerClass == kind) _options.setKindState(kind, GetSelectedForTreeNode(_root, kind));
    _selfUpdate = false;
}

bool MainWindowModel::changeTextEncoding(const TreeNode& sessionNode, std::int32_t codePage) {
    const auto* data = dynamic_cast<const SessionNodeData*>(sessionNode.nodeData());
    if (!data || data->session().isUnicodePST() || data->session().pstDefaultCodePage() == codePage) return false;
    WillReset();
    bool reread = true;
    try {
        data->session().SetPstDefaultCodePage(codePage);
    } catch (const std::exception& error) {
        // Names read so far keep their new text; the others stay as they were.
        platform::log_diagnostic(error.what());
        reread = false;
    }
    DidReset();
    return reread;
}

std::vector<IExportItemMAPIFolder*> MainWindowModel::selectedExportItems() const {
    std::vector<ITreeNodeData*> nodes;
    getSelectedItems(_root, _options.ignoreEmptyFolders(), nodes);
    std::vector<IExportItemMAPIFolder*> items;
    for (ITreeNodeData* node : nodes)
        if (auto* folder = dynamic_cast<FolderNodeData*>(node)) items.push_back(folder);
    return items;
}

void MainWindowModel::ApplyIgnoreEmptyFolders() {
    WillReset();
    _emptyFoldersHidden = _options.ignoreEmptyFolders();
    if (_emptyFoldersHidden)
        MarkEmptyChidrenForTreeNode(_root);
    else
        UnMarkEmptyChidrenForTreeNode(_root);
    DidReset();
    UpdateAllItemStatusForContainerClass(kStoreRootContainer);
}

void MainWindowModel::WillReset() const {
    if (_willReset) _willReset();
}

void MainWindowModel::DidReset() const {
    if (_didReset) _didReset();
}

}  // namespace mailferry
