#include "app/model/tree_selection.h"

namespace mailferry {

namespace {

// The root has no data and is never hidden.
std::int64_t CountOf(const TreeNode& node) {
    return node.nodeData() ? node.nodeData()->contentCount() : -1;
}

}  // namespace

bool ContainerClassMatches(std::int32_t nodeClass, std::int32_t containerClass) {
    return nodeClass == containerClass || containerClass == kAnyContainer ||
           (containerClass == kMailContainer && nodeClass == kStoreRootContainer);
}

void SetSelectedForTreeNode(TreeNode& node, bool value, std::int32_t containerClass, bool includeChildren) {
    if (ITreeNodeData* data = node.nodeData();
        data && ContainerClassMatches(data->treeNodeContainerClass(), containerClass))
        data->setSelected(value);
    if (!includeChildren) return;
    for (const auto& child : node.allchildren()) SetSelectedForTreeNode(*child, value, containerClass, true);
}

std::int32_t GetSelectedForTreeNode(const TreeNode& node, std::int32_t containerClass) {
    std::int32_t state = kNoFolderOfClass;
    if (const ITreeNodeData* data = node.nodeData();
        data && ContainerClassMatches(data->treeNodeContainerClass(), containerClass))
        state = data->isSelected() ? kSelected : kNotSelected;
    for (const TreeNode* child : node.children()) {
        const std::int32_t s = GetSelectedForTreeNode(*child, containerClass);
        if (s == kNoFolderOfClass) continue;
        if (state == kNoFolderOfClass) {
            state = s;
        } else if (s != state || state == kMixedSelection) {
            return kMixedSelection;
        }
    }
    return state;
}

void MarkEmptyChidrenForTreeNode(TreeNode& node) {
    bool liveChild = false;
    for (const auto& child : node.allchildren()) {
        MarkEmptyChidrenForTreeNode(*child);
        liveChild = liveChild || child->isLive();
    }
    node.setLive(CountOf(node) != 0 || liveChild);
}

void UnMarkEmptyChidrenForTreeNode(TreeNode& node) {
    node.setLive(true);
    for (const auto& child : node.allchildren()) UnMarkEmptyChidrenForTreeNode(*child);
}

void getSelectedItems(const TreeNode& node, bool ignoreEmptyFolders, std::vector<ITreeNodeData*>& nodeArray) {
    for (const auto& child : node.allchildren()) {
        ITreeNodeData* data = child->nodeData();
        if (data && data->isSelected() && data->treeNodeContainerClass() != kSessionContainer &&
            (!ignoreEmptyFolders || data->contentCount() >= 1))
            nodeArray.push_back(data);
        getSelectedItems(*child, ignoreEmptyFolders, nodeArray);
    }
}

}  // namespace mailferry
