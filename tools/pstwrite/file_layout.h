#pragma once
// file_layout.h: finds the layout of an existing PST file from its bytes, for damaging files that were not
// written in this process (the `pstwrite damage` command). It reads the header, walks both B-trees, each
// node's data tree and subnode tree (16 levels deep at most). Every offset, count and level read is checked,
// and a malformed file gives std::invalid_argument "not a well-formed PST file".

#include <cstddef>
#include <span>

#include "pstwrite/ndb_writer.h"

namespace pstwrite {

layout scan_layout(std::span<const std::byte> file);

}  // namespace pstwrite
