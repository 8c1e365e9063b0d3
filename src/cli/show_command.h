#pragma once
// show_command.h: `mailferry show FILE --nid N [...]` — one item of a PST file as the converter would write it:
// a message as EML (or with --mbox as an MBOX entry), a contact as its vCard, an appointment as a calendar (or
// with --reference its calendar reference mail), on standard output.

#include <ostream>
#include <string>
#include <vector>

namespace mailferry {

// Returns the exit status: 64 for bad arguments, 1 when the file or item cannot be opened or written, else 0.
int RunShowCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace mailferry
