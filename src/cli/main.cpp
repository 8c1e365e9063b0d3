// mailferry: the command line over the conversion engine.

#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/convert_command.h"
#include "cli/info_command.h"
#include "cli/list_command.h"
#include "cli/props_command.h"
#include "cli/show_command.h"

namespace {

constexpr std::string_view kUsage =
    "usage: mailferry COMMAND [ARGS...]\n"
    "\n"
    "commands:\n"
    "  info FILE...      format, encoding and node-database summary of PST files\n"
    "  list FILE... [--items] [--codepage N] [--json]\n"
    "                    the store name and folder tree of PST files, with --items every message\n"
    "  props FILE [--nid N] [--table | --rtf]\n"
    "                    a node's properties (default: the message store, 0x21), its table, or its\n"
    "                    compressed RTF body with the HTML made of it\n"
    "  show FILE --nid N [--mbox] [--codepage N] [--target apple|archive|plain] [--reference]\n"
    "       [--timezone ZONE]\n"
    "                    one item as the converter writes it: a message as EML (or an MBOX entry),\n"
    "                    a contact as a vCard, an appointment as a calendar (or its reference mail)\n"
    "  convert FILE... --out DIR [--target apple|thunderbird|archive|files] [--format mbox|eml]\n"
    "       [--split-mbox MB] [--read-unread] [--merge-contacts] [--merge-events]\n"
    "       [--only mail,contacts,calendar] [--folder PATH]... [--ignore-empty] [--codepage N]\n"
    "       [--timezone ZONE] [--quiet]\n"
    "                    converts the mail, contacts and calendars of PST files into a target's layout\n"
    "                    below DIR and prints the report; Ctrl-C cancels after the item in progress\n"
    "  help              this text\n";

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        std::cerr << kUsage;
        return 2;
    }
    const std::string& command = args[0];
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (command == "help" || command == "--help" || command == "-h") {
        std::cout << kUsage;
        return 0;
    }
    if (command == "info" && !rest.empty()) return mailferry::RunInfoCommand(rest, std::cout);
    if (command == "list") return mailferry::RunListCommand(rest, std::cout, std::cerr);
    if (command == "props") return mailferry::RunPropsCommand(rest, std::cout, std::cerr);
    if (command == "show") return mailferry::RunShowCommand(rest, std::cout, std::cerr);
    if (command == "convert") return mailferry::RunConvertCommand(rest, std::cout, std::cerr);
    std::cerr << "mailferry: unknown command or missing arguments: " << command << "\n" << kUsage;
    return 2;
}
