// pstwrite: writes PST files for tests, the demo and benchmarks.
//
//   pstwrite generate [--format unicode|ansi] [--crypt none|permute|cyclic] [--folders F] [--messages N]
//                     [--body-bytes B] [--attachments-per-message A] [--attachment-bytes S] [--seed K] OUT.pst
//   pstwrite damage --fault NAME IN.pst OUT.pst
//   pstwrite demo OUT.pst
//   pstwrite mail-samples [--format unicode|ansi] [--crypt none|permute|cyclic] OUT.pst
//   pstwrite calendar OUT.pst      (prints the store's manifest)
//   pstwrite fixture hostile-names|nested|broken-index|pim [--format unicode|ansi] OUT.pst
//
// Sizes take an optional K, M or G suffix (powers of 1024). Exit status: 0 done, 1 failed, 2 bad command line.

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <fstream>
#include <iterator>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "pstwrite/calendar_fixture.h"
#include "pstwrite/damage.h"
#include "pstwrite/demo.h"
#include "pstwrite/export_fixtures.h"
#include "pstwrite/file_layout.h"
#include "pstwrite/generate.h"
#include "pstwrite/mail_samples.h"
#include "pstwrite/ndb_writer.h"

namespace {

constexpr int exit_failed = 1;
constexpr int exit_usage = 2;

void print_usage() {
    std::fputs(
        "usage: pstwrite generate [--format unicode|ansi] [--crypt none|permute|cyclic] [--folders F]\n"
        "                         [--messages N] [--body-bytes B] [--attachments-per-message A]\n"
        "                         [--attachment-bytes S] [--seed K] OUT.pst\n"
        "       pstwrite damage --fault NAME IN.pst OUT.pst\n"
        "       pstwrite demo OUT.pst\n"
        "       pstwrite mail-samples [--format unicode|ansi] [--crypt none|permute|cyclic] OUT.pst\n"
        "       pstwrite calendar OUT.pst\n"
        "       pstwrite fixture hostile-names|nested|broken-index|pim [--format unicode|ansi] OUT.pst\n"
        "sizes take an optional K, M or G suffix; faults:",
        stderr);
    for (auto name : pstwrite::fault_names()) std::fprintf(stderr, " %.*s", static_cast<int>(name.size()), name.data());
    std::fputs("\n", stderr);
}

struct usage_error {
    std::string message;
};

std::uint64_t parse_size(std::string_view flag, std::string_view text, std::uint64_t max) {
    std::uint64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr == text.data())
        throw usage_error{std::string(flag) + ": not a number: " + std::string(text)};
    std::uint64_t scale = 1;
    if (ptr != end) {
        if (end - ptr != 1) throw usage_error{std::string(flag) + ": not a number: " + std::string(text)};
        switch (*ptr) {
            case 'k':
            case 'K':
                scale = 1ull << 10;
                break;
            case 'm':
            case 'M':
                scale = 1ull << 20;
                break;
            case 'g':
            case 'G':
                scale = 1ull << 30;
                break;
            default:
                throw usage_error{std::string(flag) + ": not a number: " + std::string(text)};
        }
    }
    if (value > max / scale) throw usage_error{std::string(flag) + ": too large: " + std::string(text)};
    return value * scale;
}

// Splits "--name=value" and "--name value"; returns the flag's name and value and advances `i`.
std::pair<std::string_view, std::string_view> next_flag(const std::vector<std::string_view>& args, std::size_t& i) {
    std::string_view a = args[i];
    if (const auto eq = a.find('='); eq != std::string_view::npos) {
        ++i;
        return {a.substr(0, eq), a.substr(eq + 1)};
    }
    if (i + 1 >= args.size()) throw usage_error{std::string(a) + ": missing value"};
    i += 2;
    return {a, args[i - 1]};
}

pstwrite::generate_options parse_generate(const std::vector<std::string_view>& args, std::string& out) {
    pstwrite::generate_options o;
    std::vector<std::string_view> positional;
    for (std::size_t i = 0; i < args.size();) {
        if (args[i].size() < 2 || args[i].substr(0, 2) != "--") {
            positional.push_back(args[i++]);
            continue;
        }
        const auto [flag, value] = next_flag(args, i);
        if (flag == "--format") {
            if (value == "unicode")
                o.fmt = pstwrite::format::unicode;
            else if (value == "ansi")
                o.fmt = pstwrite::format::ansi;
            else
                throw usage_error{"--format: unicode or ansi"};
        } else if (flag == "--crypt") {
            if (value == "none")
                o.enc = pstwrite::crypt::none;
            else if (value == "permute")
                o.enc = pstwrite::crypt::permute;
            else if (value == "cyclic")
                o.enc = pstwrite::crypt::cyclic;
            else
                throw usage_error{"--crypt: none, permute or cyclic"};
        } else if (flag == "--folders") {
            o.folders = static_cast<std::uint32_t>(parse_size(flag, value, 10000));
        } else if (flag == "--messages") {
            o.messages = parse_size(flag, value, 100'000'000);
        } else if (flag == "--body-bytes") {
            o.body_bytes = parse_size(flag, value, 1ull << 30);
        } else if (flag == "--attachments-per-message") {
            o.attachments_per_message = static_cast<std::uint32_t>(parse_size(flag, value, 1000));
        } else if (flag == "--attachment-bytes") {
            o.attachment_bytes = parse_size(flag, value, 4ull << 30);
        } else if (flag == "--seed") {
            o.seed = parse_size(flag, value, UINT64_MAX);
        } else {
            throw usage_error{"unknown flag " + std::string(flag)};
        }
    }
    if (positional.size() != 1) throw usage_error{"generate needs one output file"};
    if (o.folders == 0 && o.messages > 0) throw usage_error{"--folders: messages need at least one folder"};
    out = positional[0];
    return o;
}

