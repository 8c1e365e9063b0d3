#pragma once
// folder_walk.h: every normal folder from a starting folder down, depth first in hierarchy-table order, for
// callers that walk a whole store (benchmarks, fuzzing, diagnostics). A damaged file can list a folder below
// itself or in two places; each folder node is visited once, so the walk ends after at most as many folders as
// the file holds. Errors of the layers below propagate and end the walk.

#include <functional>

#include "pstcore/messaging/folder.h"

namespace pstcore {

// Calls `visit` with each folder and its depth (0 for `start`).
void visit_folders(const folder& start, const std::function<void(folder&, unsigned depth)>& visit);

}  // namespace pstcore
