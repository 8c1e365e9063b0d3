#pragma once
// info_command.h: `mailferry info FILE...` — what the node database makes of each file: format, encoding,
// size, node and block counts, and whether every node's data and subnodes can be read.

#include <ostream>
#include <string>
#include <vector>

namespace mailferry {

// Returns the exit status: 1 when a file could not be opened, else 0.
int RunInfoCommand(const std::vector<std::string>& files, std::ostream& out);

}  // namespace mailferry
