#pragma once
// tree_selection.h: the tri-state selection over the tree. Each row keeps one tick; what a box shows, and what the
// "all mails / contacts / calendar" boxes show, is folded from a subtree for one container class: 1 all ticked,
// 0 none, -1 some, -2 no folder of that class there. Also the hiding of empty folders and the list of ticked
// folders an export takes. The store's top folder counts as mail everywhere.

#include <cstdint>
#include <vector>

#include "app/model/tree_node.h"

namespace mailferry {

enum SelectionState : std::int32_t {
    kNotSelected = 0,
    kSelected = 1,
    kMixedSelection = -1,
    kNoFolderOfClass = -2,
};

// Whether a row of `nodeClass` takes part when `containerClass` is asked for (8 matches every class).
bool ContainerClassMatches(std::int32_t nodeClass, std::int32_t containerClass);

// Ticks or unticks the node when its class matches, and with `includeChildren` every node below it, hidden ones too.
void SetSelectedForTreeNode(TreeNode& node, bool value, std::int32_t containerClass, bool includeChildren);
// The node's own tick (when its class matches) folded with its live subtree's.
std::int32_t GetSelectedForTreeNode(const TreeNode& node, std::int32_t containerClass);

// With the ignore-empty switch on: a folder is shown while it holds items or a shown folder lies below it.
void MarkEmptyChidrenForTreeNode(TreeNode& node);
// With the switch off: everything is shown.
void UnMarkEmptyChidrenForTreeNode(TreeNode& node);

// The ticked folders below `node`, depth first in tree order; with the switch on only those that hold items.
void getSelectedItems(const TreeNode& node, bool ignoreEmptyFolders, std::vector<ITreeNodeData*>& nodeArray);

}  // namespace mailferry
