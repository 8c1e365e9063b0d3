#include "app/model/tree_node.h"

#include <algorithm>

namespace mailferry {

TreeNode::TreeNode(std::unique_ptr<ITreeNodeData> nodeData) : _nodeData(std::move(nodeData)) {}

TreeNode::~TreeNode() = default;

std::vector<TreeNode*> TreeNode::children() const {
    std::vector<TreeNode*> live;
    for (const auto& child : _nodeChildren)
        if (child->isLive()) live.push_back(child.get());
    return live;
}

std::size_t TreeNode::numberOfChildren() const {
    return static_cast<std::size_t>(
        std::count_if(_nodeChildren.begin(), _nodeChildren.end(), [](const auto& child) { return child->isLive(); }));
}

TreeNode* TreeNode::liveChildAt(std::size_t position) const {
    for (const auto& child : _nodeChildren) {
        if (!child->isLive()) continue;
        if (position == 0) return child.get();
        --position;
    }
    return nullptr;
}

std::optional<std::size_t> TreeNode::livePositionOf(const TreeNode& child) const {
    std::size_t position = 0;
    for (const auto& candidate : _nodeChildren) {
        if (!candidate->isLive()) continue;
        if (candidate.get() == &child) return position;
        ++position;
    }
    return std::nullopt;
}

TreeNode& TreeNode::appendChild(std::unique_ptr<TreeNode> child) {
    child->_nodeParent = this;
    _nodeChildren.push_back(std::move(child));
    return *_nodeChildren.back();
}

std::unique_ptr<TreeNode> TreeNode::removeChild(const TreeNode& child) {
    const auto found =
        std::find_if(_nodeChildren.begin(), _nodeChildren.end(), [&](const auto& c) { return c.get() == &child; });
    if (found == _nodeChildren.end()) return nullptr;
    std::unique_ptr<TreeNode> taken = std::move(*found);
    _nodeChildren.erase(found);
    taken->_nodeParent = nullptr;
    return taken;
}

}  // namespace mailferry