std::vector<std::byte> read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot open " + path);
    std::vector<char> raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::byte> bytes(raw.size());
    std::transform(raw.begin(), raw.end(), bytes.begin(), [](char c) { return static_cast<std::byte>(c); });
    return bytes;
}

void write_file(const std::string& path, const std::vector<std::byte>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) throw std::runtime_error("cannot write " + path);
}

int run_damage(const std::vector<std::string_view>& args) {
    std::optional<pstwrite::fault> f;
    std::vector<std::string_view> positional;
    for (std::size_t i = 0; i < args.size();) {
        if (args[i].size() < 2 || args[i].substr(0, 2) != "--") {
            positional.push_back(args[i++]);
            continue;
        }
        const auto [flag, value] = next_flag(args, i);
        if (flag != "--fault") throw usage_error{"unknown flag " + std::string(flag)};
        f = pstwrite::fault_from_name(value);
        if (!f) throw usage_error{"unknown fault " + std::string(value)};
    }
    if (!f || positional.size() != 2) throw usage_error{"damage needs --fault NAME, an input and an output file"};
    auto good = read_file(std::string(positional[0]));
    const auto where = pstwrite::scan_layout(good);
    write_file(std::string(positional[1]), pstwrite::damage(std::move(good), where, *f));
    return 0;
}

// The converter's test stores (export_fixtures.h).
int run_fixture(const std::vector<std::string_view>& args) {
    pstwrite::format f = pstwrite::format::unicode;
    std::vector<std::string_view> positional;
    for (std::size_t i = 0; i < args.size();) {
        if (args[i].size() < 2 || args[i].substr(0, 2) != "--") {
            positional.push_back(args[i++]);
            continue;
        }
        const auto [flag, value] = next_flag(args, i);
        if (flag != "--format" || (value != "unicode" && value != "ansi"))
            throw usage_error{"--format: unicode or ansi"};
        f = value == "ansi" ? pstwrite::format::ansi : pstwrite::format::unicode;
    }
    if (positional.size() != 2) throw usage_error{"fixture needs a name and an output file"};
    if (positional[0] == "hostile-names")
        write_file(std::string(positional[1]), pstwrite::hostile_names_store(f));
    else if (positional[0] == "nested")
        write_file(std::string(positional[1]), pstwrite::nested_store(f, 300));
    else if (positional[0] == "pim")
        write_file(std::string(positional[1]), pstwrite::pim_store(f, u"PIM"));
    else if (positional[0] == "broken-index")
        write_file(std::string(positional[1]), pstwrite::broken_index_store(f, 300));
    else
        throw usage_error{"unknown fixture " + std::string(positional[0])};
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string_view> args(argv + 1, argv + argc);
    try {
        if (args.empty()) throw usage_error{"no command"};
        const std::string_view command = args[0];
        args.erase(args.begin());
        if (command == "generate") {
            std::string out;
            const auto options = parse_generate(args, out);
            pstwrite::generate(options, out);
            return 0;
        }
        if (command == "damage") return run_damage(args);
        if (command == "mail-samples") {
            std::string out;
            const auto options = parse_generate(args, out);
            pstwrite::write_mail_samples(options.fmt, options.enc, out);
            return 0;
        }
        if (command == "fixture") return run_fixture(args);
        if (command == "demo") {
            if (args.size() != 1) throw usage_error{"demo needs one output file"};
            pstwrite::write_demo(std::filesystem::path(args[0]));
            return 0;
        }
        if (command == "calendar") {
            if (args.size() != 1) throw usage_error{"calendar needs one output file"};
            std::fputs(pstwrite::write_calendar_fixture(std::filesystem::path(args[0])).c_str(), stdout);
            return 0;
        }
        throw usage_error{"unknown command " + std::string(command)};
    } catch (const usage_error& e) {
        std::fprintf(stderr, "pstwrite: %s\n", e.message.c_str());
        print_usage();
        return exit_usage;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "pstwrite: %s\n", e.what());
        return exit_failed;
    }
}
