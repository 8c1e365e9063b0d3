// mailferry: the command line over the conversion engine.

#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/command_help.h"
#include "cli/convert_command.h"
#include "cli/info_command.h"
#include "cli/list_command.h"
#include "cli/props_command.h"
#include "cli/show_command.h"

namespace {

constexpr int kBadArguments = 2;

int Help(const std::vector<std::string>& rest) {
    if (rest.empty()) {
        mailferry::WriteOverview(std::cout);
        return 0;
    }
    const mailferry::CommandHelp* help = rest.size() == 1 ? mailferry::FindCommandHelp(rest[0]) : nullptr;
    if (!help) {
        std::cerr << "mailferry help: takes one command of the list below\n";
        mailferry::WriteOverview(std::cerr);
        return kBadArguments;
    }
    mailferry::WriteCommandHelp(*help, std::cout);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        mailferry::WriteOverview(std::cerr);
        return kBadArguments;
    }
    const std::string& command = args[0];
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (command == "help" || command == "--help" || command == "-h") return Help(rest);
    if (command == "--version") {
        std::cout << mailferry::VersionLine() << "\n";
        return 0;
    }
    if (command == "info") {
        if (!rest.empty()) return mailferry::RunInfoCommand(rest, std::cout);
        std::cerr << mailferry::CommandUsage("info");
        return kBadArguments;
    }
    if (command == "list") return mailferry::RunListCommand(rest, std::cout, std::cerr);
    if (command == "props") return mailferry::RunPropsCommand(rest, std::cout, std::cerr);
    if (command == "show") return mailferry::RunShowCommand(rest, std::cout, std::cerr);
    if (command == "convert") return mailferry::RunConvertCommand(rest, std::cout, std::cerr);
    std::cerr << "mailferry: unknown command " << command << "\n";
    mailferry::WriteOverview(std::cerr);
    return kBadArguments;
}
