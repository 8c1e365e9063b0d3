#pragma once
// command_help.h: the help of every command in one place — its usage lines (printed alone after a usage
// error), what it does, and its options — for `mailferry help [COMMAND]` and each command's refusals. The man
// page (share/man/mailferry.1) is written by hand from these texts; a test checks that it names every option.

#include <ostream>
#include <string_view>

namespace mailferry {

struct CommandHelp {
    std::string_view name;
    std::string_view usage;    // "usage: mailferry NAME ...\n", wrapped lines included
    std::string_view summary;  // one line for the list of commands
    std::string_view details;  // what it does, its options and exit statuses; ends in a line break
};

// The command named `name`, or nullptr.
const CommandHelp* FindCommandHelp(std::string_view name);
// The usage lines of a command that exists.
std::string_view CommandUsage(std::string_view name);

// `mailferry help`: the usage, every command with its summary, and where to read more.
void WriteOverview(std::ostream& out);
// `mailferry help NAME`: usage, then details.
void WriteCommandHelp(const CommandHelp& help, std::ostream& out);

// "mailferry VERSION" with the build's version.
std::string_view VersionLine();

}  // namespace mailferry
