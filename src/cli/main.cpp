// mailferry: the command line over the conversion engine.

#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/info_command.h"

namespace {

constexpr std::string_view kUsage =
    "usage: mailferry COMMAND [ARGS...]\n"
    "\n"
    "commands:\n"
    "  info FILE...      format, encoding and node-database summary of PST files\n"
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
    std::cerr << "mailferry: unknown command or missing arguments: " << command << "\n" << kUsage;
    return 2;
}
