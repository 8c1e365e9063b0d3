#pragma once
// props_command.h: `mailferry props FILE [--nid N] [--table | --rtf]` — one node's property bag (id, type, value), or
// with
// --table its table context (columns, then every row's cells), or with --rtf a message's compressed RTF body and
// the HTML made of it. Without --nid, the message store. A diagnostic
// view: a property that cannot be read prints its error in place of the value, and the rest goes on.

#include <ostream>
#include <string>
#include <vector>

namespace mailferry {

// Returns the exit status: 2 for bad arguments, 1 when the file or node cannot be opened as asked, else 0.
int RunPropsCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace mailferry
