// mailferry: the command line over the conversion engine.

#include <cstring>
#include <iostream>
#include <string_view>

namespace {

constexpr std::string_view k_usage =
    "usage: mailferry COMMAND [ARGS...]\n"
    "\n"
    "commands:\n"
    "  info FILE...      format, encoding and node-database summary of PST files\n"
    "  help              this text\n";

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || std::strcmp(argv[1], "help") == 0 || std::strcmp(argv[1], "--help") == 0) {
        std::cout << k_usage;
        return argc < 2 ? 2 : 0;
    }
    std::cerr << "mailferry: unknown command '" << argv[1] << "'\n" << k_usage;
    return 2;
}
