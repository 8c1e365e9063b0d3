#include "pstcore/messaging/folder_walk.h"

#include <unordered_set>
#include <utility>
#include <vector>

namespace pstcore {

void visit_folders(const folder& start, const std::function<void(folder&, unsigned depth)>& visit) {
    std::unordered_set<node_id> seen{start.get_id()};
    // An explicit stack: the depth of a damaged tree is bounded by the file, not by the call stack.
    struct pending {
        folder f;
        unsigned depth;
    };
    std::vector<pending> stack{{start, 0}};
    while (!stack.empty()) {
        pending current = std::move(stack.back());
        stack.pop_back();
        visit(current.f, current.depth);
        std::vector<pending> children;
        for (auto it = current.f.subfolder_begin(), end = current.f.subfolder_end(); it != end; ++it)
            if (seen.insert((*it.base()).get_row_id()).second) children.push_back({*it, current.depth + 1});
        for (auto child = children.rbegin(); child != children.rend(); ++child) stack.push_back(std::move(*child));
    }
}

}  // namespace pstcore
