#pragma once
// tree_node.h: the tree behind the main window's outline — an invisible root, one row per open PST file, and
// below it the file's folders. A node owns its data and its children; the parent pointer is not owning. A node
// that is not live (an empty folder hidden by the ignore-empty switch) stays in the tree but is not shown:
// `children` and `numberOfChildren` see only live children, `allchildren` sees all. Not thread-safe; a tree
// built on a loading thread is handed over whole.

#include <cstddef>
#include <memory>
#include <optional>
#include <vector>

#include "app/model/node_data.h"

namespace mailferry {

class TreeNode {
public:
    // The root has no data.
    explicit TreeNode(std::unique_ptr<ITreeNodeData> nodeData = nullptr);
    ~TreeNode();
    TreeNode(const TreeNode&) = delete;
    TreeNode& operator=(const TreeNode&) = delete;

    ITreeNodeData* nodeData() const { return _nodeData.get(); }
    TreeNode* nodeParent() const { return _nodeParent; }
    bool isLive() const { return _isLive; }
    void setLive(bool isLive) { _isLive = isLive; }

    // The live children in order.
    std::vector<TreeNode*> children() const;
    const std::vector<std::unique_ptr<TreeNode>>& allchildren() const { return _nodeChildren; }
    std::size_t numberOfChildren() const;
    // The live child at `position` among the live children; null past the end.
    TreeNode* liveChildAt(std::size_t position) const;
    // The position of a live child among the live children; nothing for another node or a hidden one.
    std::optional<std::size_t> livePositionOf(const TreeNode& child) const;

    TreeNode& appendChild(std::unique_ptr<TreeNode> child);
    // Takes the child out of the tree and hands it back; null when it is not a child of this node.
    std::unique_ptr<TreeNode> removeChild(const TreeNode& child);

private:
    // Declared before the children, so the children go first: folder rows point into the file that the session
    // row's data keeps open.
    std::unique_ptr<ITreeNodeData> _nodeData;
    std::vector<std::unique_ptr<TreeNode>> _nodeChildren;
    TreeNode* _nodeParent = nullptr;  // owns this node; null for the root and a detached node
    bool _isLive = true;
};

}  // namespace mailferry
