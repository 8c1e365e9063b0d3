#pragma once
// list_command.h: `mailferry list FILE... [--items] [--codepage N] [--json]` — each file's store name and every
// folder under the store's top folder, indented under its parent, with its kind and item count (journal, notes
// and tasks folders are marked as not converted); with --items one line per message (class code, isRead,
// sentOn, senderName, subject). --codepage sets the session's code page (ANSI files); --json prints the same
// as one JSON document, each message with its node id ("nid", as `mailferry show --nid` takes it). A file named
// twice (paths differing only in case count as the same) is listed once. The listing is printed while the file
// is read; a file that fails, at once or partway, ends with its error (a line on `err`, and in JSON "ok": false
// with "error") and the next one follows.

#include <ostream>
#include <string>
#include <vector>

namespace mailferry {

namespace platform {
class settings_store;
}

// Returns the exit status: 2 for bad arguments, 1 when any file failed, else 0. The code page comes from
// `settings` ("defaultCodePage") unless --codepage is given.
int RunListCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunListCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                   const platform::settings_store& settings);

}  // namespace mailferry
